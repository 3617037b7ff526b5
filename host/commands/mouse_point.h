// mouse MODULE GAUGE X Y: the mouse area under a point of the face, which
// the host finds by installing the gauge and asking it, so by running its
// code. mouse_point.cpp does that in the Windows program; the native one,
// which runs no module code, refuses (host/native/).
#pragma once

#include "host/command_line.h"

namespace panelhost {

// The operands are checked, and X and Y read, already.
ExitStatus mouse_at_point(const Arguments& a, long x, long y);

}  // namespace panelhost
