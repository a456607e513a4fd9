# The two commands of the README: `make demo` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DPEMBERLUX_WERROR=ON
endif
JOBS ?= 2

.PHONY: all bootstrap configure build test demo fuzz bench package clean

all: build

bootstrap:
	@scripts/bootstrap

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: bootstrap $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && PEMBERLUX_BROADCAST_ADDR=127.255.255.255 QT_QPA_PLATFORM=offscreen \
		ctest --output-on-failure -j $(JOBS) --timeout 300

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && PEMBERLUX_BROADCAST_ADDR=127.255.255.255 QT_QPA_PLATFORM=offscreen "$$b"; done

# A .deb of the program, the simulator, the help files, the desktop entry and the icons, in $(BUILD).
package: build
	cmake --build $(BUILD) --target package

# The program connected to the printer simulator (needs a display, or: xvfb-run -a make demo).
demo:
	@BUILD=$(BUILD) JOBS=$(JOBS) scripts/demo

fuzz:
	@scripts/bootstrap --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DPEMBERLUX_FUZZ=ON \
		-DPEMBERLUX_BUILD_GUI=OFF -DPEMBERLUX_BUILD_TESTS=OFF -DPEMBERLUX_BUILD_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS)
	scripts/fuzz build-fuzz

clean:
	rm -rf $(BUILD) build-fuzz
