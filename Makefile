# Two commands for a newcomer on a fresh Debian machine:
#   make demo   - set up, build, run the patcher on a sample application
#   make test   - set up, build and run every test (native, Windows under Wine, fuzz smoke)
BUILD ?= build
JOBS ?= $(shell nproc)
NATIVE := $(BUILD)/native
WIN32 := $(BUILD)/win32
FUZZ := $(BUILD)/fuzz
FUZZ_SMOKE_SECONDS ?= 10
FUZZ_SECONDS ?= 600
export WINEPREFIX ?= $(CURDIR)/build/wineprefix
export WINEDEBUG ?= -all
# File-time tests compare DOS stamps: keep local time free of daylight saving.
export TZ ?= UTC

.PHONY: all setup build native win32 fuzz-build test test-native test-win32 fuzz-smoke fuzz bench demo clean

all: build

setup:
	@bash scripts/setup.sh

$(NATIVE)/build.ninja:
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMENDIT_SANITIZE=ON

$(WIN32)/build.ninja:
	cmake -S . -B $(WIN32) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

$(FUZZ)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMENDIT_FUZZ=ON

native: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

win32: $(WIN32)/build.ninja
	cmake --build $(WIN32) -j $(JOBS)

fuzz-build: $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)

build: setup native win32

test-native: native
	ctest --test-dir $(NATIVE) -j $(JOBS) --output-on-failure

test-win32: win32
	scripts/with-xvfb ctest --test-dir $(WIN32) -j $(JOBS) --output-on-failure

fuzz-smoke: fuzz-build
	scripts/fuzz-run.sh $(FUZZ) $(FUZZ_SMOKE_SECONDS)

test: setup
	$(MAKE) fuzz-smoke test-native test-win32

fuzz: setup fuzz-build
	scripts/fuzz-run.sh $(FUZZ) $(FUZZ_SECONDS) $(TARGETS)

bench: setup native win32
	cmake --build $(NATIVE) --target bench
	cmake --build $(WIN32) --target bench
	bash scripts/bench.sh $(NATIVE) $(WIN32)

demo: setup win32
	bash scripts/demo.sh $(WIN32)

clean:
	rm -rf $(NATIVE) $(WIN32) $(FUZZ)
