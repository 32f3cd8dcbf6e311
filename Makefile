# Thin wrapper over CMake. `make run` installs what the programs need and
# builds only them; `make test` installs and builds everything. Missing
# Debian packages are installed first (through sudo when not root).

BUILD     ?= build
SAN_BUILD ?= build-san
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
FUZZ_SECONDS ?= 60
PREFIX    ?= /usr/local
# The shared test recordings, where they are beside the checkout.
TESTDATA  ?= ../shared/testdata
JOBS      ?= $(shell nproc)
# Warnings are errors in CI (CI=true there).
WERROR    ?= $(if $(CI),ON,OFF)

# What building and running the viewer and the importer needs; what the
# manual pages and the package add; what the tests, benchmarks and
# screenshots add.
RUN_PACKAGES = cmake make g++ libglut-dev libglu1-mesa-dev libgl-dev libeigen3-dev
RENDER_PACKAGES = pkg-config libegl-dev libopengl-dev libavformat-dev libavcodec-dev libswscale-dev libavutil-dev \
  libgif-dev libpng-dev libfreetype-dev fonts-dejavu-core
COMPARE_PACKAGES = libboost-math-dev
TRACK_PACKAGES = libdlib-dev libdlib-data
DOC_PACKAGES = help2man dpkg-dev
TEST_PACKAGES = libx11-dev libpng-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb valgrind gnuplot-nox \
  chromium chromium-driver python3-selenium python3-pil python3-numpy poppler-utils python3-matplotlib ffmpeg lintian
PACKAGES = $(RUN_PACKAGES) $(COMPARE_PACKAGES) $(RENDER_PACKAGES) $(TRACK_PACKAGES) $(DOC_PACKAGES) $(TEST_PACKAGES)
SUDO = $(if $(filter 0,$(shell id -u)),,sudo)
# A first configure of $(BUILD) by `make run` or `make install` leaves the
# tests out; `make test` brings them in.
NEW_BUILD_OPTIONS = $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DBUILD_TESTING=OFF)

.PHONY: all deps programs build run test screenshots bench fuzz manpages install uninstall package clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "installing missing packages:" $$missing; \
	  $(SUDO) apt-get update -qq && $(SUDO) DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

# The viewer and the importer only.
programs:
	@$(MAKE) --no-print-directory deps PACKAGES="$(RUN_PACKAGES)"
	cmake -S . -B $(BUILD) $(NEW_BUILD_OPTIONS) -DMIENSCOPE_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS) --target mienscope mienscope-import

build: deps
	cmake -S . -B $(BUILD) -DBUILD_TESTING=ON -DMIENSCOPE_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)

