# SPDX-License-Identifier: MIT
# lumoEdit: `make run` builds and starts the editor on the sample file;
# `make test` builds and runs every test, plain and with sanitizers.
# Both install what is missing from Debian's packages when run as root.

SHELL := /bin/bash
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
ENTRIES ?= 1000000

PACKAGES := cmake ninja-build g++ pkg-config libgtest-dev qt6-base-dev libgl-dev nlohmann-json3-dev \
	libgettextpo-dev libunistring-dev libxml2-dev gettext libxml2-utils
# The editor's window under a real X server and window manager, with screenshots.
PACKAGES += xvfb xauth openbox xdotool x11-utils imagemagick
# Translate Toolkit: its own reader checks that lumo's XLIFF reads as translated.
PACKAGES += translate-toolkit
# lumo's git drivers are tested in real git.
PACKAGES += git
# lumo check's --placeholder patterns: PCRE2 with its JIT keeps a million
# texts under a second (std::regex cannot); pofilter (Translate Toolkit)
# is the peer the translation checks' tests compare with.
PACKAGES += libpcre2-dev
# The checks of the desktop entry, the metainfo and the man pages.
PACKAGES += desktop-file-utils appstream mandoc
# What CPack needs for the .deb: dpkg-shlibdeps computes its dependencies.
PACKAGE_PACKAGES := dpkg-dev file
PACKAGE_BUILD ?= build-package
# Extra options for the editor that `make run` starts, e.g. RUN_ARGS="--run-command exit".
RUN_ARGS ?=
FUZZ_PACKAGES := clang libclang-rt-dev

SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps build configure test test-plain test-sanitize run bench fuzz install uninstall package clean screenshot

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

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: test-plain test-sanitize

test-plain: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMO_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen $(SANITIZER_ENV) ctest --output-on-failure -j$(JOBS)

# Only the editor and what it needs: no tests, no benchmark, no fuzz corpus.
run: configure
	cmake --build $(BUILD) -j$(JOBS) --target lumoEdit
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "There is no display to show the editor on (neither DISPLAY nor WAYLAND_DISPLAY is set)."; \
	  echo "Run it on a virtual display instead:"; \
	  echo "  apt-get install xvfb xauth && xvfb-run -a make run"; \
	  exit 1; \
	fi
	./$(BUILD)/lumoEdit $(RUN_ARGS) samples/sample.lumo

bench: build
	./$(BUILD)/bench/lumo_bench --entries $(ENTRIES)

fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DLUMO_BUILD_GUI=OFF -DLUMO_BUILD_TESTS=OFF -DLUMO_FUZZ=ON
	cmake --build build-fuzz -j$(JOBS) --target lumo_fuzz_load lumo_fuzz_import lumo_fuzz_translation lumo_fuzz_cp1252 \
	  lumo_fuzz_edit lumo_fuzz_merge lumo_fuzz_checks lumo_fuzz_powrite lumo_fuzz_poread lumo_fuzz_json lumo_fuzz_xliffwrite \
	  lumo_fuzz_xliffread
	@set -e; for target in load import translation cp1252 edit merge checks powrite poread json xliffwrite xliffread; do \
	  seeds=fuzz/corpus-$$target; [ $$target = load ] && seeds=fuzz/corpus; [ $$target = json ] && seeds=fuzz/corpus-import; \
	  dict=; [ -f fuzz/$$target.dict ] && dict=-dict=fuzz/$$target.dict; \
	  mkdir -p build-fuzz/corpus-$$target; \
	  echo "== lumo_fuzz_$$target for $(FUZZ_SECONDS) seconds"; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ./build-fuzz/fuzz/lumo_fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    -print_final_stats=1 $$dict build-fuzz/corpus-$$target $$seeds; \
	done

# To the system (/usr/local); refreshes the MIME, desktop and icon caches.
install: build
	cmake --install $(BUILD)

# Removes what `make install` installed (the list is in $(BUILD)/install_manifest.txt).
uninstall:
	cmake -DBUILD_DIR=$(CURDIR)/$(BUILD) -P cmake/Uninstall.cmake

# A Debian package of both programs, for /usr: $(PACKAGE_BUILD)/lumoedit_VERSION_ARCH.deb,
# built with Debian's hardening flags (dpkg-buildflags).
package: export DEB_BUILD_MAINT_OPTIONS = hardening=+all
package: deps
	$(call install_missing,$(PACKAGE_PACKAGES))
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
	  -DLUMO_BUILD_TESTS=OFF -DLUMO_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build $(PACKAGE_BUILD) -j$(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls $(PACKAGE_BUILD)/*.deb

screenshot: build
	$(call install_missing,xvfb xauth)
	xvfb-run -a -s "-screen 0 1280x800x24" ./$(BUILD)/lumoEdit --screenshot docs/screenshot.png samples/sample.lumo

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(PACKAGE_BUILD) build-fuzz
