# Cross-build for 32-bit Windows with MinGW-w64 (posix threads): the release
# build for the vendor's 32-bit driver DLLs. It cannot run on this machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARNEL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
