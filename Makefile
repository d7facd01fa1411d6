# Front door of the project: wraps CMake so that the usual commands need no flags.
#   make demo   build the receiver and run the main job on its built-in default
#   make test   build and run every test (Release, then under the sanitizers)
#   make bench  build and run the benchmarks
#   make kit    the library, velkor_rx.ami and velkor_rx.ibs in one folder for a user
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
BUILD   ?= build
RELEASE := $(BUILD)/release
SANITIZE := $(BUILD)/sanitize
WERROR  ?= ON
CMAKE_COMMON := -DVELKOR_WERROR=$(WERROR)

.PHONY: all release sanitize test test-release test-sanitize bench demo kit clean help

all: release

help:
	@sed -n '2,6p' Makefile

$(RELEASE)/CMakeCache.txt:
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release $(CMAKE_COMMON)

$(SANITIZE)/CMakeCache.txt:
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

test: test-release test-sanitize

bench: release
	$(RELEASE)/bench/velkor_bench --benchmark_counters_tabular=true

demo: release
	$(RELEASE)/tools/velkor-sim --out $(BUILD)/demo
	@echo "Open $(BUILD)/demo/report.html in a browser for the eye, the adaptation and the clock."

kit: release
	rm -rf $(BUILD)/kit && mkdir -p $(BUILD)/kit
	cp $(RELEASE)/libvelkor_rx.so kit/velkor_rx.ami kit/velkor_rx.ibs $(BUILD)/kit/
	@if [ -f $(BUILD)/windows/velkor_rx.dll ]; then cp $(BUILD)/windows/velkor_rx.dll $(BUILD)/kit/; fi
	@echo "Model kit ready in $(BUILD)/kit"

clean:
	rm -rf $(BUILD)
