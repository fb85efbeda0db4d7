# SPDX-License-Identifier: GPL-3.0-or-later
# Initial cache of the fuzzing tree, for
#   cmake -C fuzz/FuzzCache.cmake -S . -B build-fuzz -G Ninja
# libFuzzer needs clang. Every library of the tree is instrumented for
# coverage and built with AddressSanitizer and UBSan, so a fault inside the
# program's own code stops the fuzzer, not only one in the target's glue.
set(CMAKE_C_COMPILER clang CACHE STRING "")
set(CMAKE_CXX_COMPILER clang++ CACHE STRING "")
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
set(OSTREL_FUZZ ON CACHE BOOL "")
set(OSTREL_TESTS OFF CACHE BOOL "")
set(CMAKE_CXX_FLAGS
    "-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "-fsanitize=address,undefined" CACHE STRING "")
set(CMAKE_SHARED_LINKER_FLAGS "-fsanitize=address,undefined" CACHE STRING "")
