# Shared part of the MinGW-w64 toolchain files; VEK_MINGW_TRIPLE names the
# target. Binaries are linked statically, so the DLL and the test programs
# import only system DLLs. Tests run under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VEK_MINGW_TRIPLE})

set(CMAKE_C_COMPILER ${VEK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VEK_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${VEK_MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump of the target")

set(CMAKE_FIND_ROOT_PATH /usr/${VEK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

find_program(VEK_WINE wine)
if(VEK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEK_WINE})
endif()
