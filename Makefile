# Front door: `make test` and `make demo` install what is missing, configure and build.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# WERROR=ON (as .ci/run sets it) turns every warning of our code into an error.
WERROR ?= OFF

.PHONY: windows-deps windows-configure all deps configure build test demo format format-check tidy \
  clean test-asan fuzz test-windows package-windows package-linux

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTAVRIN_WERROR=$(WERROR) \
	  > $(BUILD_DIR).configure.log 2>&1 \
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
	  -DTAVRIN_WERROR=$(WERROR) \
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
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
	  -DCMAKE_CXX_COMPILER=clang++ -DTAVRIN_FUZZ=ON -DTAVRIN_BUILD_TESTS=OFF \
	  -DTAVRIN_BUILD_UI=OFF -DTAVRIN_BUILD_BENCH=OFF > $(FUZZ_DIR).configure.log 2>&1 \
	  || (cat $(FUZZ_DIR).configure.log; exit 1)
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets
	@FUZZ_JOBS=$(FUZZ_JOBS) scripts/fuzz $(FUZZ_DIR) $(FUZZ_TIME)

# The Windows build: the core, both programs and every suite cross-built with MinGW-w64 against
# a static Qt made here once per machine (scripts/build-qt-windows, in ~/.cache/tavrin), the
# tests run under Wine; the Linux build beside it for the tests that the two systems write the
# same modules. Qt's toolchain file finds that Qt and loads ours.
WIN_DIR ?= build-windows
QT_WINDOWS = $(shell scripts/build-qt-windows --print)
# The import's libxml2, built once from Debian's source into a cache folder outside the clone.
LIBXML2_WINDOWS = $(shell scripts/build-libxml2-windows --print)
WIN_CONFIGURE = cmake -S . -B $(WIN_DIR) \
  -DCMAKE_TOOLCHAIN_FILE=$(QT_WINDOWS)/lib/cmake/Qt6/qt.toolchain.cmake \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE=$(abspath cmake/mingw-w64-x86_64.cmake) \
  -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_UI=ON -DTAVRIN_BUILD_BENCH=OFF \
  -DTAVRIN_WERROR=$(WERROR) -DTAVRIN_LINUX_CLI=$(abspath $(BUILD_DIR))/bin/tavrin-cli \
  -DLIBXML2_INCLUDE_DIR=$(LIBXML2_WINDOWS)/include/libxml2 \
  -DLIBXML2_LIBRARY=$(LIBXML2_WINDOWS)/lib/libxml2.a

windows-deps:
	@scripts/install-deps --windows
	@scripts/build-qt-windows
	@scripts/build-libxml2-windows

# A folder configured before the Windows build had its Qt keeps its first toolchain: start it anew.
windows-configure: windows-deps build
	@grep -qs 'qt.toolchain.cmake' $(WIN_DIR)/CMakeCache.txt || rm -rf $(WIN_DIR)/CMakeCache.txt $(WIN_DIR)/CMakeFiles
	@$(WIN_CONFIGURE) > $(WIN_DIR).configure.log 2>&1 || (cat $(WIN_DIR).configure.log; exit 1)

test-windows: windows-configure
	@scripts/wine-session $(WIN_DIR) sh -c 'cmake --build $(WIN_DIR) -j $(JOBS) && \
	  cd $(WIN_DIR) && ctest --output-on-failure -j $(JOBS)'

# In the Windows build folder: tavrin-windows-x64.zip (the folder tavrin\ with both programs, their
# data files, the help document, the examples and README-windows.txt) and the installer
# tavrin-<version>-setup-x64.exe; the installer is then tried under Wine in a fresh prefix.
package-windows: windows-configure
	@scripts/wine-session $(WIN_DIR) cmake --build $(WIN_DIR) -j $(JOBS) --target package_windows
	@tests/packaging/windows-installer $(WIN_DIR)/tavrin-*-setup-x64.exe $(BUILD_DIR)/bin/tavrin-cli

# tavrin_<version>_amd64.deb in the build folder (CPack, dependencies from dpkg-shlibdeps), then
# unpacked and tried, and checked by lintian.
package-linux: build
	@scripts/install-deps --linux-package
	@cd $(BUILD_DIR) && cpack -G DEB > ../$(BUILD_DIR).cpack.log 2>&1 \
	  || (cat ../$(BUILD_DIR).cpack.log; exit 1)
	@tests/packaging/linux-package $(BUILD_DIR)/tavrin_*_amd64.deb

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails, naming the files, when a file is not as clang-format would write it.
format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# clang-tidy with the checks of .clang-tidy over the product code of the Linux build (the
# compile commands of BUILD_DIR); every finding is an error.
tidy: build
	@git ls-files 'src/*.cpp' | grep -v '^src/platform/windows/' | \
	  xargs -P $(JOBS) -n 4 clang-tidy -p $(BUILD_DIR) --quiet 2>/dev/null

clean:
	@rm -rf $(BUILD_DIR) $(BUILD_DIR).configure.log out
