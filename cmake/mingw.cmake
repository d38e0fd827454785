# Debian's MinGW-w64 cross compilers. The preset names the processor: i686 for the 32-bit release, x86_64 for the
# same program and tests on hosts whose Wine cannot run 32-bit programs. QX_MINGW_COMPILER=clang builds with clang
# and lld over the same MinGW-w64 headers and runtime, as MSYS2's CLANG shells and LLVM's MinGW toolchain do.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT QX_MINGW_PROCESSOR)
    set(QX_MINGW_PROCESSOR i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${QX_MINGW_PROCESSOR})
set(triple ${QX_MINGW_PROCESSOR}-w64-mingw32)
if(QX_MINGW_COMPILER STREQUAL "clang")
    set(CMAKE_C_COMPILER clang)
    set(CMAKE_CXX_COMPILER clang++)
    set(CMAKE_C_COMPILER_TARGET ${triple})
    set(CMAKE_CXX_COMPILER_TARGET ${triple})
    # clang does not find Debian's cross GCC by itself: its C++ headers and libraries are those of the win32 thread
    # model, as below. -B takes GCC's crtbegin.o, which registers the unwind tables libgcc throws through, not the
    # MinGW-w64 one meant for LLVM's unwinder (with Debian 12's, a 32-bit throw ended the program).
    file(GLOB gcc_dirs LIST_DIRECTORIES true /usr/lib/gcc/${triple}/*-win32)
    if(NOT gcc_dirs)
        string(REPLACE _ - package g++-mingw-w64-${QX_MINGW_PROCESSOR}-win32)
        message(FATAL_ERROR "clang needs the C++ runtime of Debian's ${package}, which is not installed")
    endif()
    list(SORT gcc_dirs COMPARE NATURAL ORDER DESCENDING)
    list(GET gcc_dirs 0 gcc_dir)
    set(CMAKE_CXX_FLAGS_INIT "-isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/${triple}")
    foreach(kind EXE SHARED MODULE)
        set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -B${gcc_dir} -L${gcc_dir}")
    endforeach()
    # The floor checks read imports with GNU objdump, whose output they parse.
    set(CMAKE_OBJDUMP ${triple}-objdump CACHE FILEPATH "")
else()
    # The win32 thread model: the launcher is single-threaded, and the posix model's runtime (winpthreads) adds about
    # 25 KB and imports functions older Windows lack.
    set(CMAKE_C_COMPILER ${triple}-gcc-win32)
    set(CMAKE_CXX_COMPILER ${triple}-g++-win32)
endif()
# binutils' windres for both compilers (it preprocesses with the MinGW-w64 GCC).
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A GoogleTest package is one built for Windows, not the host's.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
