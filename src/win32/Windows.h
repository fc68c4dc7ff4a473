#pragma once
// The platform header for the view: the program's one way in, without the
// macros that would rename the ui model's names (MessageBox). platform/Messages.h
// spells the platform's message names as constants, so it must come first in
// a file that uses both, and such a file then uses the platform's own WM_*.

#include "platform/win32/WindowsApi.h"
// The profile engine's names.
#undef WriteProfileString
#undef GetProfileString
