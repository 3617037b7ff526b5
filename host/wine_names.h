// Names across the border Wine draws: a Windows path's name on the machine
// Wine runs on, and back. Under Windows there is no such machine and every
// answer is empty.
#pragma once

#include <string>

namespace panelhost {

bool running_under_wine();

// The machine's name (UTF-8, ending in '/') of the Windows folder
// `folder`; empty when it has none.
std::string machine_name_of_folder(const std::string& folder);

// The Windows name of the machine's file `path`; empty when none.
std::wstring windows_name_of_machine_path(const char* path);

// `text` in the code page `code_page` (CP_ACP, CP_UTF8) as UTF-16.
std::wstring widened(const std::string& text, unsigned code_page);

}  // namespace panelhost
