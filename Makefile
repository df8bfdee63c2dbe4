# lumoEdit: `make run` builds and starts the editor on the sample file;
# `make test` builds and runs every test, plain and with sanitizers.
# Both install what is missing from Debian's packages when run as root.

SHELL := /bin/bash
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
ENTRIES ?= 1000000

PACKAGES := cmake ninja-build g++ pkg-config libgtest-dev qt6-base-dev libgl-dev nlohmann-json3-dev
FUZZ_PACKAGES := clang libclang-rt-dev

SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps build test test-plain test-sanitize run bench fuzz install clean screenshot

all: build

# Installs the missing packages with apt-get when run as root.
define install_missing
	@missing=$$(for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing: $$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
	  else \
	    echo "These packages are missing: $$missing"; \
	    echo "Run 'make' as root, or install them with: sudo apt-get install $$missing"; exit 1; \
	  fi; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

test: test-plain test-sanitize

test-plain: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMO_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen $(SANITIZER_ENV) ctest --output-on-failure -j$(JOBS)

run: build
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "There is no display to show the editor on (neither DISPLAY nor WAYLAND_DISPLAY is set)."; \
	  echo "Run it on a virtual display instead:"; \
	  echo "  apt-get install xvfb xauth && xvfb-run -a make run"; \
	  exit 1; \
	fi
	./$(BUILD)/lumoEdit samples/sample.lumo

bench: build
	./$(BUILD)/bench/lumo_bench --entries $(ENTRIES)

fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DLUMO_BUILD_GUI=OFF -DLUMO_BUILD_TESTS=OFF -DLUMO_FUZZ=ON
	cmake --build build-fuzz -j$(JOBS) --target lumo_fuzz_load
	mkdir -p build-fuzz/corpus
	./build-fuzz/fuzz/lumo_fuzz_load -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  build-fuzz/corpus fuzz/corpus

install: build
	cmake --install $(BUILD)

screenshot: build
	$(call install_missing,xvfb xauth)
	xvfb-run -a -s "-screen 0 1280x800x24" ./$(BUILD)/lumoEdit --screenshot docs/screenshot.png samples/sample.lumo

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) build-fuzz
