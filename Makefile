# Thin wrapper over CMake presets. `make demo` and `make test` are the README's Quick start;
# `make windows`, `make test-windows`, `make macos`, `make test-arm64` and `make package` are in its
# "Windows and macOS" section.
.PHONY: deps validator-deps usd-deps build demo test build-asan test-asan bench windows check-pe test-windows package clean fuzz
.PHONY: fuzz-merge fuzz-coverage
.PHONY: macos check-macho readme-parameters readme-usage arm64 test-arm64 studio studio-site test-studio bench-studio

VERSION := ${shell sed -nE 's/^project[(]vantor VERSION ([0-9.]+).*/\1/p' CMakeLists.txt}
MINGW_OBJDUMP := x86_64-w64-mingw32-objdump

# Each target installs the Debian packages it needs (scripts/install-deps.sh GROUP); deps: all.
deps:
	@bash scripts/install-deps.sh

# The Khronos glTF validator the test gltf.validate runs, from npm into tests/validator/node_modules.
validator-deps:
	@bash scripts/install-deps.sh test
	@test -f tests/validator/node_modules/gltf-validator/package.json || \
	  (cd tests/validator && npm ci --no-audit --no-fund)

# Pixar's USD (usd-core from PyPI, pinned in tests/usd/requirements.txt) in a Python environment in
# build/usd-venv, for the tests usd.write, usd.open and usd.arkit.
usd-deps:
	@bash scripts/install-deps.sh test
	@bash scripts/usd-venv.sh

build:
	@bash scripts/install-deps.sh test
	cmake --preset default -DVANTOR_TESTS=ON -DVANTOR_BENCH=ON >/dev/null
	cmake --build --preset default

# The module and vantor-host only (no tests, no benchmarks), then caffeine converted. A build/
# made by make build or make test is used as it is.
demo:
	@bash scripts/install-deps.sh demo
	@test -f build/CMakeCache.txt || cmake --preset default -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF >/dev/null
	cmake --build --preset default --target vantor-host vantor vantorR2025
	@mkdir -p build/demo
	./build/bin/vantor-host examples/caffeine.mol --gltf build/demo/caffeine.glb --json build/demo/caffeine.json
	@echo
	@echo "Wrote build/demo/caffeine.glb (the model, glTF 2.0) and build/demo/caffeine.json (the report)."
	@echo "Look at the model with f3d (f3d build/demo/caffeine.glb), Blender (File > Import > glTF 2.0)"
	@echo "or any web glTF viewer; scripts/render_demo.sh renders it to build/demo/caffeine.png."

# every test: the native build's, then the studio's (its WebAssembly build takes some 5 minutes the
# first time)
test: build validator-deps usd-deps
	ctest --preset default
	$(MAKE) test-studio

build-asan:
	@bash scripts/install-deps.sh test
	cmake --preset asan >/dev/null
	cmake --build --preset asan

test-asan: build-asan validator-deps
	ctest --preset asan

# The README's table of parameters, written from `vantor-host --parameters` (the test
# docs.parameter_table fails until it is).
readme-parameters: demo
	cmake -DHOST=build/bin/vantor-host -DREADME=README.md -DUPDATE=ON -P cmake/readme_parameters.cmake

# The README's usage and options of vantor-host, and its table of script commands, written from
# `vantor-host --help` (the tests docs.cli_usage and docs.script_commands fail until they are).
readme-usage: demo
	cmake -DHOST=build/bin/vantor-host -DREADME=README.md -DUPDATE=ON -P cmake/readme_usage.cmake
	cmake -DHOST=build/bin/vantor-host -DREADME=README.md -DUPDATE=ON -P cmake/readme_script.cmake

bench: build
	./build/bin/sdf_read_benchmark
	./build/bin/model_benchmark
	./build/bin/script_benchmark
	bash bench/converter.sh
	bash bench/document.sh

# Windows x64, cross-built with MinGW-w64 into build-windows/; the tests run under Wine.
windows:
	@bash scripts/install-deps.sh windows
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
# .toolchains/macos-arm64/ once). Nothing here can run it: ctest runs cmake/check_macho.mjs on the
# modules, and on bundles that each break one of its rules.
macos:
	@bash scripts/install-deps.sh macos
	@bash scripts/install-macos-toolchain.sh
	cmake --preset macos-cross >/dev/null
	cmake --build --preset macos-cross
	ctest --preset macos-cross

