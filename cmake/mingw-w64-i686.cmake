# SPDX-License-Identifier: GPL-3.0-or-later
# 32-bit Windows with Debian's MinGW-w64, the build that loads a 32-bit
# Pexlar.dll:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DOSTREL_QT=OFF
set(OSTREL_MINGW_TRIPLET i686-w64-mingw32)
set(OSTREL_MINGW_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
