# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands a new user needs: `make run` and `make test`. Both install what is missing
# (Debian packages, through apt-get), configure and build in build/. `make test` also runs the
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) and a short
# fuzzing smoke run (build-fuzz/).
BUILD     := build
ASAN_BUILD := build-asan
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_FORMATS_SECONDS ?= $(FUZZ_SECONDS)
JOBS      := $(shell nproc 2>/dev/null || echo 2)
PACKAGES  := cmake g++ make qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev \
             libmeshoptimizer-dev libfast-float-dev libqt6opengl6-dev libglm-dev xvfb xauth \
             libgl1-mesa-dri clang libclang-rt-dev desktop-file-utils appstream dpkg-dev file lintian
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

PREFIX    ?= /usr/local

.PHONY: run test check deps build examples bench test-asan fuzz fuzz-smoke install package

run: build
	cd examples && ../$(BUILD)/meshthin

# The fuzzing smoke run and the sanitizer run come first, so that the test runner's own summary
# of the main suite closes the output.
test: build
	$(MAKE) fuzz-smoke
	$(MAKE) test-asan
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The quick loop while working: only build/, only the main suite, in seconds. `make test` is
# what CI runs and adds the sanitizer build and the fuzzing smoke run.
check: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Installs the program, its desktop entry, icon, metadata and manual under PREFIX (below DESTDIR
# when that is set, for staging).
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in build/, installing under /usr.
package: build
	cd $(BUILD) && cpack -G DEB

# Installs only the packages that are not there yet.
deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

# Regenerates the bundled sample meshes.
examples: build
	$(BUILD)/make_examples examples

# Speed of every step at 1,000 to 32,767 points; the peak-memory figure needs a process of its
# own, so it runs separately. Then many files with one job and with two; last, a million points
# (several minutes: the runs are found by bisection with runs of their own).
bench: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/meshthin_bench --benchmark_filter=-PeakMemory \
	  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/meshthin_bench --benchmark_filter=PeakMemory
	xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
	  $(BUILD)/bench/meshthin_view_bench --benchmark_repetitions=5 \
	  --benchmark_report_aggregates_only=true
	$(BUILD)/bench/meshthin_batch_bench
	$(BUILD)/bench/meshthin_million_bench

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer; any report
# fails the test that caused it.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DMESHTHIN_SANITIZE=address,undefined -DMESHTHIN_WITH_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# Fuzzes the whole job for FUZZ_SECONDS, then the mesh formats' readers and writers for
# FUZZ_FORMATS_SECONDS, each on a scratch copy of its seed corpus (the committed corpora never
# grow by themselves). A finding is saved in $(FUZZ_BUILD)/findings/.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DMESHTHIN_FUZZ=ON -DMESHTHIN_WITH_QT=OFF -DMESHTHIN_WITH_TESTS=OFF -DMESHTHIN_WITH_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_mesh fuzz_formats
	rm -rf $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/corpus-formats
	cp -r fuzz/corpus $(FUZZ_BUILD)/corpus
	cp -r fuzz/corpus-formats $(FUZZ_BUILD)/corpus-formats
	mkdir -p $(FUZZ_BUILD)/findings
	$(FUZZ_BUILD)/fuzz/fuzz_mesh -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	  -dict=fuzz/mesh.dict -artifact_prefix=$(FUZZ_BUILD)/findings/ $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/fuzz/fuzz_formats -max_total_time=$(FUZZ_FORMATS_SECONDS) -timeout=10 \
	  -print_final_stats=1 -dict=fuzz/formats.dict -artifact_prefix=$(FUZZ_BUILD)/findings/ \
	  $(FUZZ_BUILD)/corpus-formats

fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=30 FUZZ_FORMATS_SECONDS=10
