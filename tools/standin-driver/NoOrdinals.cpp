// A DLL named like the driver that exports nothing: loading it works, every
// ordinal is missing.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
