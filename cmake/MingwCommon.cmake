# What both mingw-w64 toolchain files share; HNVQR_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${HNVQR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HNVQR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HNVQR_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${HNVQR_MINGW_TRIPLE}-dlltool)
set(CMAKE_OBJDUMP ${HNVQR_MINGW_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${HNVQR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Windows 7 API level at least (inet_ntop, WSAPoll); the C++ runtime and winpthreads static.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0601")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# On 32-bit Windows a __stdcall name carries its argument size (f@8). The linker's "stdcall
# fixup" would bind a reference to a __cdecl declaration of f to that definition, and the call
# would unbalance the stack: such a mismatch fails the link instead.
if(HNVQR_MINGW_TRIPLE MATCHES "^i686")
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--disable-stdcall-fixup")
  string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wl,--disable-stdcall-fixup")
endif()
# The host's loader of Windows programs, for running the cross-built tests: wine for 32-bit
# programs, wine64 (Debian keeps it in /usr/lib/wine) for 64-bit ones.
if(HNVQR_MINGW_TRIPLE MATCHES "^x86_64")
  find_program(HNVQR_WINE NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
else()
  find_program(HNVQR_WINE NAMES wine NO_CMAKE_FIND_ROOT_PATH)
endif()
if(HNVQR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${HNVQR_WINE})
endif()
