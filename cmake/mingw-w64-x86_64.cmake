# Cross-compiles for 64-bit x86-64 Windows with Debian's MinGW-w64: the tool of the win64-x64 zip,
# and the build the tests run under Wine where 32-bit programs cannot run.
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
