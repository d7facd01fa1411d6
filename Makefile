# Front door of the project: wraps CMake so that the usual commands need no flags.
#   make demo   build the receiver and run the main job on its built-in default
#   make test   build and run every test (Release, then under the sanitizers)
#   make bench  build and run the benchmarks
#   make kit    the model kit for users: build/kit/ and build/velkor_rx-kit-<version>.tar.gz and .zip
#   make windows  the 64-bit Windows DLL, cross-built with MinGW-w64 (tested under Wine)
#   make fuzz   each libFuzzer target for FUZZ_SECONDS (60); new inputs land in fuzz/corpus
#   make crcheck  the correctly rounded tanh, exp and acos against MPFR on ten million arguments
#   make screenshots  velkor-sim's run, sweep and jitter-tolerance reports rendered in headless Chromium
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
BUILD   ?= build
RELEASE := $(BUILD)/release
SANITIZE := $(BUILD)/sanitize
WERROR  ?= ON
CMAKE_COMMON := -DVELKOR_WERROR=$(WERROR)
WINDOWS := $(BUILD)/windows
MINGW_CXX := x86_64-w64-mingw32-g++-posix
WINE_PREFIX := $(abspath $(BUILD))/wineprefix
FUZZ := $(BUILD)/fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := ami_params ami_lifecycle ami_file ibis_file
FUZZ_RUN = ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=halt_on_error=1

.PHONY: all release sanitize test test-release test-sanitize test-deps bench demo kit windows windows-toolchain crcheck fuzz fuzz-build fuzz-vendor clean help screenshots

all: release

help:
	@sed -n '2,9p' Makefile

# MPFR, the tests' reference for the correctly rounded functions: installed when
# missing and we are root on a Debian machine (the library itself never uses it).
test-deps:
	@if [ ! -f /usr/include/mpfr.h ] && [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then \
	  echo "Installing MPFR for the tests ..."; \
	  apt-get update -q >/dev/null 2>&1; \
	  DEBIAN_FRONTEND=noninteractive apt-get install -y -q libmpfr-dev libgmp-dev >/dev/null 2>&1 || true; \
	fi

$(RELEASE)/CMakeCache.txt: | test-deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release $(CMAKE_COMMON)

$(SANITIZE)/CMakeCache.txt: | test-deps
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_SANITIZE=ON \
	  -DVELKOR_BUILD_BENCH=OFF $(CMAKE_COMMON)

release: $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS)

sanitize: $(SANITIZE)/CMakeCache.txt
	cmake --build $(SANITIZE) -j $(JOBS)

test-release: release
	ctest --test-dir $(RELEASE) --output-on-failure -j $(JOBS)

test-sanitize: sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

test: windows test-release test-sanitize

# MinGW-w64 and Wine: installed when missing and we are root on a Debian machine.
windows-toolchain:
	@if ! command -v $(MINGW_CXX) >/dev/null 2>&1 || ! command -v wine >/dev/null 2>&1; then \
	  if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then \
	    echo "Installing MinGW-w64 and Wine for the Windows build ..."; \
	    apt-get update -q >/dev/null 2>&1; \
	    DEBIAN_FRONTEND=noninteractive apt-get install -y -q g++-mingw-w64-x86-64-posix wine64 >/dev/null 2>&1 || true; \
	  fi; \
	fi

windows: windows-toolchain
	@if command -v $(MINGW_CXX) >/dev/null 2>&1; then \
	  cmake -S . -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	    -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_BENCH=OFF -DVELKOR_BUILD_TOOLS=OFF $(CMAKE_COMMON) >/dev/null && \
	  cmake --build $(WINDOWS) -j $(JOBS) && \
	  { command -v wine >/dev/null 2>&1 && WINEPREFIX=$(WINE_PREFIX) WINEDEBUG=-all wineboot -i >/dev/null 2>&1 || true; }; \
	else \
	  echo "Windows DLL skipped: MinGW-w64 (Debian package g++-mingw-w64-x86-64-posix) is not installed."; \
	fi

# Ten million arguments per function and range, against MPFR (a few minutes).
crcheck: release
	VELKOR_CR_SAMPLES=10000000 $(RELEASE)/tests/blocks_tests --gtest_filter='CorrectlyRounded.*:TanhKernels.*'

bench: release
	$(RELEASE)/bench/velkor_bench --benchmark_counters_tabular=true

# Only what the demo needs: the model library and velkor-sim (tests and benchmarks stay under make / make test).
demo: $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS) --target velkor_rx velkor-sim
	$(RELEASE)/tools/velkor-sim --out $(BUILD)/demo
	@echo "Open $(BUILD)/demo/report.html in a browser for the eye, the adaptation and the clock."

# Chromium: installed when missing and we are root on a Debian machine. PNGs in $(BUILD)/screenshots.
screenshots: $(RELEASE)/CMakeCache.txt
	@if ! command -v chromium >/dev/null 2>&1 && [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then \
	  echo "Installing Chromium for the screenshots ..."; \
	  apt-get update -q >/dev/null 2>&1; \
	  DEBIAN_FRONTEND=noninteractive apt-get install -y -q chromium >/dev/null 2>&1 || true; \
	fi
	cmake --build $(RELEASE) -j $(JOBS) --target velkor_rx velkor-sim
	tools/screenshots.sh "$(RELEASE)" "$(BUILD)/screenshots"

kit: release windows
	cmake -S . -B $(RELEASE) -DVELKOR_KIT_OUTPUT=$(abspath $(BUILD)) -DVELKOR_WINDOWS_DLL=$(abspath $(WINDOWS))/velkor_rx.dll >/dev/null
	cmake --build $(RELEASE) --target kit

fuzz-build:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_FUZZ=ON -DVELKOR_SANITIZE=ON \
	  -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_BENCH=OFF -DVELKOR_BUILD_TOOLS=OFF -DVELKOR_WERROR=OFF >/dev/null
	cmake --build $(FUZZ) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))

# Our own seeds only: what the fuzzers keep in fuzz/corpus must not carry vendors' files.
fuzz: fuzz-build
	mkdir -p $(FUZZ)/work
	for t in $(FUZZ_TARGETS); do \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  (cd $(FUZZ)/work && $(FUZZ_RUN) ../fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=8192 \
	    -rss_limit_mb=2048 -print_final_stats=1 $(CURDIR)/fuzz/corpus/$$t $(CURDIR)/fuzz/seeds/$$t) || exit 1; \
	done

# Seeded with the vendor files beside the checkout; new inputs stay in the build folder.
fuzz-vendor: fuzz-build
	mkdir -p $(FUZZ)/work $(FUZZ)/vendor-corpus/ami_file $(FUZZ)/vendor-corpus/ibis_file
	for t in ami_file ibis_file; do \
	  (cd $(FUZZ)/work && $(FUZZ_RUN) ../fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=65536 \
	    -rss_limit_mb=2048 -print_final_stats=1 ../vendor-corpus/$$t $(CURDIR)/fuzz/corpus/$$t \
	    $(CURDIR)/../shared/corpus) || exit 1; \
	done

clean:
	rm -rf $(BUILD)
