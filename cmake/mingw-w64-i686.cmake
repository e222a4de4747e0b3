# Cross-compiles for 32-bit x86 Windows with Debian's MinGW-w64: the tool of the win32-x86 zip.
set(MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
