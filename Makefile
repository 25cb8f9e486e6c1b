# The two commands a newcomer needs: `make run` and `make test`.
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS ?=

# make test SANITIZE=address,undefined: the whole suite under those sanitizers;
# make test SANITIZE=thread: the serial tests, where threads share the read state.
SANITIZE ?=
comma := ,
CTEST_FILTER :=
ifeq ($(SANITIZE),)
BUILD ?= build
else
BUILD ?= build-$(subst $(comma),-,$(SANITIZE))
CMAKE_FLAGS += -DCOMTERM_SANITIZE=$(SANITIZE) -DCOMTERM_BENCH=OFF
ifeq ($(SANITIZE),thread)
CTEST_FILTER := -L serial
endif
endif
export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS ?= suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS ?= suppressions=$(CURDIR)/tests/tsan.supp:halt_on_error=1

.PHONY: all deps configure build run test bench soak fuzz package windows test-windows package-windows clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/run.sh $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) $(CTEST_FILTER)

# The performance figures, from a release build in build-bench/.
bench: deps
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DCOMTERM_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bench/run.sh build-bench

# The whole window with the virtual device streaming for SOAK_SECONDS (default 10 minutes).
SOAK_SECONDS ?= 600
SOAK_RATE ?= 11520
soak: deps
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DCOMTERM_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS) --target soak comterm-vdev
	QT_QPA_PLATFORM=offscreen build-bench/bench/soak build-bench/tools/comterm-vdev $(SOAK_SECONDS) $(SOAK_RATE)

# Each fuzz target for FUZZ_SECONDS with libFuzzer (clang); new findings land in the corpus.
FUZZ_SECONDS ?= 60
fuzz: deps
	@tools/install-deps.sh clang-14 libclang-rt-14-dev libfuzzer-14-dev
	@cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
		-DCOMTERM_FUZZ=ON -DCOMTERM_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target str_to_int_fuzz history_line_fuzz history_pane_fuzz telnet_fuzz settings_fuzz \
		escapes_fuzz network_address_fuzz shortcut_fuzz find_fuzz line_choice_fuzz pacing_fuzz
	@for target in str_to_int history_line history_pane telnet settings escapes network_address shortcut find line_choice pacing; do \
		mkdir -p build-fuzz/corpus/$$target && \
		QT_QPA_PLATFORM=offscreen build-fuzz/tests/fuzz/$${target}_fuzz -max_total_time=$(FUZZ_SECONDS) \
			-artifact_prefix=tests/fuzz/corpus/$$target/ build-fuzz/corpus/$$target tests/fuzz/corpus/$$target \
			|| exit 1; \
	done

# A Debian package of the release build, in build-release/.
package: deps
	@cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DCOMTERM_TESTS=OFF >/dev/null
	@cmake --build build-release -j $(JOBS)
	cd build-release && cpack

# Windows: comterm.exe and its tests, cross-built with mingw-w64 in build-windows/.
WINDOWS_BUILD ?= build-windows
windows: deps
	@tools/install-deps.sh g++-mingw-w64-x86-64-posix googletest
	@cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The Windows tests under Wine, with the native virtual device as the far end.
test-windows: windows build
	@tools/install-deps.sh wine wine64
	tools/wine-test.sh $(WINDOWS_BUILD) $(BUILD)

# A zip with comterm.exe and a short README, in build-windows/.
package-windows: windows
	cd $(WINDOWS_BUILD) && cpack

clean:
	rm -rf $(BUILD) build-release build-bench build-fuzz build-address-undefined build-thread $(WINDOWS_BUILD)
