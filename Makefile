# The two commands of the README: `make play` and `make test`.
BUILD     ?= build
BUILDTYPE ?= RelWithDebInfo
JOBS      ?= $(shell nproc)

.PHONY: all deps configure build test play fuzz bench clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILDTYPE)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	bash scripts/run-tests.sh $(BUILD)

play: build
	bash scripts/play.sh $(BUILD)

bench: build
	bash scripts/run-bench.sh $(BUILD)

fuzz:
	@bash scripts/install-deps.sh --fuzz
	bash scripts/run-fuzz.sh

clean:
	rm -rf $(BUILD) build-fuzz
