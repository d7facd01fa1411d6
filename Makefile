# Front door of the project: wraps CMake so that the usual commands need no flags.
#   make demo   build the receiver and velkor-sim and run the main job on its built-in default
#   make test   install what the tests need (as root on Debian), build and run every test
#   make bench  build and run the benchmarks
#   make kit    the model kit for users: build/kit/ and build/velkor_rx-kit-<version>.tar.gz and .zip
#   make kit-linux  the same without the Windows DLL, the kit's files saying it is for Linux only
#   make windows  the 64-bit Windows DLL, cross-built with MinGW-w64 (tested under Wine)
#   make fuzz   each libFuzzer target for FUZZ_SECONDS (60); new inputs land in fuzz/corpus
#   make crcheck  the correctly rounded tanh, exp and acos against MPFR on ten million arguments
#   make channel-fixtures  regenerate the Touchstone fixtures of the channel tests with scikit-rf
#   make screenshots  velkor-sim's run, sweep and jitter-tolerance reports rendered in headless Chromium
#   make clean  remove what the targets above made
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
# The build folder. A project-specific name: a BUILD or BUILD_DIR that a CI system
# exports must not redirect the builds, the kit or make clean.
VELKOR_BUILD_DIR ?= build
BUILD_DIR := $(VELKOR_BUILD_DIR)
ifneq ($(words $(BUILD_DIR)),1)
$(error VELKOR_BUILD_DIR must be one folder name without blanks, not '$(BUILD_DIR)')
endif
# Absolute, for the commands that run elsewhere; the checkout's path may hold blanks,
# so it is only ever used inside quotes.
BUILD_ABS := $(if $(filter /%,$(BUILD_DIR)),$(BUILD_DIR),$(CURDIR)/$(BUILD_DIR))
RELEASE := $(BUILD_DIR)/release
SANITIZE := $(BUILD_DIR)/sanitize
TSAN := $(BUILD_DIR)/tsan
WINDOWS := $(BUILD_DIR)/windows
FUZZ := $(BUILD_DIR)/fuzz
WERROR  ?= ON
CMAKE_COMMON = -DVELKOR_WERROR=$(WERROR) -DVELKOR_WINDOWS_BUILD="$(BUILD_ABS)/windows"
MINGW_CXX := x86_64-w64-mingw32-g++-posix
# Wine keeps a prefix only in a folder its user owns: one per user, so that root
# running the tests in a user's checkout (or the other way round) finds its own.
WINE_PREFIX = $(BUILD_ABS)/wineprefix-$(shell id -u)
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := ami_params ami_lifecycle ami_file ibis_file
FUZZ_RUN = ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=halt_on_error=1

# The Debian packages each target needs beyond make, g++, cmake and git; the one
# list of them. tools/install-packages.sh installs the missing ones in one apt-get
# call when run as root on Debian, and otherwise prints the command that would.
# velkor-sim's stimulus convolution takes kissfft's header-only C++ template
# (BSD-3-Clause) in double precision; every target that builds velkor-sim needs it.
DEMO_PACKAGES    := libkissfft-dev
# locales: a test makes a locale whose decimal point is a comma, as a simulator's may be.
TEST_PACKAGES    := $(DEMO_PACKAGES) libgtest-dev libgmock-dev libbenchmark-dev libmpfr-dev libgmp-dev \
                    nlohmann-json3-dev valgrind python3 locales
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine64
BENCH_PACKAGES   := $(DEMO_PACKAGES) libbenchmark-dev
FUZZ_PACKAGES    := clang
FIXTURE_PACKAGES := python3-scikit-rf python3-numpy
# Debian's interpreter: the packages above are installed for it, not for another python3 on PATH.
FIXTURE_PYTHON   ?= /usr/bin/python3
SCREENSHOT_PACKAGES := chromium
INSTALL_PACKAGES := sh tools/install-packages.sh

