# Entry points: `make run` starts Qvo, `make test` runs the whole test suite.
# Both install missing Debian packages first (scripts/install-deps.sh).

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
# WERROR=ON turns compiler warnings into errors (CI does so).
WERROR     ?= OFF

.PHONY: run test test-asan build deps configure install deb deb-test screenshots bench clean fuzz fuzz-smoke robustness-heavy

run: build
	$(BUILD)/bin/qvo

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DQVO_SANITIZE=ON -DQVO_WERROR=$(WERROR)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	QVO_SKIP_HEAVY=1 ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

configure: deps
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVO_WERROR=$(WERROR)

deps:
	@bash scripts/install-deps.sh

install: build
	cmake --install $(BUILD)

# The Debian package (below /usr) in $(BUILD)/package/.
deb: build
	cd $(BUILD) && cpack -B package

# Installs that package with apt, converts with it and purges it (as root).
deb-test: deb
	tests/package/deb_test.sh $(BUILD)

screenshots: build
	tools/screenshots.sh $(BUILD)

bench: deps
	cmake -S . -B build-bench -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DQVO_BUILD_BENCH=ON -DQVO_BUILD_TESTS=OFF
	cmake --build build-bench -j $(JOBS)

# libFuzzer targets: FUZZ_SECONDS each (default 600), two at a time;
# crashes are kept in fuzz-out/crashes/.
fuzz: deps
	fuzz/run.sh

fuzz-smoke: deps
	fuzz/run.sh --smoke

# The 5 GiB file and long-run checks as a script.
robustness-heavy: build
	tests/robustness/run_heavy.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-bench
