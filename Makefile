# Two commands for a newcomer on a fresh Debian machine:
#   make demo   - set up, build, run mendit on a sample application
#   make test   - set up, build and run every test (native, Windows under Wine, fuzz smoke)
#
# The product is the 32-bit Windows build. Hosts that cannot run 32-bit processes run the
# 64-bit build of the same code instead; scripts/wine-host decides which (MENDIT_WINE_ARCH=
# win32|win64 forces it) and says so in one line when it falls back.
BUILD ?= build
JOBS ?= $(shell nproc)
NATIVE := $(BUILD)/native
# The Linux menditwiz for build servers: optimised, no sanitizers (the native tree above is the
# test tree, under AddressSanitizer and UBSan).
RELEASE := $(BUILD)/release
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
FUZZ := $(BUILD)/fuzz
FUZZ_SMOKE_SECONDS ?= 10
FUZZ_SECONDS ?= 600
export WINEPREFIX ?= $(CURDIR)/build/wineprefix
export WINEDEBUG ?= -all
# File-time tests compare DOS stamps: keep local time free of daylight saving.
export TZ ?= UTC

# A compiler cache, where installed (setup installs it), makes rebuilds of the four trees cheap.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: all setup build native release win32 win64 windows fuzz-build test test-native test-windows \
        test-win32 test-win64 fuzz-smoke fuzz bench demo clean

all: build

setup:
	@bash scripts/setup.sh

$(NATIVE)/build.ninja:
	cmake -S . -B $(NATIVE) -G Ninja $(LAUNCHER) -DCMAKE_BUILD_TYPE=Debug -DMENDIT_SANITIZE=ON

$(RELEASE)/build.ninja:
	cmake -S . -B $(RELEASE) -G Ninja $(LAUNCHER) -DCMAKE_BUILD_TYPE=Release

$(WIN32)/build.ninja:
	cmake -S . -B $(WIN32) -G Ninja $(LAUNCHER) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

$(WIN64)/build.ninja:
	cmake -S . -B $(WIN64) -G Ninja $(LAUNCHER) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake

$(FUZZ)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja $(LAUNCHER) -DCMAKE_BUILD_TYPE=Debug -DMENDIT_FUZZ=ON

native: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

release: $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS) --target menditwiz

win32: $(WIN32)/build.ninja
	cmake --build $(WIN32) -j $(JOBS)

win64: $(WIN64)/build.ninja
	cmake --build $(WIN64) -j $(JOBS)

fuzz-build: $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)

# The Windows tree this host runs (win32, or win64 where 32-bit processes cannot run).
windows:
	@$(MAKE) --no-print-directory $$(scripts/wine-host)

build: setup native release windows

test-native: native
	ctest --test-dir $(NATIVE) -j $(JOBS) --output-on-failure

# The whole 32-bit suite, then the 64-bit build's tests that drive no program window, so the
# fallback never rots; where 32-bit programs cannot run, the whole 64-bit suite instead.
test-windows:
	@if [ "$$(scripts/wine-host --notice)" = win32 ]; then \
	  $(MAKE) --no-print-directory win32 win64 && \
	  scripts/with-xvfb scripts/with-wineserver sh -c 'ctest --test-dir $(WIN32) -j $(JOBS) --output-on-failure && \
	    ctest --test-dir $(WIN64) -j $(JOBS) -LE window --output-on-failure'; \
	else \
	  $(MAKE) --no-print-directory win64 && \
	  scripts/with-xvfb scripts/with-wineserver ctest --test-dir $(WIN64) -j $(JOBS) --output-on-failure; \
	fi

# One tree's whole suite, whatever the host (the 32-bit one fails where it cannot run).
test-win32: win32
	scripts/with-xvfb scripts/with-wineserver ctest --test-dir $(WIN32) -j $(JOBS) --output-on-failure

test-win64: win64
	scripts/with-xvfb scripts/with-wineserver ctest --test-dir $(WIN64) -j $(JOBS) --output-on-failure

fuzz-smoke: fuzz-build
	scripts/fuzz-run.sh $(FUZZ) $(FUZZ_SMOKE_SECONDS)

# The last line names the builds that were tested.
test: setup
	$(MAKE) fuzz-smoke test-native test-windows
	@if [ "$$(scripts/wine-host)" = win32 ]; then \
	  echo "tested: native, fuzz smoke, win32 (all), win64 (no windows)"; \
	else \
	  echo "tested: native, fuzz smoke, win64 (all), not win32 ($$(scripts/wine-host --why))"; \
	fi

fuzz: setup fuzz-build
	scripts/fuzz-run.sh $(FUZZ) $(FUZZ_SECONDS) $(TARGETS)

# Native figures come from the optimised release tree, not the sanitized test tree.
bench: setup release
	@tree=$$(scripts/wine-host --notice) && \
	$(MAKE) --no-print-directory $$tree && \
	cmake --build $(RELEASE) --target bench && \
	cmake --build $(BUILD)/$$tree --target bench && \
	bash scripts/bench.sh $(RELEASE) $(BUILD)/$$tree

# The release zip of the five 32-bit programs, reproducible: build/mendit-<version>-win32.zip.
# make dist SIGN_PFX=key.pfx SIGN_PASS=... signs the programs (SIGN_TIMESTAMP_URL optional).
export SIGN_PFX SIGN_PASS SIGN_TIMESTAMP_URL
.PHONY: dist
dist: setup
	bash scripts/dist.sh $(BUILD)/dist $(BUILD)

demo: setup
	@tree=$$(scripts/wine-host --notice) && \
	$(MAKE) --no-print-directory $$tree && \
	bash scripts/demo.sh $(BUILD)/$$tree

clean:
	rm -rf $(NATIVE) $(RELEASE) $(WIN32) $(WIN64) $(FUZZ)
