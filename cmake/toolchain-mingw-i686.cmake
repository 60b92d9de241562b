# Cross build of the 32-bit x86 Windows program with Debian's MinGW-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

find_program(VESSALY_MINGW_CC i686-w64-mingw32-gcc-posix REQUIRED)
find_program(VESSALY_MINGW_CXX i686-w64-mingw32-g++-posix REQUIRED)
find_program(VESSALY_MINGW_RC i686-w64-mingw32-windres REQUIRED)
# Found only where wine is installed; the program still builds without it, its tests need it.
find_program(VESSALY_WINE wine)

set(CMAKE_C_COMPILER ${VESSALY_MINGW_CC})
set(CMAKE_CXX_COMPILER ${VESSALY_MINGW_CXX})
set(CMAKE_RC_COMPILER ${VESSALY_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
