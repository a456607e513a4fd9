# The two commands of the README: `make demo` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DPEMBERLUX_WERROR=ON
endif
JOBS ?= 2
# ccache, when installed, speeds up rebuilds; `make CCACHE=` builds without it.
CCACHE ?= $(shell command -v ccache 2>/dev/null)
ifneq ($(CCACHE),)
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE) -DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE)
endif
TEST_ENV = PEMBERLUX_BROADCAST_ADDR=127.255.255.255 QT_QPA_PLATFORM=offscreen

# Sanitizer runs: a report ends the process with its own exit code, so the test fails.
# -O1 with line tables only builds about twice as fast as -O2 -g; reports keep file and line.
SAN_CMAKE_FLAGS = $(CMAKE_FLAGS) -DPEMBERLUX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	"-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
ASAN_BUILD ?= build-asan
ASAN_ENV = $(TEST_ENV) \
	ASAN_OPTIONS=halt_on_error=1:exitcode=86:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1 \
	UBSAN_OPTIONS=halt_on_error=1:exitcode=87:print_stacktrace=1
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SMOKE_SECONDS ?= 3
TSAN_OPTS = halt_on_error=1:exitcode=88:second_deadlock_stack=1

.PHONY: all bootstrap configure build test demo fuzz fuzz-build fuzz-smoke bench package clean asan tsan

all: build

bootstrap:
	@scripts/bootstrap

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: bootstrap $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && $(TEST_ENV) ctest --output-on-failure -j $(JOBS) --timeout 300

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: bootstrap
	cmake -S . -B $(ASAN_BUILD) -G Ninja $(SAN_CMAKE_FLAGS) -DPEMBERLUX_SANITIZE=address
	$(ASAN_ENV) cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(ASAN_ENV) ctest --output-on-failure -j $(JOBS) --timeout 300

# The threaded suites (listed in tests/CMakeLists.txt) under ThreadSanitizer.
# Those without Qt run with no suppressions at all. The window suites skip what
# Qt's own code does (tests/tsan.supp), and glib's slice allocator, which passes
# blocks between Qt's threads under a lock the sanitizer cannot see, hands out
# plain malloc blocks there instead.
tsan: bootstrap
	cmake -S . -B $(TSAN_BUILD) -G Ninja $(SAN_CMAKE_FLAGS) -DPEMBERLUX_SANITIZE=thread
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target tsan_suites
	cd $(TSAN_BUILD) && $(TEST_ENV) TSAN_OPTIONS=$(TSAN_OPTS) \
		ctest --output-on-failure -j $(JOBS) --timeout 300 -L '^tsan$$'
	cd $(TSAN_BUILD) && $(TEST_ENV) G_SLICE=always-malloc TSAN_OPTIONS=$(TSAN_OPTS):suppressions=$(CURDIR)/tests/tsan.supp \
		ctest --output-on-failure -j $(JOBS) --timeout 300 -L '^tsan-qt$$'

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && PEMBERLUX_BROADCAST_ADDR=127.255.255.255 QT_QPA_PLATFORM=offscreen "$$b"; done

# A .deb of the program, the simulator, the help files, the desktop entry and the icons, in $(BUILD).
package: build
	cmake --build $(BUILD) --target package

# The program connected to the printer simulator (needs a display, or: xvfb-run -a make demo).
demo:
	@BUILD=$(BUILD) JOBS=$(JOBS) scripts/demo

# The libFuzzer targets, built with Debian's clang: the core, the command line
# (so the tree keeps building with clang too) and the targets. `make fuzz` runs each for FUZZ_SECONDS
# (60 unless given); `make fuzz-smoke` (CI) runs each for a few seconds, so the
# targets keep building and starting.
fuzz-build:
	@scripts/bootstrap --fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja $(CMAKE_FLAGS) -DPEMBERLUX_FUZZ=ON \
		-DPEMBERLUX_BUILD_GUI=OFF -DPEMBERLUX_BUILD_CLI=ON -DPEMBERLUX_BUILD_SIM=OFF \
		-DPEMBERLUX_BUILD_TESTS=OFF -DPEMBERLUX_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

fuzz: fuzz-build
	scripts/fuzz $(FUZZ_BUILD)

fuzz-smoke: fuzz-build
	FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS) scripts/fuzz $(FUZZ_BUILD)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
