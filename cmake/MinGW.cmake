# SPDX-License-Identifier: GPL-3.0-or-later
# What the two MinGW-w64 toolchain files share: Debian's cross compilers
# with POSIX threads (std::thread and std::mutex need them), the target's own
# headers and libraries only, and Wine to run what was built, so that ctest
# runs the tests under it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${OSTREL_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${OSTREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSTREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${OSTREL_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${OSTREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(OSTREL_WINE wine)
if(OSTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OSTREL_WINE})
endif()
