# The two commands a new user needs: `make run` and `make test`. Both install what is missing
# (Debian packages, through apt-get), configure and build in build/.
BUILD     := build
JOBS      := $(shell nproc 2>/dev/null || echo 2)
PACKAGES  := cmake g++ make qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev \
             clang-14 libclang-rt-14-dev
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test deps build examples bench

run: build
	cd examples && ../$(BUILD)/meshthin

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

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

bench: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/meshthin_bench
