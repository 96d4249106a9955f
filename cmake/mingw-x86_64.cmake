# Cross-build for 64-bit Windows with MinGW-w64 (x86_64, posix threads). Used only to
# run the tests on machines whose kernel cannot execute 32-bit code (and so cannot run
# 32-bit Wine); the program that ships is always the 32-bit build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests are Windows programs too; ctest runs them through Wine (dev.sh puts a "wine"
# that means 64-bit Wine first on the PATH).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
