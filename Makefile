# make run   installs what is missing, builds, and runs the demo on the sample image
# make test  installs what is missing, builds, and runs every test
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNEX_WERROR=ON
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test test-asan test-tsan bench clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@ninja -C $(BUILD) -j $(JOBS)

run: build
	@bash scripts/demo $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 900

test-asan:
	@$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=Debug -DVORNEX_SANITIZE=ON -DVORNEX_BENCH=OFF"

test-tsan:
	@$(MAKE) test BUILD=build-tsan CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNEX_TSAN=ON -DVORNEX_BENCH=OFF"

bench: build
	@echo "Benchmarks are built in $(BUILD)/bench; see bench/README.md"

clean:
	rm -rf $(BUILD) build-asan build-tsan recovered
