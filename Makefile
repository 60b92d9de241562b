# Vessaly: `make run` starts the editor, `make test` builds every target and runs every test.
# Both install what is missing first (scripts/install-deps.sh, through sudo when not root).
#
# The product is the 32-bit x86 Windows program (build/windows). The same sources also build for
# x86-64 Windows (build/windows64), run under wine64: on machines that cannot execute 32-bit x86
# code that build is the one run and tested. VESSALY_WINDOWS_ARCH=x86_64 takes that path anywhere.

SHELL := /bin/bash
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
NATIVE := build/native
WINDOWS := build/windows
WINDOWS64 := build/windows64
KVX := build/kvx
FUZZ_SECONDS ?= 60
VERSION := 1.0
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"

export WINEDEBUG ?= -all
export WINEDLLOVERRIDES ?= mscoree,mshtml=;winedbg.exe=d

RUNS_32BIT := $(shell scripts/runs-32bit.sh && echo yes || echo no)
ifeq ($(VESSALY_WINDOWS_ARCH),x86_64)
  RUN_BUILD := $(WINDOWS64)
  TEST_BUILDS := $(WINDOWS64)
  ARCH_NOTE := VESSALY_WINDOWS_ARCH=x86_64: the x86-64 build of the same sources runs and is tested
else ifeq ($(VESSALY_WINDOWS_ARCH),)
  ifeq ($(RUNS_32BIT),yes)
    RUN_BUILD := $(WINDOWS)
    TEST_BUILDS := $(WINDOWS) $(WINDOWS64)
  else
    RUN_BUILD := $(WINDOWS64)
    TEST_BUILDS := $(WINDOWS64)
    ARCH_NOTE := this machine cannot run 32-bit x86 programs: the x86-64 build of the same sources runs and is tested
  endif
else
  $(error VESSALY_WINDOWS_ARCH must be empty or x86_64, not '$(VESSALY_WINDOWS_ARCH)')
endif

# Each Windows build runs under its own Wine loader, in its own prefix inside the build folder.
loader = $(if $(filter $(WINDOWS64),$(1)),/usr/lib/wine/wine64,wine)
prefix_of = $(CURDIR)/$(1)/wineprefix
describe = $(if $(filter $(WINDOWS64),$(1)),x86-64 program under wine64,32-bit program under wine)

# Every C++ source and header of ours, tracked or new.
SOURCES = $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.h')
.PHONY: deps native windows windows64 prefix test test-native test-windows fuzz format format-check lint run bench screenshot kvx dist clean

deps:
	@scripts/install-deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

windows: deps
	@cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake >/dev/null
	@cmake --build $(WINDOWS) -j $(JOBS)

# Its resource check also reads the 32-bit program's file, so that it is checked on every machine.
windows64: windows
	@cmake -S . -B $(WINDOWS64) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
	  -DVESSALY_CHECK_PROGRAM=$(CURDIR)/$(WINDOWS)/app/vessaly.exe >/dev/null
	@cmake --build $(WINDOWS64) -j $(JOBS)

prefix: deps
	@$(foreach b,$(TEST_BUILDS),scripts/wine-prefix.sh $(call prefix_of,$(b)) $(call loader,$(b)) &&) true

test-native: native
	@echo "== native tests (ASan, UBSan) =="
	@cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

test-windows: windows windows64 prefix
	@$(if $(ARCH_NOTE),echo "== $(ARCH_NOTE) ==")
	@$(foreach b,$(TEST_BUILDS),echo "== Windows tests under Wine: $(call describe,$(b)) ==" && \
	  (cd $(b) && WINEPREFIX=$(call prefix_of,$(b)) $(XVFB) $(CURDIR)/scripts/wine-tests.sh $(call loader,$(b)) \
	   ctest --output-on-failure -j $(JOBS)) &&) true

fuzz: native
	@scripts/fuzz.sh $(NATIVE) $(FUZZ_SECONDS)

format: deps
	@clang-format -i $(SOURCES)

format-check: deps
	@echo "== format check =="
	@clang-format --dry-run --Werror $(SOURCES) && echo "format: every file is formatted"

# Every C++ file of ours in the native and 32-bit Windows compile databases; files unchanged since
# a clean lint (their content, compile command, headers and .clang-tidy) come from build/lint-cache.
lint: native windows
	@scripts/lint.sh $(NATIVE) $(WINDOWS) $(JOBS)

test: format-check test-native test-windows fuzz lint
	@scripts/test-summary.sh "$(ARCH_NOTE)" $(NATIVE) $(TEST_BUILDS)

run: windows windows64 prefix
	@echo "Running the $(call describe,$(RUN_BUILD))$(if $(ARCH_NOTE), ($(ARCH_NOTE)))"
	@scripts/run-editor.sh $(RUN_BUILD) $(call prefix_of,$(RUN_BUILD))

bench: windows windows64 prefix kvx
	@echo "== editor: the $(call describe,$(RUN_BUILD)) =="
	@WINEPREFIX=$(call prefix_of,$(RUN_BUILD)) $(XVFB) $(RUN_BUILD)/wine-run.sh $(RUN_BUILD)/bench/vessaly_bench.exe
	@cmake --build $(KVX) -j $(JOBS) --target kvx_bench
	@echo "== kvx: the native command, each run a whole process =="
	@$(KVX)/bench/kvx_bench $(KVX)/kvx/kvx

screenshot: windows windows64 prefix
	@echo "Pictures of the $(call describe,$(RUN_BUILD))"
	@scripts/screenshot.sh $(RUN_BUILD) $(call prefix_of,$(RUN_BUILD))

# The command alone, natively, optimised and without sanitizers: build/kvx/kvx/kvx.
kvx: deps
	@cmake -S . -B $(KVX) -DCMAKE_BUILD_TYPE=Release -DVESSALY_SANITIZERS=OFF >/dev/null
	@cmake --build $(KVX) -j $(JOBS) --target kvx

dist: windows windows64
	@scripts/make-dist.sh $(VERSION) $(WINDOWS) $(WINDOWS64)

clean:
	rm -rf build dist
