# Cross build for 32-bit Windows with the Debian mingw-w64 compilers (posix threads model,
# for std::thread and std::mutex). The C++ runtime is linked statically, so the DLLs need
# no mingw DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(HNVQR_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwCommon.cmake)
