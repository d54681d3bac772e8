# Quick start: `make run` starts the simulator, `make test` runs every test.
# Both first install the Debian packages the project needs (only the missing ones).

BUILD ?= build
JOBS ?= 2

.PHONY: all deps build run test bench clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/app/hybridsim

# Every test in the ordinary build, then the whole suite again under the
# sanitizers, then the fuzz targets (docs/reliability.md; FUZZ_SECONDS sets
# how long each target runs).
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	JOBS=$(JOBS) ./scripts/test-stages.sh asan
	JOBS=$(JOBS) ./scripts/test-stages.sh fuzz

bench: build
	./$(BUILD)/bench/hybridsim-bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
	./$(BUILD)/bench/hybridsim-study-bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
	xvfb-run -a -s "-screen 0 1024x1024x24" ./$(BUILD)/bench/hybridsim-draw-bench \
	    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

clean:
	rm -rf $(BUILD)
