# The two commands a newcomer needs:
#   make demo   builds the module and runs both image operations on a sample image
#   make test   builds and runs every test: native, sanitizers, and the other targets
# Both install missing Debian packages first. While working, `make check` builds and runs the native
# tests only (a few minutes).

JOBS ?= 2

.PHONY: demo test check build deps deps-all asan clean

deps:
	scripts/install-deps.sh build

deps-all:
	scripts/install-deps.sh all

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

demo: build
	scripts/demo.sh build/default

test: deps-all
	scripts/test-all.sh

check: build
	ctest --preset default

clean:
	rm -rf build demo/out
