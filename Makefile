# SPDX-License-Identifier: GPL-3.0-or-later
# Two commands for a newcomer: `make run` and `make test`.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test windows test-windows package bench fuzz check clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@cd $(BUILD)/bin && ./ostrel

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Debian package (and its -dbgsym) of the build, in $(BUILD)/.
package: build
	@cmake --build $(BUILD) --target package

# The whole program for 64-bit Windows as a zip (build-windows/), built with
# MinGW-w64 against a Qt built from Debian's source (cached in ~/.cache/ostrel).
windows:
	@JOBS=$(JOBS) bash scripts/windows.sh

# The Qt-free layers and the device libraries cross-built for 64-bit and
# 32-bit Windows (MinGW-w64), their tests run under Wine; then the zip of
# `make windows` unpacked and the program run under Wine.
test-windows:
	@JOBS=$(JOBS) bash scripts/test-windows.sh

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREL_BENCH=ON >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bash bench/run.sh build-bench $(BENCH_FLAGS)

# Every parser of outside input under libFuzzer (clang, ASan, UBSan); prints
# each target's executions and crashes and fails on any crash.
fuzz:
	@bash scripts/install-deps.sh fuzz
	@cmake -C fuzz/FuzzCache.cmake -S . -B build-fuzz -G Ninja >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzzers
	@bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

# The layers' include rules and the formatter's verdict on every C++ file.
check:
	@bash scripts/install-deps.sh check
	@bash scripts/check-layers.sh
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) build-asan build-bench build-fuzz build-win64 build-win32 build-windows build-native build-default
