# The two commands a newcomer needs: `make run` and `make test`.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench package clean

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
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The performance figures, from a release build in build-bench/.
bench: deps
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DCOMTERM_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bench/run.sh build-bench

# A Debian package of the release build, in build-release/.
package: deps
	@cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DCOMTERM_TESTS=OFF >/dev/null
	@cmake --build build-release -j $(JOBS)
	cd build-release && cpack

clean:
	rm -rf $(BUILD) build-release build-bench
