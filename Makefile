# Vessaly: `make run` starts the editor, `make test` builds every target and runs every test.
# Both install what is missing first (scripts/install-deps.sh, through sudo when not root): `make run`
# only what running the editor needs, `make test` everything. `make install` puts the native kvx, its
# manual page and its bash completion under PREFIX, `make deb` makes its Debian package.
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
DEB := build/deb
FUZZ_SECONDS ?= 60
# The version is the one in CMakeLists.txt's project(): kvx --version, the zips and the package carry it.
VERSION := $(shell sed -n 's/^project.Vessaly VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
ifeq ($(VERSION),)
  $(error no version found in CMakeLists.txt's project() line)
endif
PREFIX ?= /usr/local
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

RUN_ARCH := $(if $(filter $(WINDOWS64),$(RUN_BUILD)),x86_64,i686)
RUN_TOOLCHAIN := cmake/toolchain-mingw-$(RUN_ARCH).cmake

# Each Windows build runs under its own Wine loader, in its own prefix inside the build folder.
loader = $(if $(filter $(WINDOWS64),$(1)),/usr/lib/wine/wine64,wine)
prefix_of = $(CURDIR)/$(1)/wineprefix
describe = $(if $(filter $(WINDOWS64),$(1)),x86-64 program under wine64,32-bit program under wine)

# Every C++ source and header of ours, tracked or new.
SOURCES = $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.h')
.PHONY: deps deps-run deps-kvx deps-deb native windows windows64 prefix test test-native test-windows fuzz format \
  format-check lint run run-display run-build bench screenshot kvx install uninstall deb dist version clean

# Everything: every build, test, lint and fuzz. The others install one purpose's packages each.
deps:
	@scripts/install-deps.sh test

deps-run:
	@scripts/install-deps.sh run $(RUN_ARCH)

deps-kvx:
	@scripts/install-deps.sh kvx

deps-deb:
	@scripts/install-deps.sh deb

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
	  -DVESSALY_TESTS=ON >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

windows: deps
	@cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
	  -DVESSALY_TESTS=ON >/dev/null
	@cmake --build $(WINDOWS) -j $(JOBS)

# Its resource check also reads the 32-bit program's file, so that it is checked on every machine.
windows64: windows
	@cmake -S . -B $(WINDOWS64) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
	  -DVESSALY_TESTS=ON -DVESSALY_CHECK_PROGRAM=$(CURDIR)/$(WINDOWS)/app/vessaly.exe >/dev/null
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

# Only the one build this machine runs, only the editor in it, and only what that needs installed. The
# tree keeps its tests when make test configured them; a new one leaves them out.
run: run-display run-build
	@scripts/wine-prefix.sh $(call prefix_of,$(RUN_BUILD)) $(call loader,$(RUN_BUILD))
	@echo "Running the $(call describe,$(RUN_BUILD))$(if $(ARCH_NOTE), ($(ARCH_NOTE)))"
	@scripts/run-editor.sh $(RUN_BUILD) $(call prefix_of,$(RUN_BUILD))

# Said before anything is installed or built, rather than after.
run-display:
	@[ -n "$${DISPLAY:-}" ] || { echo "make run needs a display: run it in a desktop session (DISPLAY is not set)." >&2; \
	  echo "Without one, 'make test' still builds and tests everything under a virtual display." >&2; exit 1; }

run-build: deps-run
	@cmake -S . -B $(RUN_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(RUN_TOOLCHAIN) >/dev/null
	@cmake --build $(RUN_BUILD) -j $(JOBS) --target vessaly

bench: windows windows64 prefix kvx
	@echo "== editor: the $(call describe,$(RUN_BUILD)) =="
	@WINEPREFIX=$(call prefix_of,$(RUN_BUILD)) $(XVFB) $(RUN_BUILD)/wine-run.sh $(RUN_BUILD)/bench/vessaly_bench.exe
	@cmake --build $(KVX) -j $(JOBS) --target kvx_bench
	@echo "== kvx: the native command, each run a whole process =="
	@$(KVX)/bench/kvx_bench $(KVX)/kvx/kvx

screenshot: windows windows64 prefix
	@echo "Pictures of the $(call describe,$(RUN_BUILD))"
	@scripts/screenshot.sh $(RUN_BUILD) $(call prefix_of,$(RUN_BUILD))

# The command alone, natively, optimised and without sanitizers: build/kvx/kvx/kvx, with its manual
# page kvx.1 and bash completion beside it.
kvx: deps-kvx
	@cmake -S . -B $(KVX) -DCMAKE_BUILD_TYPE=Release -DVESSALY_SANITIZERS=OFF >/dev/null
	@cmake --build $(KVX) -j $(JOBS) --target kvx kvx_docs

# PREFIX (/usr/local) and DESTDIR as usual; uninstall removes exactly the files install puts there.
install: kvx
	@scripts/install-kvx.sh install "$(DESTDIR)" "$(PREFIX)" $(KVX)

uninstall:
	@scripts/install-kvx.sh uninstall "$(DESTDIR)" "$(PREFIX)"

# dist/kvx_VERSION_ARCH.deb, checked by lintian. Its kvx is linked against the system's libraries and
# built with Debian's hardening flags, in a tree of its own.
deb: deps-deb
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all; CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	  cmake -S . -B $(DEB) -DCMAKE_BUILD_TYPE=Release -DVESSALY_SANITIZERS=OFF -DVESSALY_KVX_STATIC=OFF >/dev/null
	@cmake --build $(DEB) -j $(JOBS) --target kvx kvx_docs
	@scripts/make-deb.sh $(DEB) dist

# The read-me and kvx's manual in the zips come from the native kvx's help.
dist: windows windows64 kvx
	@scripts/make-dist.sh $(VERSION) $(WINDOWS) $(WINDOWS64) $(KVX)

# The version the zips and the package carry, for scripts and tests.
version:
	@echo $(VERSION)

clean:
	rm -rf build dist
