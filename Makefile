# make run   installs what is missing, builds, and opens the desktop program on the
#            sample image when a display is present (the command-line demo otherwise)
# make install  installs both programs, the help pages, the desktop entry and the
#            icon below PREFIX (default /usr/local)
# make test  installs what is missing, builds, and runs every test (and the
#            fuzzing smoke run when clang is installed)
# make fuzz  builds the libFuzzer harnesses and their seeds in $(FUZZ_BUILD);
#            make fuzz-smoke runs each for 30 seconds; scripts/fuzz TARGET SECONDS runs one longer
BUILD ?= build
FUZZ_BUILD ?= build-fuzz
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNEX_WERROR=ON
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all deps configure build run install test test-asan test-tsan bench clean fuzz fuzz-smoke

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@ninja -C $(BUILD) -j $(JOBS)

# The demo needs the two programs alone, not the tests and benchmarks.
run: configure
	@ninja -C $(BUILD) -j $(JOBS) vornex-cli vornex
	@bash scripts/demo $(BUILD)

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 900
	@if command -v clang++ >/dev/null; then $(MAKE) --no-print-directory fuzz-smoke; \
	 else echo "clang++ not installed: fuzzing smoke run skipped"; fi

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVORNEX_WERROR=ON -DVORNEX_FUZZ=ON >/dev/null
	@ninja -C $(FUZZ_BUILD) -j $(JOBS)
	@if [ ! -f $(FUZZ_BUILD)/seeds/.made ] || [ scripts/make-fuzz-seeds -nt $(FUZZ_BUILD)/seeds/.made ]; then \
	  bash scripts/make-fuzz-seeds $(FUZZ_BUILD) && touch $(FUZZ_BUILD)/seeds/.made; fi

fuzz-smoke: fuzz
	@FUZZ_BUILD=$(abspath $(FUZZ_BUILD)) bash scripts/fuzz-smoke 30

test-asan:
	@$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=Debug -DVORNEX_SANITIZE=ON -DVORNEX_BENCH=OFF"

test-tsan:
	@$(MAKE) test BUILD=build-tsan CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNEX_TSAN=ON -DVORNEX_BENCH=OFF"

bench: build
	@echo "Benchmarks are built in $(BUILD)/bench; see bench/README.md"

clean:
	rm -rf $(BUILD) build-asan build-tsan $(FUZZ_BUILD) recovered
