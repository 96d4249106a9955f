# Reads the program's import table and fails on any library that Windows would look for
# in the program's folder: only its own known libraries, which it always takes from the
# system folder, and the common controls, which the manifest redirects, may be imported.
#   cmake -DOBJDUMP=<the target's objdump> -DEXE=<Quorvel.exe> -P imports.cmake
cmake_minimum_required(VERSION 3.25)
set(ALLOWED advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll
  ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll)

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "'${OBJDUMP} -p ${EXE}' failed (${rc})")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
# An empty list would pass whatever the program imports.
if(NOT lines)
  message(FATAL_ERROR "no imports found in ${EXE}")
endif()
set(imported)
set(refused)
foreach(line IN LISTS lines)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  list(APPEND imported "${dll}")
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST ALLOWED)
    list(APPEND refused "${dll}")
  endif()
endforeach()
message(STATUS "imports: ${imported}")
if(refused)
  message(FATAL_ERROR "${EXE} imports ${refused}: Windows would look for it in the program's folder first")
endif()
