# The two set-up commands are `make run` and `make test`; see README.md.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 300
JOBS       ?= 2
PREFIX     ?= /usr/local
CMAKE_GEN  := -G Ninja
export CCACHE_DIR ?= $(HOME)/.cache/ccache
export CCACHE_MAXSIZE ?= 5G
# Paths relative to the checkout, so every worktree and clone shares hits.
# With -g ccache also hashes the build directory unless told not to; the
# debug info then names the first tree that compiled a file.
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1

.PHONY: all deps configure build test test-asan fuzz-build fuzz fuzz-ci run bench format clean \
	install package screenshots bench-build

all: build

# Each target installs the packages it needs (scripts/install-deps.sh names
# the groups); `make deps` installs them all.
deps:
	@scripts/install-deps.sh all

deps-%:
	@scripts/install-deps.sh $*

# Line tables only (-g1): enough for backtraces and profiles, and a fresh
# build compiles a third faster and links far less than with full -g.
$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"

configure: deps-build $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: deps-test build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(BUILD_ASAN)/build.ninja:
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVANEL_SANITIZE=ON

test-asan: deps-asan $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ctest --output-on-failure -j $(JOBS)

# Fuzzing: clang with libFuzzer, ASan and UBSan, in a build of its own that
# compiles only the libraries the targets need. `make fuzz` runs each target
# FUZZ_SECONDS (FUZZ=<regex> picks targets) and keeps new corpus entries in
# $(BUILD_FUZZ)/corpus; `make fuzz-ci` runs each for 20 s.
$(BUILD_FUZZ)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(CMAKE_GEN) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEL_FUZZ=ON

fuzz-build: deps-fuzz $(BUILD_FUZZ)/build.ninja
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzz-targets

fuzz: fuzz-build
	scripts/run-fuzz.sh $(BUILD_FUZZ) $(FUZZ_SECONDS) '$(or $(FUZZ),.)'

fuzz-ci: fuzz-build
	scripts/run-fuzz.sh $(BUILD_FUZZ) 20

run: deps-run build
	@scripts/run-demo.sh $(BUILD)

bench-build: build
	cmake --build $(BUILD) -j $(JOBS) --target benches

bench: deps-bench bench-build
	@scripts/run-benchmarks.sh $(BUILD)

# DESTDIR is honoured: make install PREFIX=/usr DESTDIR=/tmp/stage
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD)/, e.g. build/orvanel_0.1.0-1_amd64.deb
package: deps-package build
	cd $(BUILD) && cpack -G DEB

# The manual's pictures (doc/manual/images) from the running program.
screenshots: deps-docs build
	scripts/make-screenshots.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
