# Vessaly: `make run` starts the editor, `make test` builds both targets and runs every test.
# Both install what is missing first (scripts/install-deps.sh, through sudo when not root).

SHELL := /bin/bash
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
NATIVE := build/native
WINDOWS := build/windows
WINEPREFIX_DIR := $(CURDIR)/$(WINDOWS)/wineprefix
FUZZ_SECONDS ?= 60

export WINEDEBUG ?= -all
export WINEDLLOVERRIDES ?= mscoree,mshtml=;winedbg.exe=d

.PHONY: deps native windows prefix test test-native test-windows fuzz run bench screenshot clean

deps:
	@scripts/install-deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

windows: deps
	@cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake >/dev/null
	@cmake --build $(WINDOWS) -j $(JOBS)

prefix: deps
	@scripts/wine-prefix.sh $(WINEPREFIX_DIR)

test-native: native
	@echo "== native tests (ASan, UBSan) =="
	@cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

test-windows: windows prefix
	@echo "== Windows tests under Wine =="
	@cd $(WINDOWS) && WINEPREFIX=$(WINEPREFIX_DIR) xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j $(JOBS)

fuzz: native
	@scripts/fuzz.sh $(NATIVE) $(FUZZ_SECONDS)

test: test-native test-windows fuzz
	@scripts/test-summary.sh $(NATIVE) $(WINDOWS)

run: windows prefix
	@scripts/run-editor.sh $(WINDOWS) $(WINEPREFIX_DIR)

bench: windows prefix
	@WINEPREFIX=$(WINEPREFIX_DIR) xvfb-run -a -s "-screen 0 1280x1024x24" $(WINDOWS)/wine-run.sh $(WINDOWS)/bench/vessaly_bench.exe

screenshot: windows prefix
	@scripts/screenshot.sh $(WINDOWS) $(WINEPREFIX_DIR)

clean:
	rm -rf build
