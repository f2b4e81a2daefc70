# Front door: `make demo` runs igmhost with a demo world on this console,
# `make test` builds and runs every test. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
PORT ?= 2323

.PHONY: all deps configure build test demo serve bench format clean

all: build

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

demo: build
	@tools/make-demo-world $(BUILD)/demo-world
	@$(BUILD)/igmhost --world $(BUILD)/demo-world --console

serve: build
	@tools/make-demo-world $(BUILD)/demo-world
	@$(BUILD)/igmhost --world $(BUILD)/demo-world --port $(PORT)

bench: build
	@$(BUILD)/script_bench

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD) build-asan
