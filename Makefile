# Thin wrapper over CMake presets. `make demo` and `make test` are the README's Quick start.
.PHONY: deps build demo test build-asan test-asan bench clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

demo: build
	./build/bin/vantor-host

test: build
	ctest --preset default

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan

test-asan: build-asan
	ctest --preset asan

bench: build
	./build/bin/sdf_read_benchmark

clean:
	rm -rf build build-asan