check-macho:
	@for module in build-macos/plugins/vantor/*.dudi; do \
	  node cmake/check_macho.mjs $$module || exit 1; \
	done

# Linux arm64 with the macOS build's compiler (zig: clang 16, libc++ 16, a signed char) into
# build-arm64/, and every test under qemu-user: the macOS module's code run on the Mac's processor
# with the Mac's C++ library. Only zig is needed from the macOS toolchain, not its macOS runtime.
arm64:
	@bash scripts/install-deps.sh arm64
	@bash scripts/install-macos-toolchain.sh --zig
	cmake --preset arm64 >/dev/null
	cmake --build --preset arm64

test-arm64: arm64 validator-deps
	ctest --preset arm64

# dist/vantor-VERSION-windows-x64.zip: vantor/ (vantor.riz64, res/), to copy into the plugins
# folder. dist/vantor-VERSION-macos-arm64.zip: vantor/ (vantorR2025.dudi, res/).
# dist/vantor-VERSION-linux-x64.zip: plugins/vantor/ and bin/vantor-host, which finds the module
# there. Each has README.txt (what it is, how to install it), LICENSE and THIRD-PARTY.md beside.
STAGE := dist/stage
package: windows macos build
	@bash scripts/install-deps.sh package
	@test -n "$(VERSION)" || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
	rm -rf $(STAGE) dist/vantor-$(VERSION)-*.zip
	mkdir -p $(STAGE)/windows/vantor $(STAGE)/macos/vantor $(STAGE)/linux/plugins $(STAGE)/linux/bin
	cp build-windows/plugins/vantor/vantor.riz64 $(STAGE)/windows/vantor/
	cp -R build-windows/plugins/vantor/res $(STAGE)/windows/vantor/
	cp build-macos/plugins/vantor/vantorR2025.dudi $(STAGE)/macos/vantor/
	cp -R build-macos/plugins/vantor/res $(STAGE)/macos/vantor/
	cp -R build/plugins/vantor $(STAGE)/linux/plugins/
	cp build/bin/vantor-host $(STAGE)/linux/bin/
	strip --strip-debug $(STAGE)/linux/plugins/vantor/*.so $(STAGE)/linux/bin/vantor-host
	for platform in windows macos linux; do \
	  cp packaging/README-$$platform.txt $(STAGE)/$$platform/README.txt && \
	  cp LICENSE THIRD-PARTY.md $(STAGE)/$$platform/ || exit 1; \
	done
	cd $(STAGE)/windows && zip -qrX ../../vantor-$(VERSION)-windows-x64.zip README.txt LICENSE THIRD-PARTY.md vantor
	cd $(STAGE)/macos && zip -qrX ../../vantor-$(VERSION)-macos-arm64.zip README.txt LICENSE THIRD-PARTY.md vantor
	cd $(STAGE)/linux && zip -qrX ../../vantor-$(VERSION)-linux-x64.zip README.txt LICENSE THIRD-PARTY.md plugins bin
	rm -rf $(STAGE)
	@ls -l dist/*.zip

# Vantor Studio: the host library and the module compiled to WebAssembly (Debian's emscripten) into
# build-studio/, the page bundled into build-studio/site/ (and the one-file vantor-studio.html),
# then served on 127.0.0.1:8000. Emscripten's JavaScript optimiser finds acorn through NODE_PATH.
STUDIO_SITE := build-studio/site
studio-site:
	@bash scripts/install-deps.sh studio
	@test -f build-studio/CMakeCache.txt || cmake --preset studio >/dev/null
	NODE_PATH=/usr/share/nodejs nice -n 10 cmake --build --preset studio -j2
	@test -f studio/node_modules/esbuild/package.json || (cd studio && npm ci --no-audit --no-fund)
	node studio/build.mjs build-studio/bin/vantor-studio.js $(STUDIO_SITE)

studio: studio-site
	@echo "Vantor Studio: http://127.0.0.1:8000/ (Ctrl-C stops the server)"
	python3 -m http.server 8000 --bind 127.0.0.1 --directory $(STUDIO_SITE)

# The studio's conversions against vantor-host's (under Node), then the page in headless Chromium.
test-studio: studio-site demo
	node tests/studio/conversions.mjs build-studio/bin/vantor-studio.js build/bin/vantor-host .
	node tests/studio/browser.mjs $(STUDIO_SITE) build/bin/vantor-host .

# The studio's figures in headless Chromium: page ready (in a new browser and in one already running),
# drop, edits, large.sdf against vantor-host, sizes.
bench-studio: studio-site demo
	node bench/studio.mjs $(STUDIO_SITE) build/bin/vantor-host .

clean:
	if [ -d $(WINE_PREFIX) ]; then WINEPREFIX=$(WINE_PREFIX) wineserver -k || true; fi
	rm -rf build build-asan build-windows build-macos build-arm64 build-studio dist

# libFuzzer targets (clang), each for FUZZ_SECONDS (default 60) from the kept corpus in
# fuzz/corpus/; fuzz-merge folds what a run found into it, minimised; fuzz-coverage replays it in
# a coverage build and prints the line coverage of the readers, the document and the script.
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/install-deps.sh fuzz
	bash scripts/fuzz.sh $(FUZZ_SECONDS)

fuzz-merge:
	@bash scripts/install-deps.sh fuzz
	bash scripts/fuzz.sh merge

fuzz-coverage:
	@bash scripts/install-deps.sh fuzz
	bash scripts/fuzz.sh coverage
