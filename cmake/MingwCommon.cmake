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
# The host's emulator of Windows programs, for running the cross-built tests.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
