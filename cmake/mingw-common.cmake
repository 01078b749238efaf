set(CMAKE_C_COMPILER ${RD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RD_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${RD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The product ships as a few files: no MinGW runtime DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test executables run under Wine through CTest.
find_program(RD_WINE wine)
if(RD_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${RD_WINE})
endif()
