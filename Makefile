# Quick start: `make run` starts the simulator, `make test` runs every test.
# Both first install the Debian packages the project needs (only the missing ones).

BUILD ?= build
WEB_BUILD ?= build-web
WEB_PORT ?= 8000
JOBS ?= 2
# Debian's emcc finds its JavaScript helpers (acorn) there
export NODE_PATH := /usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH),)

# the make that `cmake --build` runs inside (and its own sub-makes) would
# announce every directory it enters and leaves; only the compiler's
# progress is shown
MAKEFLAGS += --no-print-directory

.PHONY: all deps build run test bench web serve-web bench-web clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@./$(BUILD)/app/hybridsim

# The browser edition: the page in $(WEB_BUILD)/site, a folder of static
# files, and the same page as one file, $(WEB_BUILD)/hybridsim.html (docs/web.md).
web: deps
	@emcmake cmake -S web -B $(WEB_BUILD)/cmake >/dev/null
	@cmake --build $(WEB_BUILD)/cmake -j $(JOBS)
	@echo "the page: $(WEB_BUILD)/site/index.html, and as one file: $(WEB_BUILD)/hybridsim.html"

# The page on http://127.0.0.1:$(WEB_PORT)/ until Ctrl-C.
serve-web: web
	python3 -m http.server --bind 127.0.0.1 --directory $(WEB_BUILD)/site $(WEB_PORT)

# Every test in the ordinary build, then the browser edition in headless
# Chromium and Firefox ESR (it compares the page with programs of the ordinary build, and
# fails in a minute rather than after the sanitizer stage), then the whole
# suite again under the sanitizers, then the fuzz targets
# (docs/reliability.md; FUZZ_SECONDS sets how long each target runs).
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	JOBS=$(JOBS) BUILD=$(BUILD) WEB_BUILD=$(WEB_BUILD) ./scripts/test-stages.sh web
	JOBS=$(JOBS) ./scripts/test-stages.sh asan
	JOBS=$(JOBS) ./scripts/test-stages.sh fuzz

bench: build
	./$(BUILD)/bench/hybridsim-bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
	./$(BUILD)/bench/hybridsim-study-bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
	xvfb-run -a -s "-screen 0 1024x1024x24" ./$(BUILD)/bench/hybridsim-draw-bench \
	    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	./$(BUILD)/bench/hybridsim-picture-bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

# The browser edition's figures in headless Chromium (docs/performance.md).
bench-web: build web
	./scripts/test-stages.sh web-deps
	node tests/web/bench.mjs --site $(WEB_BUILD)/site --one-file $(WEB_BUILD)/hybridsim.html --native-bench $(BUILD)/bench/hybridsim-bench

clean:
	rm -rf $(BUILD) $(WEB_BUILD)
