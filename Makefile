# Front door of the project: `make run` and `make test` are all a newcomer needs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 30

# Every Debian package the build, the tests, the benchmarks and the fuzzers use.
PACKAGES := cmake ninja-build g++ clang clang-format make pkg-config \
            qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n \
            libgl-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev \
            libexpat1-dev libzip-dev \
            lhasa libarchive-tools p7zip-full gzip \
            xvfb xauth imagemagick fonts-dejavu-core fonts-liberation tmux \
            dpkg-dev fakeroot file lintian desktop-file-utils help2man universal-ctags \
            g++-mingw-w64-x86-64-posix wine64
# GNU time: peak memory of whole processes in bench/text/recode_vs_iconv.sh.
PACKAGES += time
# Python 3 generates tables at build time: HTML's named characters (from html.entities)
# and the fallback's tables (from the character database of unicode-data).
PACKAGES += python3 unicode-data

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build test release run bench fuzz asan screenshots package package-check windows \
        windows-test format format-check translations clean

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing:" $$missing; \
	    $(SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test: build
	ctest --preset default -j $(JOBS)

# The Release build, tests included (GCC's warnings at -O3 differ from those at -O2): it must
# compile without a single warning. Built, not run: `make test` runs the tests.
release: deps
	cmake --preset release -DPAGORA_WERROR=ON
	cmake --build --preset release -j $(JOBS)

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	    ctest --preset asan -j $(JOBS)

run: build
	@./scripts/run.sh build/default

bench: deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	./scripts/bench.sh build/bench

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	./scripts/fuzz.sh build/fuzz $(FUZZ_SECONDS)

# The Debian package (build/default/pagora_VERSION_amd64.deb), then its checks without root:
# unpacked, its programs run, its desktop entry validated, lintian clean of errors.
package: build
	cd build/default && cpack -G DEB

package-check: package
	./scripts/check_package.sh build/default

# pagora-cli.exe and corvane-cli.exe with MinGW-w64 (build/windows/cli/), then their tests and
# the libraries' under Wine; the serial upload goes to the Linux pvsim through a Wine COM port.
windows: deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)

windows-test: windows
	cmake --preset default
	cmake --build --preset default --target pvsim -j $(JOBS)
	./scripts/windows_test.sh build/windows

# Every C++ file in the layout of .clang-format: `make format` rewrites them, `make format-check`
# (in CI) fails on the first file that differs.
format: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

# gui/translations/*.ts brought up to date with the texts in the code (lupdate, entries no
# longer in the code dropped); translate the new entries, then `make test` checks them.
translations: deps
	cmake --preset default
	cmake --build --preset default --target update_translations

screenshots: build
	./scripts/screenshots.sh build/default

clean:
	rm -rf build
