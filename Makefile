# Two entry points that do all set-up on a fresh Debian 12 machine:
#   make run    installs what is missing, builds, starts the program
#   make test   installs what is missing, builds, runs the whole test suite
BUILD ?= build

.PHONY: deps build run test bench clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD)

run: build
	$(BUILD)/netvane

test: build
	scripts/run-tests.sh $(BUILD)

bench: build
	scripts/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