# The release tree serves demo, kit, bench and the tests; each target states what
# it needs configured, so that the demo never asks for the tests' libraries.
RELEASE_CONFIGURE = cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release $(CMAKE_COMMON)
RELEASE_APP   := -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_BENCH=OFF -DVELKOR_BUILD_TOOLS=ON
RELEASE_TESTS := -DVELKOR_BUILD_TESTS=ON -DVELKOR_BUILD_BENCH=ON -DVELKOR_BUILD_TOOLS=ON
RELEASE_BENCH := -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_BENCH=ON -DVELKOR_BUILD_TOOLS=ON

# Prerequisites run in the order written (the packages before the builds); CMake
# builds in parallel inside each step.
.NOTPARALLEL:

.PHONY: all release sanitize test test-release test-sanitize test-tsan test-deps demo-deps windows-deps bench-deps \
  bench demo kit kit-linux windows windows-build crcheck fuzz fuzz-build fuzz-vendor clean help channel-fixtures \
  screenshots

all: release

help:
	@sed -n '2,12p' Makefile

demo-deps:
	@$(INSTALL_PACKAGES) "make demo" $(DEMO_PACKAGES)

# One apt-get call for everything make test uses; without MinGW-w64 and Wine only
# the Windows part is skipped.
test-deps:
	@$(INSTALL_PACKAGES) "make test" $(TEST_PACKAGES) -- $(WINDOWS_PACKAGES)

windows-deps:
	@$(INSTALL_PACKAGES) "make windows" -- $(WINDOWS_PACKAGES)

bench-deps:
	@$(INSTALL_PACKAGES) "make bench" $(BENCH_PACKAGES)

release: test-deps
	$(RELEASE_CONFIGURE) $(RELEASE_TESTS)
	cmake --build $(RELEASE) -j $(JOBS)

sanitize: test-deps
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_SANITIZE=ON \
	  -DVELKOR_BUILD_BENCH=OFF $(CMAKE_COMMON)
	cmake --build $(SANITIZE) -j $(JOBS)

test-release: release
	ctest --test-dir $(RELEASE) --output-on-failure -j $(JOBS)

test-sanitize: sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

# Two files checked at once on two threads, under ThreadSanitizer: only the
# checker and its thread tests are built in this tree.
test-tsan: test-deps
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_TSAN=ON -DVELKOR_BUILD_BENCH=OFF $(CMAKE_COMMON)
	cmake --build $(TSAN) -j $(JOBS) --target checker_thread_tests
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(TSAN)/tests/checker_thread_tests

test: test-deps windows-build test-release test-sanitize test-tsan

windows: windows-deps windows-build

# The DLL and the Windows host of the tests, when MinGW-w64 is there; Wine gets its
# prefix made once so that the tests' first run does not pay for it.
windows-build:
	@if command -v $(MINGW_CXX) >/dev/null 2>&1; then \
	  cmake -S . -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	    -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_BENCH=OFF -DVELKOR_BUILD_TOOLS=OFF $(CMAKE_COMMON) >/dev/null && \
	  cmake --build $(WINDOWS) -j $(JOBS) && \
	  { command -v wine >/dev/null 2>&1 && mkdir -p "$(WINE_PREFIX)" && \
	    WINEPREFIX="$(WINE_PREFIX)" WINEDEBUG=-all wineboot -i >/dev/null 2>&1 || true; }; \
	else \
	  echo "Windows DLL skipped: MinGW-w64 (Debian package g++-mingw-w64-x86-64-posix) is not installed."; \
	fi

# Ten million arguments per function and range, against MPFR (a few minutes).
crcheck: release
	VELKOR_CR_SAMPLES=10000000 $(RELEASE)/tests/kernels_tests --gtest_filter='CorrectlyRounded.*:TanhKernels.*'

# Channels written by an RF toolkit that is not ours, with their reference pulses;
# the files are committed, so the tests never need Python.
channel-fixtures:
	@$(INSTALL_PACKAGES) "make channel-fixtures" $(FIXTURE_PACKAGES)
	$(FIXTURE_PYTHON) tools/make_channel_fixtures.py tests/tools/data/channels

bench: bench-deps
	$(RELEASE_CONFIGURE) $(RELEASE_BENCH)
	cmake --build $(RELEASE) -j $(JOBS) --target velkor_bench
	$(RELEASE)/bench/velkor_bench --benchmark_counters_tabular=true

