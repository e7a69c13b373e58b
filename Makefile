# Two entry points that do all set-up on a fresh Debian 12 machine:
#   make run    installs what is missing (with a terminal for the console), builds, starts the program
#   make test   installs what is missing, builds, runs the whole test suite
BUILD ?= build

.PHONY: deps build run test bench clean test-sanitize fuzz sanitize-build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD)

run: build
	@scripts/install-deps.sh run
	$(BUILD)/netvane

test: build
	scripts/run-tests.sh $(BUILD)

bench: build
	scripts/run-bench.sh $(BUILD)

# The whole suite built with clang's AddressSanitizer and UndefinedBehaviorSanitizer in
# its own build folder; the fuzzing targets are built there too.
SANITIZE_BUILD ?= build-sanitize
FUZZ_SECONDS ?= 60

sanitize-build: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DNETVANE_SANITIZE=ON \
	    $$(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
	cmake --build $(SANITIZE_BUILD)

test-sanitize: sanitize-build
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/fuzz/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    scripts/run-tests.sh $(SANITIZE_BUILD)

# Runs every fuzzing target for FUZZ_SECONDS over its corpus in tests/fuzz/corpus/.
fuzz: sanitize-build
	scripts/run-fuzz.sh $(SANITIZE_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
