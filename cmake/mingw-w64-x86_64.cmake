# SPDX-License-Identifier: GPL-3.0-or-later
# 64-bit Windows with Debian's MinGW-w64:
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DOSTREL_QT=OFF
set(OSTREL_MINGW_TRIPLET x86_64-w64-mingw32)
set(OSTREL_MINGW_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
