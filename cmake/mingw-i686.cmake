# Cross-build for 32-bit Windows with Debian's MinGW-w64 (posix thread model:
# std::thread and std::mutex). The host's records hold 32-bit handles, so
# this is the DLL that matters.
set(VEK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
