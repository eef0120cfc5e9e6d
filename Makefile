# Front door: `make test` and `make demo` install what is missing, configure and build.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: windows-deps all deps configure build test demo format clean test-asan fuzz test-windows package-windows

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) > $(BUILD_DIR).configure.log 2>&1 \
	  || (cat $(BUILD_DIR).configure.log; exit 1)

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo $(BUILD_DIR) out

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, in its own build folder
# (-O1 and line tables: quick to build, readable reports). A sanitizer report aborts the program,
# so a test that expects a failing exit status still fails.
ASAN_DIR ?= build-asan
SANITIZER_ENV = ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

test-asan: deps
	@cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_SANITIZE=ON \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DTAVRIN_BUILD_BENCH=OFF \
	  > $(ASAN_DIR).configure.log 2>&1 \
	  || (cat $(ASAN_DIR).configure.log; exit 1)
	@$(SANITIZER_ENV) cmake --build $(ASAN_DIR) -j $(JOBS)
	@cd $(ASAN_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# Builds the libFuzzer targets with clang and runs each for FUZZ_TIME seconds (FUZZ_JOBS at once).
FUZZ_DIR ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_JOBS ?= 1

fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
	  -DCMAKE_CXX_COMPILER=clang++ -DTAVRIN_FUZZ=ON -DTAVRIN_BUILD_TESTS=OFF \
	  -DTAVRIN_BUILD_UI=OFF -DTAVRIN_BUILD_BENCH=OFF > $(FUZZ_DIR).configure.log 2>&1 \
	  || (cat $(FUZZ_DIR).configure.log; exit 1)
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets
	@FUZZ_JOBS=$(FUZZ_JOBS) scripts/fuzz $(FUZZ_DIR) $(FUZZ_TIME)

# The core, tavrin-cli.exe and their tests cross-built for Windows with MinGW-w64 and run under
# Wine; the Linux build beside it for the test that the two systems write the same modules.
WIN_DIR ?= build-windows
# The import's libxml2, built once from Debian's source into a cache folder outside the clone.
LIBXML2_WINDOWS = $(shell scripts/build-libxml2-windows --print)
WIN_CONFIGURE = cmake -S . -B $(WIN_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_UI=OFF -DTAVRIN_BUILD_BENCH=OFF \
  -DLIBXML2_INCLUDE_DIR=$(LIBXML2_WINDOWS)/include/libxml2 \
  -DLIBXML2_LIBRARY=$(LIBXML2_WINDOWS)/lib/libxml2.a

windows-deps:
	@scripts/install-deps --windows
	@scripts/build-libxml2-windows

test-windows: windows-deps build
	@$(WIN_CONFIGURE) -DTAVRIN_LINUX_CLI=$(abspath $(BUILD_DIR))/bin/tavrin-cli \
	  > $(WIN_DIR).configure.log 2>&1 || (cat $(WIN_DIR).configure.log; exit 1)
	@scripts/wine-session $(WIN_DIR) sh -c 'cmake --build $(WIN_DIR) -j $(JOBS) && \
	  cd $(WIN_DIR) && ctest --output-on-failure -j $(JOBS)'

# tavrin-windows-x64.zip in the Windows build folder: the program, its data files, the help
# document, the examples and README-windows.txt.
package-windows: windows-deps
	@$(WIN_CONFIGURE) > $(WIN_DIR).configure.log 2>&1 || (cat $(WIN_DIR).configure.log; exit 1)
	@scripts/wine-session $(WIN_DIR) cmake --build $(WIN_DIR) -j $(JOBS) --target package_windows

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR) $(BUILD_DIR).configure.log out
