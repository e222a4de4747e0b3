# Checks a built tool's image with the cross toolchain's objdump, without running it: an image of
# its architecture for the windowed subsystem, importing only system libraries, smaller than 1 MiB,
# whose manifest asks for an administrator and names the same architecture.
# Usage: cmake -DOBJDUMP=<objdump> -DTOOL=<msitool.exe> -DARCHITECTURE=x86|x64 -P CheckImage.cmake
cmake_minimum_required(VERSION 3.25)

# architecture | objdump's file format | the optional header's magic (PE32 or PE32+) | the manifest's processorArchitecture
set(architectures
  "x86|pei-i386|010b|x86"
  "x64|pei-x86-64|020b|amd64")
set(row "")
foreach(candidate IN LISTS architectures)
  if(candidate MATCHES "^${ARCHITECTURE}\\|")
    string(REPLACE "|" ";" row "${candidate}")
  endif()
endforeach()
if(NOT row)
  message(FATAL_ERROR "ARCHITECTURE is x86 or x64, not '${ARCHITECTURE}'")
endif()
list(GET row 1 format)
list(GET row 2 magic)
list(GET row 3 manifest_architecture)

execute_process(COMMAND ${OBJDUMP} -p -h ${TOOL} OUTPUT_VARIABLE headers RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p -h ${TOOL} failed: ${result}")
endif()

set(failures "")
macro(expect pattern what)
  if(NOT headers MATCHES "${pattern}")
    string(APPEND failures "\n  not ${what}")
  endif()
endmacro()
expect("file format ${format}\n" "an ${ARCHITECTURE} image (file format ${format})")
expect("\nMagic[ \t]+${magic}[ \t]" "of the ${ARCHITECTURE} optional header (Magic ${magic})")
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

# The manifest is the resource Windows reads it from: type RT_MANIFEST (24), id 1. objdump lists the
# resource tree depth first, each leaf with its address (an RVA) and size; the .rsrc section's line
# says where that address lies in the file.
set(line "[^\n]*\n")
set(manifest "")
if(headers MATCHES "Entry: ID: 0x000018,${line}${line}[^\n]*Entry: ID: 0x000001,${line}${line}${line}[^\n]*Leaf: Addr: (0x[0-9a-f]+), Size: (0x[0-9a-f]+)")
  set(leaf_address ${CMAKE_MATCH_1})
  set(leaf_size ${CMAKE_MATCH_2})
  if(headers MATCHES "\nImageBase[ \t]+([0-9a-f]+)")
    set(image_base 0x${CMAKE_MATCH_1})
  endif()
  if(DEFINED image_base AND headers MATCHES "\\.rsrc +[0-9a-f]+ +([0-9a-f]+) +[0-9a-f]+ +([0-9a-f]+)")
    math(EXPR offset "${leaf_address} - (0x${CMAKE_MATCH_1} - ${image_base}) + 0x${CMAKE_MATCH_2}")
    math(EXPR length "${leaf_size}")
    file(READ ${TOOL} manifest OFFSET ${offset} LIMIT ${length})
  endif()
endif()
if(NOT manifest MATCHES "^<\\?xml")
  string(APPEND failures "\n  not carrying a manifest as resource 1 of type RT_MANIFEST")
else()
  macro(expect_in_manifest pattern what)
    if(NOT manifest MATCHES "${pattern}")
      string(APPEND failures "\n  not ${what} in its manifest")
    endif()
  endmacro()
  expect_in_manifest("level=\"requireAdministrator\"" "asking for an administrator (level=\"requireAdministrator\")")
  expect_in_manifest("uiAccess=\"false\"" "without uiAccess (uiAccess=\"false\")")
  expect_in_manifest("processorArchitecture=\"${manifest_architecture}\""
    "naming its architecture (processorArchitecture=\"${manifest_architecture}\")")
  # A supportedOS entry for Windows 8.1 or later would change what GetVersionExW reports.
  if(manifest MATCHES "<supportedOS")
    string(APPEND failures "\n  declaring a supportedOS in its manifest")
  endif()
endif()

if(failures)
  message(FATAL_ERROR "${TOOL} is${failures}")
endif()
