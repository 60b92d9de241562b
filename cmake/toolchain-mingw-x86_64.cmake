# Cross build of the same program for x86-64 Windows with Debian's MinGW-w64 (posix thread model),
# for machines that cannot execute 32-bit x86 code. Its programs run under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

find_program(VESSALY_MINGW_CC x86_64-w64-mingw32-gcc-posix REQUIRED)
find_program(VESSALY_MINGW_CXX x86_64-w64-mingw32-g++-posix REQUIRED)
find_program(VESSALY_MINGW_RC x86_64-w64-mingw32-windres REQUIRED)
# Debian's /usr/bin/wine always starts the 32-bit loader when wine32 is installed.
find_program(VESSALY_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)

set(CMAKE_C_COMPILER ${VESSALY_MINGW_CC})
set(CMAKE_CXX_COMPILER ${VESSALY_MINGW_CXX})
set(CMAKE_RC_COMPILER ${VESSALY_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
