# The whole set-up on Debian 12: `make run` and `make test` (see README.md).
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# `make release` and `make install`: an optimised, stripped program for PREFIX.
RELEASE_BUILD ?= build-release
# `make fuzz` runs every harness this long (seconds); FUZZERS=name... picks some of them.
FUZZ_SECONDS ?= 60
FUZZERS    ?=
JOBS       ?= $(shell nproc)
# CI builds with -Werror; set WERROR=ON to do the same locally.
WERROR     ?= $(if $(CI),ON,OFF)
CMAKE_ARGS := -DKAVREL_WERROR=$(WERROR)
# `make install` puts the program under PREFIX; DESTDIR stages it for a package.
PREFIX     ?= /usr/local

.PHONY: all deps build build-asan build-fuzz release run install test test-build test-asan \
        test-fuzz fuzz bench format clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)
	cmake --build $(BUILD) -j$(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_ARGS) -DKAVREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The libFuzzer harnesses of tests/fuzz, with clang, over the pure libraries only.
build-fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) $(CMAKE_ARGS) -DKAVREL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j$(JOBS)

run: build
	$(BUILD)/app/kavrel $(ARGS)

# The program knows the prefix it was built for (an installed copy keeps its settings in the
# user's folder, not beside itself on the PATH), so the release tree is configured for PREFIX.
# -O2 rather than CMake's -O3; --strip drops the symbols.
release: deps
	cmake -S . -B $(RELEASE_BUILD) $(CMAKE_ARGS) -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_INSTALL_PREFIX="$(PREFIX)"
	cmake --build $(RELEASE_BUILD) -j$(JOBS) --target kavrel

# Builds only when the release tree is missing or made for another prefix, so that
# `sudo make install` after `make release` leaves the build folders to their owner.
install:
	@grep -qxF 'CMAKE_INSTALL_PREFIX:PATH=$(PREFIX)' $(RELEASE_BUILD)/CMakeCache.txt 2>/dev/null \
	  || $(MAKE) release
	cmake --build $(RELEASE_BUILD) -j$(JOBS) --target kavrel
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE_BUILD) --strip

# Every test twice: in the normal build and in the address + undefined sanitizer build; then
# every fuzz harness for a short while.
test: test-build test-asan test-fuzz

test-build: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j$(JOBS)

# Each harness for 10 s under the address and undefined sanitizers: a finding fails the test.
test-fuzz: build-fuzz
	scripts/run-fuzzers $(FUZZ_BUILD) 10

fuzz: build-fuzz
	scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZERS)

bench: build
	$(BUILD)/bench/bench_settings_io
	$(BUILD)/bench/bench_cookie_flood
	$(BUILD)/bench/bench_page_render
	$(BUILD)/bench/bench_sort_and_headers
	$(BUILD)/bench/bench_pop3_check
	$(BUILD)/bench/bench_check_cycle
	$(BUILD)/bench/bench_window_check
	$(BUILD)/bench/bench_resource_use
	$(BUILD)/bench/bench_http_download
	$(BUILD)/bench/bench_hostile_server

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(RELEASE_BUILD)
