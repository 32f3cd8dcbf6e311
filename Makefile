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

# Load, frame and playback figures: medians of 5 runs, on a private Xvfb.
bench: build
	./$(BUILD)/bench/mienscope_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

# Feeds arbitrary line and marker files to new_face for FUZZ_SECONDS.
# The corpus grows in $(FUZZ_BUILD)/corpus; the seeds are fuzz/seeds and
# the sample data.
fuzz:
	$(MAKE) deps PACKAGES="clang libclang-rt-14-dev cmake make libglut-dev libglu1-mesa-dev libgl-dev"
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DMIENSCOPE_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_new_face
	mkdir -p $(FUZZ_BUILD)/corpus
	n=$$(wc -c < face-data/line.dat); \
	  { printf "\\$$(printf %03o $$((n % 256)))\\$$(printf %03o $$((n / 256)))"; cat face-data/line.dat face-data/sm1.dat; } \
	  > $(FUZZ_BUILD)/corpus/sample-sm1
	./$(FUZZ_BUILD)/fuzz_new_face -max_total_time=$(FUZZ_SECONDS) -max_len=131072 -print_final_stats=1 -close_fd_mask=2 \
	  -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus fuzz/seeds > $(FUZZ_BUILD)/fuzz.log 2>&1; \
	  status=$$?; \
	  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|Done)' $(FUZZ_BUILD)/fuzz.log; \
	  if [ $$status -eq 0 ]; then echo "fuzz: no failure in $(FUZZ_SECONDS) s"; \
	  else tail -40 $(FUZZ_BUILD)/fuzz.log; echo "fuzz: FAILED (input saved in $(FUZZ_BUILD)/, log in $(FUZZ_BUILD)/fuzz.log)"; exit 1; fi

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
