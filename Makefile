# Wraps CMake so that `make run` and `make test` do all set-up on a fresh machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20
JOBS       ?= $(shell nproc)
FILE       ?= $(abspath $(BUILD))/share/demo/velmora-demo.mp3
PREFIX     ?= $(HOME)/.local

.PHONY: setup configure build test test-asan run demo bench clean install uninstall deb fuzz check-fresh

setup:
	@bash tools/setup.sh

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/CMakeCache.txt

build: setup configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-asan

test-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVEL_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j $(JOBS) -LE no-asan

run: build
	$(BUILD)/bin/velplay $(FILE)

# The player with a loopback stand-in of the cover services: the cover road offline.
demo: build
	bash tools/demo/run_demo.sh "$(BUILD)" "$(FILE)"

bench: build
	cmake --build $(BUILD) --target benchmarks -j $(JOBS)
	bash bench/run_all.sh $(BUILD)

# libFuzzer targets need clang; each runs FUZZ_SECONDS and must find nothing.
fuzz: setup
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVEL_FUZZ=ON
	cmake --build $(FUZZ_BUILD) --target fuzzers -j $(JOBS)
	bash fuzz/run.sh $(abspath $(FUZZ_BUILD)) $(FUZZ_SECONDS)

install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	cmake -DCMAKE_INSTALL_PREFIX="$(PREFIX)" -P cmake/UserUninstall.cmake

# A Debian package of this build, in $(BUILD)/deb/ (install it with apt or dpkg).
deb: build
	cd $(BUILD) && cpack --config CPackConfig.cmake

# Clones the repository and runs the README's commands in the clone; slow, not part of test.
check-fresh:
	bash tools/check-fresh.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
