# Two entry points on a fresh Debian 12 machine:
#   make run    installs what the preview needs, builds it, renders the built-in scene to hud.png
#   make test   installs what the tests need, builds everything, runs every test
# QT=6 builds with Qt 6 instead of Qt 5, in build-qt6 unless BUILD says otherwise.
QT ?= 5
ifeq ($(QT),5)
BUILD ?= build
else
BUILD ?= build-qt$(QT)
endif
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc)
SUPPRESSIONS := $(CURDIR)/tests/sanitizer
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

# Sanitizer reports name functions and lines through LLVM's symbolizer.
SYMBOLIZER := /usr/lib/llvm-14/bin/llvm-symbolizer

.PHONY: all deps deps-run configure configure-run build run test bench-burnin test-sanitize bench fuzz leak-check sdk-check package \
  mutants clean

# The Debian packages each target needs (scripts/install-deps lists the groups).
DEPS_QT := $(if $(filter 6,$(QT)),qt6)

all: build

deps-run:
	@bash scripts/install-deps run $(DEPS_QT)

deps:
	bash scripts/install-deps test $(DEPS_QT)

configure-run: deps-run
	@mkdir -p $(BUILD)
	@echo "make run: configuring and building in $(BUILD) (log: $(BUILD)/make-run.log)"
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXAHUD_QT_MAJOR=$(QT) \
	  >$(BUILD)/make-run.log 2>&1 || { cat $(BUILD)/make-run.log; exit 1; }

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXAHUD_QT_MAJOR=$(QT)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The preview and the plug-in it loads, nothing else; quiet unless something fails.
run: configure-run
	@cmake --build $(BUILD) -j$(JOBS) --target vexahud-preview >>$(BUILD)/make-run.log 2>&1 \
	  || { cat $(BUILD)/make-run.log; exit 1; }
	@$(BUILD)/bin/vexahud-preview -o hud.png
	@echo "make run: wrote $(CURDIR)/hud.png"

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
# The leak checker is not told of dynamic TLS blocks (intercept_tls_get_addr=0):
# the runtime Debian's compilers ship guesses a block's bounds from a header
# older glibc put before it, and with glibc's own malloc'd blocks it now and
# then reads a bogus range and crashes at exit ("Tracer caught signal 11",
# "DTLS ... at 0x...b7d"): here about one run in ten of a footage test that
# runs the preview four times.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_odr_violation=0:intercept_tls_get_addr=0 \
  ASAN_SYMBOLIZER_PATH=$(SYMBOLIZER) \
  LSAN_OPTIONS=suppressions=$(SUPPRESSIONS)/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
test-sanitize: deps
	bash scripts/install-deps sanitize
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVEXAHUD_SANITIZE=ON \
	  -DVEXAHUD_BUILD_BENCH=OFF
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j$(JOBS)

bench: build
	$(BUILD)/bin/vexahud-bench

# Our burn-in against ffmpeg's transcode and ffmpeg's drawtext burn-in.
bench-burnin: build
	bash bench/burnin.sh $(BUILD)

# Both libFuzzer targets, built with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, each run for FUZZ_SECONDS. A crash, a sanitizer
# report, a leak or a slow input fails the run and leaves the input in
# $(FUZZ_BUILD)/artifacts/.
FUZZ_RUN = -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=4096 -timeout=30 -print_final_stats=1
fuzz: deps
	bash scripts/install-deps sanitize
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXAHUD_FUZZ=ON -DVEXAHUD_BUILD_TESTS=OFF \
	  -DVEXAHUD_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target vexahud-scene-fuzz vexahud-element-fuzz
	mkdir -p $(FUZZ_BUILD)/corpus/scene $(FUZZ_BUILD)/corpus/element $(FUZZ_BUILD)/artifacts
	$(SANITIZER_ENV) $(FUZZ_BUILD)/bin/vexahud-scene-fuzz $(FUZZ_RUN) -dict=fuzz/scene.dict \
	  -artifact_prefix=$(FUZZ_BUILD)/artifacts/scene- $(FUZZ_BUILD)/corpus/scene examples
	$(SANITIZER_ENV) $(FUZZ_BUILD)/bin/vexahud-element-fuzz $(FUZZ_RUN) -len_control=0 -max_len=1024 \
	  -artifact_prefix=$(FUZZ_BUILD)/artifacts/element- $(FUZZ_BUILD)/corpus/element

# valgrind memcheck over the preview's built-in scene: fails on a definite leak,
# or any memory error, outside what the graphics driver keeps for itself.
leak-check: build
	bash scripts/install-deps valgrind
	valgrind --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
	  --keep-debuginfo=yes --num-callers=40 --error-exitcode=99 \
	  --suppressions=$(SUPPRESSIONS)/valgrind.supp \
	  $(BUILD)/bin/vexahud-preview --size 320x180 -o $(BUILD)/leak-check.png

# The plug-in built again against the stand-in SDK installed as a host
# publishes its SDK, checked to export its entry points and to render the
# built-in scene exactly as the main build's does.
sdk-check: build
	bash scripts/check-sdk-build $(BUILD) $(BUILD)-sdk

# Plants each fault of tests/mutants/faults.json in turn in a scratch copy of
# the tree (build-mutants/) and fails when the tests let one through.
mutants: deps
	python3 scripts/mutants --jobs $(JOBS)

# vexahud-<version>-linux-x86_64-qt<N>.tar.gz in $(BUILD): the plug-in and INSTALL.
package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf build build-qt6 build-sdk build-qt6-sdk build-mutants $(SANITIZE_BUILD) $(FUZZ_BUILD)
