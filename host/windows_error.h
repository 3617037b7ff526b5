// The system's text for a Windows error code, for messages.
#pragma once

#include <string>

namespace panelhost {

// Its inserts ("%1") are filled with `subject`; the code follows the text.
std::string windows_error(unsigned long code, const char* subject = "the file");

}  // namespace panelhost
