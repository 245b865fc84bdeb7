# The two commands a newcomer needs:
#   make demo   builds the module, the runner and the sample maker (nothing else) and runs both
#               image operations on a sample image
#   make test   builds and runs every test: native, sanitizers, and the other targets
# Both install missing Debian packages first. While working, `make check` builds everything of the
# native build and runs its tests (a few minutes once built).

JOBS ?= 2
# What scripts/demo.sh runs: the module, photarion-run and photarion-make-sample.
DEMO_TARGETS = photarion_module photarion_run photarion_make_sample

.PHONY: demo test check build deps deps-all asan clean

deps:
	scripts/install-deps.sh build

deps-all:
	scripts/install-deps.sh all

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

demo: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target $(DEMO_TARGETS)
	scripts/demo.sh build/default

test: deps-all
	scripts/test-all.sh

check: build
	ctest --preset default

clean:
	rm -rf build demo/out
