# Thin wrapper over CMake. `make run` and `make test` first install any
# missing Debian packages (through sudo when not root).

BUILD     ?= build
SAN_BUILD ?= build-san
JOBS      ?= $(shell nproc)
# Warnings are errors in CI (CI=true there).
WERROR    ?= $(if $(CI),ON,OFF)

PACKAGES = cmake make g++ libglut-dev libglu1-mesa-dev libgl-dev libx11-dev libpng-dev libgtest-dev libgmock-dev xvfb
SUDO = $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: all deps build run test screenshots clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "installing missing packages:" $$missing; \
	  $(SUDO) apt-get update -qq && $(SUDO) DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DMIENSCOPE_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@display="$${DISPLAY:-}"; number=$${display#:}; number=$${number%%.*}; \
	if [ -z "$$display" ]; then \
	  echo "mienscope needs an X display, and DISPLAY is not set: run it from a graphical session"; exit 1; \
	elif [ "$${display#:}" != "$$display" ] && [ ! -S /tmp/.X11-unix/X$$number ]; then \
	  echo "mienscope needs an X display, and there is none at DISPLAY=$$display"; exit 1; \
	fi
	./$(BUILD)/mienscope

# Every test on the normal build, then the unit tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
test: build
	cmake -S . -B $(SAN_BUILD) -DMIENSCOPE_SANITIZE=ON -DMIENSCOPE_WERROR=$(WERROR)
	cmake --build $(SAN_BUILD) -j $(JOBS) --target unit_tests
	cd $(BUILD) && ctest --output-on-failure
	cd $(SAN_BUILD) && ctest --output-on-failure -L unit

screenshots: build
	mkdir -p docs/screenshots
	./$(BUILD)/tests/screenshots docs/screenshots .

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
