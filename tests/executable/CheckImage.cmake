# Checks the built tool's headers with the cross toolchain's objdump: a 32-bit x86 image for the
# windowed subsystem that imports only system libraries, and smaller than 1 MiB.
# Usage: cmake -DOBJDUMP=<objdump> -DTOOL=<msitool.exe> -P CheckImage.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${TOOL} OUTPUT_VARIABLE headers RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${TOOL} failed: ${result}")
endif()

set(failures "")
macro(expect pattern what)
  if(NOT headers MATCHES "${pattern}")
    string(APPEND failures "\n  not ${what}")
  endif()
endmacro()
expect("file format pei-i386" "an x86 image (file format pei-i386)")
expect("\nMagic[ \t]+010b" "a 32-bit image (Magic 010b, PE32)")
expect("\nSubsystem[ \t]+00000002" "for the windowed subsystem (Subsystem 2, Windows GUI)")

# What Windows and Wine bring along; a MinGW runtime DLL here means the static link broke.
set(system_libraries kernel32.dll advapi32.dll msi.dll msvcrt.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  string(APPEND failures "\n  importing anything")
endif()
foreach(import IN LISTS imports)
  string(REGEX REPLACE "DLL Name: " "" library "${import}")
  string(TOLOWER "${library}" library)
  if(NOT library IN_LIST system_libraries)
    string(APPEND failures "\n  importing only system libraries: ${library}")
  endif()
endforeach()

file(SIZE ${TOOL} size)
if(NOT size LESS 1048576)
  string(APPEND failures "\n  smaller than 1 MiB: ${size} bytes")
endif()

if(failures)
  message(FATAL_ERROR "${TOOL} is${failures}")
endif()
