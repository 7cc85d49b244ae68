# The commands a newcomer needs: `make test` sets up and runs every test.
# Sanitizer suites: `make test-asan` (AddressSanitizer + UndefinedBehaviorSanitizer, all
# tests) and `make test-tsan` (ThreadSanitizer, the concurrency tests).

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
ifeq ($(CI),true)
  CMAKE_FLAGS += -DHNVQR_WERROR=ON
endif

configure = cmake -S . -B $(1) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) $(2) >/dev/null

.PHONY: all deps build test test-asan test-tsan demo bench fuzz windows test-windows clean

all: build

# Each target installs (or names) the Debian packages of its own purpose only.
install_deps = @scripts/install-deps.sh $(1)

deps:
	$(call install_deps,build test)

build: deps
	$(call configure,build,)
	cmake --build build -j $(JOBS)

test: build
	ctest --test-dir build --output-on-failure -j $(JOBS)

test-asan: deps
	$(call configure,build-asan,-DHNVQR_SANITIZE=address)
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

test-tsan: deps
	$(call configure,build-tsan,-DHNVQR_SANITIZE=thread)
	cmake --build build-tsan -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --test-dir build-tsan --output-on-failure -j $(JOBS) -L concurrency

# Builds only what the demo runs (the library, the emulator, the CLI and the quickstart
# example), starts the emulator, runs the quickstart against it and in simulation, stops it.
DEMO_TARGETS = HnVQR vqr-sim hnvqr hnvqr_example_quickstart
demo:
	$(call install_deps,build)
	$(call configure,build,)
	cmake --build build -j $(JOBS) --target $(DEMO_TARGETS)
	scripts/demo.sh build

# Benchmarks (optimised build), each figure with its baseline.
bench:
	$(call install_deps,build bench)
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DHNVQR_BUILD_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build build-bench -j $(JOBS)
	scripts/bench.sh build-bench

# Fuzz targets (clang, libFuzzer), each for a bounded time: FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 60
fuzz:
	$(call install_deps,build fuzz)
	scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

# The Windows DLLs, cross-built with mingw-w64: 32-bit in build-win32/ (HnVQR.dll), 64-bit in
# build-win64/ (HnVQR_64.dll); the zip packages are copied to dist/.
configure_windows = $(call configure,$(1),-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-$(2).cmake)
windows:
	$(call install_deps,windows)
	$(call configure_windows,build-win32,i686)
	cmake --build build-win32 -j $(JOBS)
	$(call configure_windows,build-win64,x86_64)
	cmake --build build-win64 -j $(JOBS)
	mkdir -p dist && cp build-win32/dist/*.zip build-win64/dist/*.zip dist/

# The Windows test programs under wine, against the Linux emulator over loopback.
test-windows: windows
	$(call install_deps,build)
	$(call configure,build,)
	cmake --build build -j $(JOBS) --target vqr-sim
	scripts/test-windows.sh build-win32 build-win64 build

# Debian packages, checked by lintian, in dist/ (the build runs in build-deb/).
.PHONY: deb
deb:
	$(call install_deps,build deb)
	JOBS=$(JOBS) scripts/deb.sh build-deb dist

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz build-deb build-win32 build-win64 dist
