# Thin wrapper over CMake presets. `make demo` and `make test` are the README's Quick start;
# `make windows`, `make test-windows`, `make macos` and `make package` are in its "Windows and macOS"
# section.
.PHONY: deps validator-deps build demo test build-asan test-asan bench windows check-pe test-windows package clean fuzz
.PHONY: macos check-macho

VERSION := ${shell sed -nE 's/^project[(]vantor VERSION ([0-9.]+).*/\1/p' CMakeLists.txt}
MINGW_OBJDUMP := x86_64-w64-mingw32-objdump

deps:
	@bash scripts/install-deps.sh

# The Khronos glTF validator the test gltf.validate runs, from npm into tests/validator/node_modules.
validator-deps: deps
	@test -f tests/validator/node_modules/gltf-validator/package.json || \
	  (cd tests/validator && npm ci --no-audit --no-fund)

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

demo: build
	./build/bin/vantor-host examples/caffeine.mol --gltf caffeine.glb --json caffeine.json

test: build validator-deps
	ctest --preset default

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan

test-asan: build-asan validator-deps
	ctest --preset asan

bench: build
	./build/bin/sdf_read_benchmark
	./build/bin/model_benchmark
	./build/bin/script_benchmark
	bash bench/converter.sh

# Windows x64, cross-built with MinGW-w64 into build-windows/; the tests run under Wine.
windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows
	@$(MAKE) --no-print-directory check-pe

check-pe:
	@for module in build-windows/plugins/vantor/*.riz64; do \
	  cmake -DMODULE=$$module -DOBJDUMP=$(MINGW_OBJDUMP) -P cmake/check_pe.cmake || exit 1; \
	done

# Waits for Wine's server to leave, so nothing writes into build-windows/ after make returns.
WINE_PREFIX := $(CURDIR)/build-windows/wineprefix
test-windows: windows validator-deps
	ctest --preset windows; status=$$?; \
	  if [ -d $(WINE_PREFIX) ]; then WINEPREFIX=$(WINE_PREFIX) wineserver -w; fi; exit $$status

# macOS arm64, cross-built with zig and ld64.lld into build-macos/ (the toolchain goes to
# .toolchains/macos-arm64/ once). Nothing here can run it: ctest runs cmake/check_macho.cmake on the
# modules, and on bundles that each break one of its rules.
macos: deps
	@bash scripts/install-macos-toolchain.sh
	cmake --preset macos-cross >/dev/null
	cmake --build --preset macos-cross
	ctest --preset macos-cross

check-macho:
	@for module in build-macos/plugins/vantor/*.dudi; do \
	  cmake -DMODULE=$$module -P cmake/check_macho.cmake || exit 1; \
	done

# dist/vantor-VERSION-windows-x64.zip: vantor/ (vantor.riz64, res/), to copy into the plugins
# folder. dist/vantor-VERSION-linux-x64.zip: plugins/vantor/ and bin/vantor-host, which finds the
# module there. dist/vantor-VERSION-macos-arm64.zip: vantor/ (vantorR2025.dudi, res/).
package: windows macos build
	@test -n "$(VERSION)" || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
	rm -rf dist/stage dist/vantor-$(VERSION)-windows-x64.zip dist/vantor-$(VERSION)-linux-x64.zip
	rm -f dist/vantor-$(VERSION)-macos-arm64.zip
	mkdir -p dist/stage/windows/vantor dist/stage/linux/plugins dist/stage/linux/bin
	cp build-windows/plugins/vantor/vantor.riz64 dist/stage/windows/vantor/
	cp -R build-windows/plugins/vantor/res dist/stage/windows/vantor/
	mkdir -p dist/stage/macos/vantor
	cp build-macos/plugins/vantor/vantorR2025.dudi dist/stage/macos/vantor/
	cp -R build-macos/plugins/vantor/res dist/stage/macos/vantor/
	cd dist/stage/macos && zip -qrX ../../vantor-$(VERSION)-macos-arm64.zip vantor
	cp -R build/plugins/vantor dist/stage/linux/plugins/
	cp build/bin/vantor-host dist/stage/linux/bin/
	strip --strip-debug dist/stage/linux/plugins/vantor/*.so dist/stage/linux/bin/vantor-host
	cd dist/stage/windows && zip -qrX ../../vantor-$(VERSION)-windows-x64.zip vantor
	cd dist/stage/linux && zip -qrX ../../vantor-$(VERSION)-linux-x64.zip plugins bin
	rm -rf dist/stage
	@ls -l dist/*.zip

clean:
	if [ -d $(WINE_PREFIX) ]; then WINEPREFIX=$(WINE_PREFIX) wineserver -k || true; fi
	rm -rf build build-asan build-windows build-macos dist

# libFuzzer targets (clang), each for FUZZ_SECONDS (default 60).
FUZZ_SECONDS ?= 60
fuzz: deps
	bash scripts/fuzz.sh $(FUZZ_SECONDS)
