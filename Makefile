# Thin wrapper over CMake. `make run` and `make test` first install any
# missing Debian packages (through sudo when not root).

BUILD     ?= build
SAN_BUILD ?= build-san
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS      ?= $(shell nproc)
# Warnings are errors in CI (CI=true there).
WERROR    ?= $(if $(CI),ON,OFF)

PACKAGES = cmake make g++ libglut-dev libglu1-mesa-dev libgl-dev libx11-dev libpng-dev libgtest-dev libgmock-dev \
           libbenchmark-dev xvfb valgrind
SUDO = $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: all deps build run test screenshots bench fuzz clean

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

# Every test on the normal build (one session under valgrind among them),
# then the unit and window tests again on a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, viewer included.
test: build
	cmake -S . -B $(SAN_BUILD) -DMIENSCOPE_SANITIZE=ON -DMIENSCOPE_WERROR=$(WERROR)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure
	cd $(SAN_BUILD) && ctest --output-on-failure

screenshots: build
	mkdir -p docs/screenshots
	./$(BUILD)/screenshots docs/screenshots .

# Load, frame and playback figures on a private Xvfb, then the importer's
# figures on Vicon.c3d: medians of 5 runs.
bench: build
	./$(BUILD)/bench/mienscope_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	./$(BUILD)/bench/import_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

# Feeds arbitrary bytes to every reader for FUZZ_SECONDS each: the
# viewer's loader (a line file and a marker file), the C3D, TRC and
# OpenFace CSV readers and the marker-set parser. Seeds are fuzz/seeds,
# the sample data, the examples and, where they are beside the checkout,
# the shared test recordings.
TESTDATA ?= ../shared/testdata
fuzz:
	$(MAKE) deps PACKAGES="clang libclang-rt-14-dev cmake make libglut-dev libglu1-mesa-dev libgl-dev libeigen3-dev"
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DMIENSCOPE_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_new_face fuzz_c3d fuzz_trc fuzz_openface fuzz_marker_set
	mkdir -p $(FUZZ_BUILD)/sample-seeds
	n=$$(wc -c < face-data/line.dat); \
	  { printf "\\$$(printf %03o $$((n % 256)))\\$$(printf %03o $$((n / 256)))"; cat face-data/line.dat face-data/sm1.dat; } \
	  > $(FUZZ_BUILD)/sample-seeds/sample-sm1
	status=0; \
	fuzz/run.sh $(FUZZ_BUILD) new_face $(FUZZ_SECONDS) 131072 fuzz/seeds/new_face $(FUZZ_BUILD)/sample-seeds || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) c3d $(FUZZ_SECONDS) 65536 fuzz/seeds/c3d examples/smile.c3d $(TESTDATA)/c3d || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) trc $(FUZZ_SECONDS) 32768 fuzz/seeds/trc $(TESTDATA)/trc || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) openface $(FUZZ_SECONDS) 65536 fuzz/seeds/openface $(TESTDATA)/openface || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) marker_set $(FUZZ_SECONDS) 8192 fuzz/seeds/marker_set examples/face24.set examples/openface-24.set tests/data || status=1; \
	exit $$status

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
