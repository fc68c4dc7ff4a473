#pragma once
// The platform header for the view, without the macros that would rename
// the ui model's names (MessageBox) or clash with the standard library.
// ui/Messages.h spells the platform's message names as constants, so a file
// that includes this header uses the platform's own WM_* instead.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef MessageBox
