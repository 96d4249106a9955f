# Fails on any import but the known libraries, which Windows always takes from the system
# folder, and the common controls, which the manifest redirects: any other is looked for
# in the program's folder first. Run as: cmake -DOBJDUMP=... -DEXE=... -P imports.cmake
cmake_minimum_required(VERSION 3.25)
set(ALLOWED advapi32 comctl32 comdlg32 gdi32 kernel32 msvcrt ole32 oleaut32 shell32 shlwapi user32)
execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
string(TOLOWER "${imports}" others)
string(REGEX REPLACE "dll name: ([^;]*)\\.dll" "\\1" others "${others}")
list(REMOVE_ITEM others ${ALLOWED})
if(NOT imports OR others)  # a table read as empty must not pass
  message(FATAL_ERROR "${EXE} may not import: ${others} (its imports: ${imports})")
endif()
