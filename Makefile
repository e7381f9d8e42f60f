# Quick start: `make run` and `make test`. Both install what is missing first.
JOBS ?= $(shell nproc)
BUILD := build/default
ASAN := build/asan

.PHONY: all deps build run test test-fast test-stress check-layers asan fuzz mutate bench format screenshots package package-check clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

run: build
	@if [ -x $(BUILD)/apps/tarnwell/tarnwell ]; then \
	  $(BUILD)/apps/tarnwell/tarnwell --simulator; \
	else \
	  $(BUILD)/apps/tarnwell-cli/tarnwell-cli --help; \
	fi

test-fast: build
	@scripts/check-layers --quiet
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 300

# Fails on an include that climbs the folder order; prints the includes between folders.
check-layers:
	@scripts/check-layers

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

test: test-fast asan

# The tests three times while stress-ng keeps the machine busy (slow; not part of `make
# test`): fails on any failure and on any test slower than half its timeout.
test-stress: build
	@scripts/install-deps --stress
	@scripts/test-stress $(BUILD) 3

fuzz:
	@scripts/install-deps --fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@scripts/run-fuzzers build/fuzz $${FUZZ_SECONDS:-180} $(FUZZ_TARGETS)

# Plants the faults of scripts/mutants.txt one at a time and checks the tests catch each
# (slow: one rebuild per fault; not part of `make test`). MUTANTS="id ..." runs a few.
mutate: deps
	@cmake --preset default >/dev/null
	@scripts/mutate --build $(BUILD) $(MUTANTS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done

format:
	@find src apps tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

screenshots: build
	@scripts/take-screenshots
	@scripts/take-run-screenshots

# The Debian package, written into this folder: apt install ./tarnwell_*.deb
# Its own build (preset "package") compiles only what the package holds: no tests,
# benchmarks or fuzz replays.
PACKAGE_BUILD := build/package
package: deps
	@scripts/install-deps --package
	@cmake --preset package >/dev/null
	@cmake --build --preset package -j $(JOBS)
	@cd $(PACKAGE_BUILD) && rm -f tarnwell_*.deb && cpack -G DEB >/dev/null
	@rm -f tarnwell_*.deb && cp $(PACKAGE_BUILD)/tarnwell_*.deb . && ls tarnwell_*.deb

package-check: package
	@scripts/check-package tarnwell_*.deb

clean:
	@rm -rf build
