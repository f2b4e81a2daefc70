# Front door: `make demo` runs igmhost with a demo world on this console,
# `make test` builds and runs every test. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
PORT ?= 2323
CMAKE_FLAGS ?=
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build host test demo serve bench fuzz format clean

all: build

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The main job needs only the plug-in and the host, not the tests.
host: configure
	@cmake --build $(BUILD) -j$(JOBS) --target zmb_vorn igmhost

demo: host
	@tools/make-demo-world $(BUILD)/demo-world
	@$(BUILD)/igmhost --world $(BUILD)/demo-world --console

serve: host
	@tools/make-demo-world $(BUILD)/demo-world
	@$(BUILD)/igmhost --world $(BUILD)/demo-world --port $(PORT)

bench: build
	@$(BUILD)/script_bench

# The fuzz targets of fuzz/, each for FUZZ_SECONDS (a clang build of its own).
FUZZ_SECONDS ?= 3600
fuzz: deps
	@fuzz/run $(FUZZ_SECONDS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD) build-asan build-fuzz
