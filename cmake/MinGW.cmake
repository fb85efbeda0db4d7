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
# A Qt cross-built for Windows (scripts/windows-qt.sh) is searched as a
# second root: its own prefix.
set(OSTREL_QT_PREFIX "" CACHE PATH "A Qt built for this target (scripts/windows-qt.sh)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OSTREL_QT_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${OSTREL_MINGW_TRIPLET} ${OSTREL_QT_PREFIX})
if(OSTREL_QT_PREFIX)
  # Qt's tools (moc, rcc, uic) are the host's, of the same version.
  set(QT_HOST_PATH /usr CACHE PATH "")
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(OSTREL_WINE wine)
if(OSTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OSTREL_WINE})
endif()