run: programs
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
	tools/imported-screenshots.sh $(BUILD) docs/screenshots $(TESTDATA)
	if [ -f $(TESTDATA)/openface/smile_demo.csv ]; then \
	  ./$(BUILD)/screenshots $(BUILD) . --to 5.9 $(TESTDATA)/openface/smile_demo.csv && \
	  cp $(BUILD)/files-end.png docs/screenshots/files-openface.png; fi
	rm -rf $(BUILD)/measure-plots
	./$(BUILD)/mienscope-measure --markers examples/face24.set --smooth 6 --duration 3 --out $(BUILD)/measure-plots \
	  face-data/sm1.dat face-data/sm2.dat
	cp $(BUILD)/measure-plots/displacement.png docs/screenshots/measure-displacement.png
	cp $(BUILD)/measure-plots/pairs.png docs/screenshots/measure-pairs.png
	rm -rf $(BUILD)/group && mkdir -p $(BUILD)/group/people
	./$(BUILD)/make_face_data --group 20 $(BUILD)/group/people
	./$(BUILD)/mienscope-average --markers examples/face24.set --exhibits --out $(BUILD)/group/out $(BUILD)/group/people/*.dat
	./$(BUILD)/screenshots $(BUILD)/group $(BUILD)/group/out
	cp $(BUILD)/group/exhibit5-frame179-both.png docs/screenshots/average-mode1.png
	cp $(BUILD)/group/out/modes.png docs/screenshots/average-modes.png
	rm -rf $(BUILD)/study && mkdir -p $(BUILD)/study/controls $(BUILD)/study/patients $(BUILD)/study/after
	./$(BUILD)/make_face_data --group 20 --table $(BUILD)/study/study.csv --as controls $(BUILD)/study/controls
	./$(BUILD)/make_face_data --group 5 --weak-side right --weak 0.5 --table $(BUILD)/study/study.csv \
	  --as patients:before $(BUILD)/study/patients
	./$(BUILD)/mienscope-compare --markers examples/face24.set --smooth 6 --duration 3 --norm controls \
	  --out $(BUILD)/study/norm $(BUILD)/study/study.csv
	cp $(BUILD)/study/norm/bands/patient01.png docs/screenshots/compare-band.png
	./$(BUILD)/make_face_data --group 5 --weak-side right --weak 0.8 --table $(BUILD)/study/study.csv \
	  --as treated:after $(BUILD)/study/after
	./$(BUILD)/mienscope-compare --markers examples/face24.set --smooth 6 --duration 3 --groups controls patients \
	  --paired before after --out $(BUILD)/study/tests $(BUILD)/study/study.csv
	cp $(BUILD)/study/tests/groups.png docs/screenshots/compare-groups.png
	./$(BUILD)/make_face_data --group 20 --table $(BUILD)/study/retest.csv --as controls:session1 $(BUILD)/study/controls
	./$(BUILD)/make_face_data --group 20 --session 1 --table $(BUILD)/study/retest.csv --as controls:session2 \
	  $(BUILD)/study/again
	./$(BUILD)/mienscope-compare --markers examples/face24.set --smooth 6 --duration 3 --reliability session1 session2 \
	  --out $(BUILD)/study/retest $(BUILD)/study/retest.csv
	cp $(BUILD)/study/retest/reliability.png docs/screenshots/compare-reliability.png
	cp $(BUILD)/study/retest/bland-altman.png docs/screenshots/compare-bland-altman.png
	./$(BUILD)/mienscope-render --force --size 480x768 --duration 3 --frame 120 --turn-y -25 --turn-x -8 \
	  face-data/sm1.dat face-data/sm2.dat $(BUILD)/smiles.html
	/usr/bin/python3 tools/page-screenshot.py $(BUILD)/smiles.html 560x1100 docs/screenshots/page-in-browser.png
	./$(BUILD)/mienscope-report --markers examples/face24.set --smooth 6 --duration 3 --norm controls \
	  --out $(BUILD)/study/report $(BUILD)/study/study.csv
	/usr/bin/python3 tools/page-screenshot.py $(BUILD)/study/report/patient01.html 1780x1500 docs/screenshots/report-page.png
	/usr/bin/python3 tools/page-screenshot.py --print $(BUILD)/study/report/patient01.html $(BUILD)/report.pdf
	pdftoppm -r 80 -f 1 -l 1 -singlefile -png $(BUILD)/report.pdf docs/screenshots/report-print

# Load, frame and playback figures on a private Xvfb, then the importer's
# figures on Vicon.c3d: medians of 5 runs.
bench: build
	./$(BUILD)/bench/mienscope_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	./$(BUILD)/bench/import_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	./$(BUILD)/bench/measure_bench ./$(BUILD)/mienscope-measure ./$(BUILD)/mienscope-import
	./$(BUILD)/bench/average_bench ./$(BUILD)/mienscope-average
	./$(BUILD)/bench/compare_bench ./$(BUILD)/mienscope-compare ./$(BUILD)/make_face_data
	./$(BUILD)/bench/render_bench ./$(BUILD)/mienscope-render
	./$(BUILD)/bench/report_bench ./$(BUILD)/mienscope-report ./$(BUILD)/make_face_data
	./$(BUILD)/bench/files_bench
	./$(BUILD)/bench/track_bench ./$(BUILD)/mienscope-track ./$(BUILD)/mienscope-measure

# Feeds arbitrary bytes to every reader for FUZZ_SECONDS each: the
# viewer's loader (a line file and a marker file), the C3D, TRC and
# OpenFace CSV readers, the marker-set parser, the strict marker-file
# reader and the study-table parser. Seeds are fuzz/seeds,
# the sample data, the examples and, where they are beside the checkout,
# the shared test recordings; then the tracker's landmark model and cache
# files, seeded by small models and a cache file the tests' way makes, and
# the stills' and overlay's writers at any frame size.
fuzz:
	$(MAKE) deps PACKAGES="clang libclang-rt-14-dev cmake make libglut-dev libglu1-mesa-dev libgl-dev libeigen3-dev \
	  $(RENDER_PACKAGES) $(TRACK_PACKAGES)"
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DMIENSCOPE_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_new_face fuzz_c3d fuzz_trc fuzz_openface fuzz_marker_set fuzz_marker_file \
	  fuzz_study_table fuzz_mdc_table fuzz_mp4_comment fuzz_landmark_model fuzz_track_cache fuzz_frame_writers
	mkdir -p $(FUZZ_BUILD)/sample-seeds
	n=$$(wc -c < face-data/line.dat); \
	  { printf "\\$$(printf %03o $$((n % 256)))\\$$(printf %03o $$((n / 256)))"; cat face-data/line.dat face-data/sm1.dat; } \
	  > $(FUZZ_BUILD)/sample-seeds/sample-sm1
	status=0; \
	fuzz/run.sh $(FUZZ_BUILD) new_face $(FUZZ_SECONDS) 131072 fuzz/seeds/new_face $(FUZZ_BUILD)/sample-seeds || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) c3d $(FUZZ_SECONDS) 32768 fuzz/seeds/c3d examples/smile.c3d $(TESTDATA)/c3d || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) trc $(FUZZ_SECONDS) 32768 fuzz/seeds/trc $(TESTDATA)/trc || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) openface $(FUZZ_SECONDS) 65536 fuzz/seeds/openface $(TESTDATA)/openface || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) marker_set $(FUZZ_SECONDS) 8192 fuzz/seeds/marker_set examples/face24.set examples/openface-24.set tests/data || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) marker_file $(FUZZ_SECONDS) 262144 face-data/sm1.dat face-data/smaa.dat || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) study_table $(FUZZ_SECONDS) 16384 fuzz/seeds/study_table || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) mdc_table $(FUZZ_SECONDS) 16384 fuzz/seeds/mdc_table || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) mp4_comment $(FUZZ_SECONDS) 16384 fuzz/seeds/mp4_comment || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) landmark_model $(FUZZ_SECONDS) 4096 fuzz/seeds/landmark_model || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) track_cache $(FUZZ_SECONDS) 65536 fuzz/seeds/track_cache || status=1; \
	fuzz/run.sh $(FUZZ_BUILD) frame_writers $(FUZZ_SECONDS) 4096 fuzz/seeds/frame_writers || status=1; \
	exit $$status

# The manual pages, filled in, in $(BUILD): man $(BUILD)/mienscope.1 reads one.
manpages:
	@$(MAKE) --no-print-directory deps PACKAGES="$(RUN_PACKAGES) help2man"
	cmake -S . -B $(BUILD) $(NEW_BUILD_OPTIONS) -DMIENSCOPE_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS) --target manpages

# The programs into $(PREFIX)/bin, the sample data and examples into
# $(PREFIX)/share/mienscope, the manual pages, the README and the licence.
# The folders the install makes are noted first (from a trial install
# into a scratch folder), so that uninstall can take them away again.
install:
	@$(MAKE) --no-print-directory deps PACKAGES="$(RUN_PACKAGES) $(COMPARE_PACKAGES) $(RENDER_PACKAGES) $(TRACK_PACKAGES) help2man"
	cmake -S . -B $(BUILD) $(NEW_BUILD_OPTIONS) -DCMAKE_INSTALL_PREFIX=$(PREFIX) -DMIENSCOPE_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS) --target mienscope mienscope-import mienscope-measure mienscope-average \
	  mienscope-compare mienscope-render mienscope-report mienscope-track manpages
	@trial=$$(mktemp -d) && DESTDIR=$$trial cmake --install $(BUILD) >/dev/null && \
	  (cd $$trial && find . -mindepth 1 -type d | sed 's|^\.||' | sort -r) | \
	  while read -r d; do [ -d "$$d" ] || echo "$$d"; done > $(BUILD)/install_folders.txt; rm -rf $$trial
	$(SUDO) cmake --install $(BUILD)

# Removes what the last `make install` put in place, by its manifest, and
# the folders it made, where they are empty.
uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "no $(BUILD)/install_manifest.txt: nothing was installed from this build"; exit 1; }
	$(SUDO) xargs -r -d '\n' rm -f < $(BUILD)/install_manifest.txt
	@if [ -f $(BUILD)/install_folders.txt ]; then \
	  while read -r d; do $(SUDO) rmdir "$$d" 2>/dev/null; done < $(BUILD)/install_folders.txt; fi; true

# Three .deb files for Debian 12 in $(PACKAGE_BUILD): mienscope_VERSION_ARCH.deb,
# mienscope-render_VERSION_ARCH.deb and mienscope-track_VERSION_ARCH.deb.
package:
	@$(MAKE) --no-print-directory deps PACKAGES="$(RUN_PACKAGES) $(COMPARE_PACKAGES) $(RENDER_PACKAGES) $(TRACK_PACKAGES) $(DOC_PACKAGES)"
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr \
	  -DMIENSCOPE_WERROR=$(WERROR)
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
