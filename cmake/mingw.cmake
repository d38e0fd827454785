# Debian's MinGW-w64 cross compilers. The preset names the processor: i686 for the 32-bit release, x86_64 for the
# same program and tests on hosts whose Wine cannot run 32-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT QX_MINGW_PROCESSOR)
    set(QX_MINGW_PROCESSOR i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${QX_MINGW_PROCESSOR})
set(triple ${QX_MINGW_PROCESSOR}-w64-mingw32)
# The win32 thread model: the launcher is single-threaded, and the posix model's runtime (winpthreads) adds about
# 25 KB and imports functions older Windows lack.
set(CMAKE_C_COMPILER ${triple}-gcc-win32)
set(CMAKE_CXX_COMPILER ${triple}-g++-win32)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A GoogleTest package is one built for Windows, not the host's.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
