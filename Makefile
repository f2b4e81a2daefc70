# Front door: `make demo` runs igmhost with a demo world on this console,
# `make test` builds and runs every test. Both install what is missing first.
# `make load` puts LOAD_CALLERS telnet callers on a fresh igmhost for
# LOAD_SECONDS and prints what it measured (docs/PERFORMANCE.md).
BUILD ?= build
JOBS ?= $(shell nproc)
PORT ?= 2323
CMAKE_FLAGS ?=
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build host test demo demo-reset serve bench load fuzz format clean

DEMO_WORLD = $(BUILD)/demo-world
# `make demo` is the console alone unless a port is asked for (make demo PORT=2323).
DEMO_LISTEN = $(if $(filter command line environment,$(origin PORT)),--port $(PORT),--port off)
# The demo world is made once and kept: players' progress survives restarts.
define demo_world
	@if [ -d $(DEMO_WORLD) ]; then \
	    echo "using the demo world in $(DEMO_WORLD) (make demo-reset makes it afresh)"; \
	else IGMHOST=$(BUILD)/igmhost tools/make-demo-world $(DEMO_WORLD); fi
endef

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
	$(demo_world)
	@$(BUILD)/igmhost --world $(DEMO_WORLD) --console $(DEMO_LISTEN)

serve: host
	$(demo_world)
	@$(BUILD)/igmhost --world $(DEMO_WORLD) --port $(PORT)

demo-reset: host
	@echo "making the demo world in $(DEMO_WORLD) afresh: its players and accounts start over"
	@IGMHOST=$(BUILD)/igmhost tools/make-demo-world $(DEMO_WORLD)

# The benchmark has a release build of its own, whatever BUILD is built as:
# the slice and start-up ratios are only meaningful optimised.
BENCH_BUILD ?= build-bench
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BENCH_BUILD) -j$(JOBS) --target script_bench
	@$(BENCH_BUILD)/script_bench

# The default load: callers typing a line every LOAD_INTERVAL seconds on
# average (0: at full speed); LOAD_ARGS passes more loadgen options.
LOAD_CALLERS ?= 1000
LOAD_SECONDS ?= 30
LOAD_INTERVAL ?= 1
LOAD_ARGS ?=
load: configure
	@cmake --build $(BUILD) -j$(JOBS) --target zmb_vorn igmhost loadgen
	@$(BUILD)/loadgen --callers $(LOAD_CALLERS) --duration $(LOAD_SECONDS) \
	    --interval $(LOAD_INTERVAL) $(LOAD_ARGS)

# The fuzz targets of fuzz/, each for FUZZ_SECONDS (a clang build of its own).
FUZZ_SECONDS ?= 3600
fuzz: deps
	@fuzz/run $(FUZZ_SECONDS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD) $(BENCH_BUILD) build-asan build-fuzz
