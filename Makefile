# The two commands of the README: `make run` and `make test`. Both install what
# is missing (scripts/setup), configure and build.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
# ccache, where it is installed, for every build: worktrees and rebuilds share it.
CCACHE_FLAGS := $(shell command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CMAKE_FLAGS ?= $(CCACHE_FLAGS)
WIN_BUILD  ?= build-windows
WIN_CMAKE_FLAGS ?= $(CCACHE_FLAGS)
WEB_BUILD  ?= build-web
WEB_CMAKE_FLAGS ?= $(CCACHE_FLAGS)
# Debian's emscripten finds its JavaScript packages through NODE_PATH when the
# node on the PATH is not Debian's own.
WEB_ENV    := NODE_PATH=/usr/share/nodejs

.PHONY: all setup configure build run test test-fast test-asan package bench fuzz soak format clean \
	windows test-windows bench-windows web serve-web test-web bench-web

all: build

# What scripts/setup installs follows the target asked for: `make run` only
# what building and running the game needs, the others add their own tools.
# (A target's value holds for everything it depends on, the set-up included.)
SETUP_FOR = run
test test-fast test-asan: SETUP_FOR = test
package: SETUP_FOR = package
bench: SETUP_FOR = test bench
windows: SETUP_FOR = windows
test-windows bench-windows: SETUP_FOR = test windows
fuzz: SETUP_FOR = fuzz
web serve-web: SETUP_FOR = web
test-web bench-web: SETUP_FOR = test web webtest

setup:
	@scripts/setup $(SETUP_FOR)

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/game/mnemora $(ARGS)

# Every test of the normal build (the package's among them), then the unit
# tests again under ASan + UBSan.
test: build package test-fast test-asan

test-fast:
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: setup
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DMNEMORA_SANITIZE=ON -DMNEMORA_ASSETS=OFF \
		-DMNEMORA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug $(CCACHE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L unit

# The Debian package of this build, its debug symbols and the release
# screenshots its metainfo names, in $(BUILD)/packages/.
package: build
	@cmake --build $(BUILD) --target mnemora_screenshots
	@cd $(BUILD) && cpack --config CPackConfig.cmake

bench: build
	@scripts/bench $(BUILD)
	@if [ -x $(WIN_BUILD)/game/Mnemora.exe ]; then scripts/bench-windows $(WIN_BUILD) $(BUILD); fi

# A cross build whose cache names other libraries than the recipe's $prefix (the folder the
# libraries script printed) is configured afresh: CMake would keep the old paths.
# $(1) the build folder, $(2) the cache entry, $(3) the target's name.
configure_afresh_for = if [ -f $(1)/CMakeCache.txt ] && \
	! grep -qx "$(2):[A-Z]*=$$prefix" $(1)/CMakeCache.txt; then \
	echo "$(3): new libraries, configuring $(1) afresh"; rm -f $(1)/CMakeCache.txt; fi

# The Windows game, cross-built with mingw-w64: the libraries (built once into
# a cache outside the tree), then build-windows/game/ with Mnemora.exe and the
# Linux build's data, then the installer and the portable ZIP.
windows: build
	@prefix=$$(scripts/windows-libs) && \
	$(call configure_afresh_for,$(WIN_BUILD),MNEMORA_WINDOWS_PREFIX,windows) && \
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DMNEMORA_WINDOWS_PREFIX=$$prefix -DMNEMORA_LINUX_GAME_DIR=$(CURDIR)/$(BUILD)/game \
		$(WIN_CMAKE_FLAGS) >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)
	@cmake --build $(WIN_BUILD) --target windows-installer windows-zip

# The Windows unit tests under Wine, then the installer, a German first run,
# level 1 and the files it writes, under Wine on Xvfb.
test-windows: windows
	@scripts/test-windows $(WIN_BUILD) $(BUILD)

bench-windows: windows
	@scripts/bench-windows $(WIN_BUILD) $(BUILD)

# The browser edition, built with emscripten: the libraries (built once into a
# cache outside the tree), then build-web/site/ with the program, the Linux
# build's data, the page, its service worker and manifest.
web: build
	@prefix=$$(scripts/web-libs) && \
	$(call configure_afresh_for,$(WEB_BUILD),MNEMORA_WEB_PREFIX,web) && \
	$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
		-DMNEMORA_WEB_PREFIX=$$prefix -DMNEMORA_LINUX_GAME_DIR=$(CURDIR)/$(BUILD)/game \
		$(WEB_CMAKE_FLAGS) >/dev/null
	@$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)

# The site on a static server at 127.0.0.1 (the address is printed).
serve-web: web
	@scripts/serve-web $(WEB_BUILD)/site

# The site in Debian's chromium, headless: a desktop and a phone journey, a
# reload with the network cut, and no error in the console.
test-web: web
	@cmake --build $(BUILD) --target web_oracle
	@scripts/test-web $(WEB_BUILD)/site $(BUILD)/tests/web_oracle

bench-web: web
	@scripts/bench-web $(WEB_BUILD)/site

# Each libFuzzer target for FUZZ_SECONDS, starting from the kept corpus.
fuzz: setup
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DMNEMORA_FUZZ=ON \
		-DMNEMORA_ASSETS=OFF -DMNEMORA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

soak: build
	@scripts/soak $(BUILD)

format:
	@find src tools tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WEB_BUILD)
