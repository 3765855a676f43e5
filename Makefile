# The two set-up commands are `make run` and `make test`; see README.md.
BUILD      ?= build
BUILD_ASAN ?= build-asan
JOBS       ?= 2
PREFIX     ?= /usr/local
CMAKE_GEN  := -G Ninja
export CCACHE_DIR ?= $(HOME)/.cache/ccache
export CCACHE_MAXSIZE ?= 5G
# Paths relative to the checkout, so every worktree and clone shares hits.
export CCACHE_BASEDIR ?= $(CURDIR)

.PHONY: all deps configure build test test-asan run bench format clean install package

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(BUILD_ASAN)/build.ninja:
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVANEL_SANITIZE=ON

test-asan: deps $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ctest --output-on-failure -j $(JOBS)

run: build
	@scripts/run-demo.sh $(BUILD)

bench: build
	@scripts/run-benchmarks.sh $(BUILD)

# DESTDIR is honoured: make install PREFIX=/usr DESTDIR=/tmp/stage
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD)/, e.g. build/orvanel_0.1.0-1_amd64.deb
package: build
	cd $(BUILD) && cpack -G DEB

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN)
