# Two entry points: `make run` and `make test`. Both install what is
# missing first (Debian packages and the icon font), then build.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# The compiler cache sees paths below the checkout as relative ones, so a
# checkout elsewhere finds what an earlier one compiled.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: run test deps build bench test-sanitize test-tsan windows test-windows bench-windows clean

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Exits 0 when the program ends normally; a failure of the program (or the
# build) makes make fail.
run: build
	@./$(BUILD)/sortiq

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	@cmake -S . -B build-asan -DSORTIQ_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --test-dir build-asan --output-on-failure -j $(JOBS) -LE e2e

# The suite under ThreadSanitizer (the threaded parts: walks, queues, player).
test-tsan: deps
	@cmake -S . -B build-tsan -DSORTIQ_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@TSAN_OPTIONS=suppressions=$(CURDIR)/tests/tsan.supp ctest --test-dir build-tsan --output-on-failure -j $(JOBS) -LE e2e

bench:
	@bash scripts/install-deps.sh --bench
	@cmake -S . -B build-bench -DSORTIQ_BENCH=ON -DSORTIQ_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bash bench/run.sh build-bench

# Sortiq.exe for 64-bit Windows, cross-built with mingw-w64
# (build-windows/Sortiq.exe); its tests run under Wine.
windows:
	@mkdir -p build-windows
	@bash scripts/windows/install-deps.sh build-windows/dependencies.cmake
	@cmake -S . -B build-windows -C build-windows/dependencies.cmake \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/scripts/windows/toolchain.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-windows -j $(JOBS)

# The Windows build's figures beside the Linux build's, in one run.
bench-windows: windows
	@bash scripts/install-deps.sh --bench
	@cmake -S . -B build-bench -DSORTIQ_BENCH=ON -DSORTIQ_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-bench -j $(JOBS) --target bench_decode sortiq
	@cmake build-windows -DSORTIQ_BENCH=ON >/dev/null
	@cmake --build build-windows -j $(JOBS) --target bench_decode
	@bash bench/windows.sh build-bench build-windows

test-windows: windows
	@ctest --test-dir build-windows --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) build-asan build-tsan build-bench build-windows