# Only what the demo needs: the model library and velkor-sim.
demo: demo-deps
	$(RELEASE_CONFIGURE) $(RELEASE_APP)
	cmake --build $(RELEASE) -j $(JOBS) --target velkor_rx velkor-sim
	$(RELEASE)/tools/velkor-sim --out "$(BUILD_ABS)/demo"
	@echo "Open $(BUILD_DIR)/demo/report.html in a browser for the eye, the adaptation and the clock."

# The reports of a run, a sweep and a jitter-tolerance search, and each figure, as PNGs in $(BUILD_DIR)/screenshots.
screenshots: demo-deps
	@$(INSTALL_PACKAGES) "make screenshots" $(SCREENSHOT_PACKAGES)
	$(RELEASE_CONFIGURE) $(RELEASE_APP)
	cmake --build $(RELEASE) -j $(JOBS) --target velkor_rx velkor-sim
	tools/screenshots.sh "$(RELEASE)" "$(BUILD_ABS)/screenshots"

# The kit is whole or not made: without the Windows DLL it stops and names kit-linux.
kit: demo-deps windows-deps windows-build
	@test -f "$(BUILD_ABS)/windows/velkor_rx.dll" || { \
	  echo "make kit: the kit needs velkor_rx.dll, and MinGW-w64 is not installed (see above)."; \
	  echo "Install it, or make kit-linux for a kit that says it is for Linux only."; exit 1; }
	$(RELEASE_CONFIGURE) $(RELEASE_APP) -DVELKOR_KIT_OUTPUT="$(BUILD_ABS)" -DVELKOR_KIT_PLATFORMS=all
	cmake --build $(RELEASE) -j $(JOBS) --target kit

kit-linux: demo-deps
	$(RELEASE_CONFIGURE) $(RELEASE_APP) -DVELKOR_KIT_OUTPUT="$(BUILD_ABS)" -DVELKOR_KIT_PLATFORMS=linux
	cmake --build $(RELEASE) -j $(JOBS) --target kit

fuzz-build:
	@$(INSTALL_PACKAGES) "make fuzz" $(FUZZ_PACKAGES)
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_FUZZ=ON -DVELKOR_SANITIZE=ON \
	  -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_BENCH=OFF -DVELKOR_BUILD_TOOLS=OFF -DVELKOR_WERROR=OFF >/dev/null
	cmake --build $(FUZZ) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))

# Our own seeds only: what the fuzzers keep in fuzz/corpus must not carry vendors' files.
fuzz: fuzz-build
	mkdir -p $(FUZZ)/work
	for t in $(FUZZ_TARGETS); do \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  (cd $(FUZZ)/work && $(FUZZ_RUN) ../fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=8192 \
	    -rss_limit_mb=2048 -print_final_stats=1 "$(CURDIR)/fuzz/corpus/$$t" "$(CURDIR)/fuzz/seeds/$$t") || exit 1; \
	done

# Seeded with the vendor files beside the checkout; new inputs stay in the build folder.
fuzz-vendor: fuzz-build
	mkdir -p $(FUZZ)/work $(FUZZ)/vendor-corpus/ami_file $(FUZZ)/vendor-corpus/ibis_file
	for t in ami_file ibis_file; do \
	  (cd $(FUZZ)/work && $(FUZZ_RUN) ../fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=65536 \
	    -rss_limit_mb=2048 -print_final_stats=1 ../vendor-corpus/$$t "$(CURDIR)/fuzz/corpus/$$t" \
	    "$(CURDIR)/../shared/corpus") || exit 1; \
	done

# Only what the targets above made, never the build folder as a whole: it may be a
# folder of the user's that holds other things.
clean:
	rm -rf "$(BUILD_DIR)/release" "$(BUILD_DIR)/sanitize" "$(BUILD_DIR)/windows" "$(BUILD_DIR)/fuzz" \
	  "$(BUILD_DIR)"/wineprefix* "$(BUILD_DIR)/demo" "$(BUILD_DIR)/screenshots" "$(BUILD_DIR)/kit" "$(BUILD_DIR)"/velkor_rx-kit-*
	-@rmdir "$(BUILD_DIR)" 2>/dev/null || true
