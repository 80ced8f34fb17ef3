# Two entry points on a fresh Debian 12 machine:
#   make run    installs what is missing, builds, renders the built-in scene to hud.png
#   make test   installs what is missing, builds, runs every test
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc)
SUPPRESSIONS := $(CURDIR)/tests/sanitizer

.PHONY: all deps configure build run test test-sanitize bench fuzz clean

all: build

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/bin/vexahud-preview -o hud.png

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVEXAHUD_SANITIZE=ON \
	  -DVEXAHUD_BUILD_BENCH=OFF
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_odr_violation=0 \
	  LSAN_OPTIONS=suppressions=$(SUPPRESSIONS)/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS)

bench: build
	$(BUILD)/bin/vexahud-bench

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
