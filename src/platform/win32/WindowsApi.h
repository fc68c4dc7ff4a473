#pragma once
// <windows.h> for the Windows side of the program, without the macros that
// would rename the program's own functions (MessageBox, DeleteFile, CopyFile...).

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CopyFile
#undef DeleteFile
#undef GetObject
#undef MessageBox
#undef PostMessage
#undef SendMessage

#include <string>

namespace varnel::platform {

// The system's text for an error code, without its line end and full stop.
std::string SystemErrorText(DWORD error);

}  // namespace varnel::platform
