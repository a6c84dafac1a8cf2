# The two commands: `make demo` runs the installer, `make test` passes the tests.
# Both install whatever Debian packages are missing first.

.PHONY: all demo test deps prefix native native-asan win32 fuzz bench package \
        test-native test-asan test-win32 test-fuzz clean

all: native win32

deps:
	@bash scripts/install-deps.sh

prefix: deps
	@bash scripts/wine-prefix.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

native-asan: deps
	cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan

win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz

bench: deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench

test-native: native
	ctest --preset native

test-asan: native-asan
	ctest --preset native-asan

test-win32: win32 prefix
	ctest --preset win32

test-fuzz: fuzz
	ctest --preset fuzz

test: test-native test-asan test-win32 test-fuzz

demo: native win32 prefix
	bash scripts/demo.sh

clean:
	rm -rf build/native build/native-asan build/win32 build/fuzz build/bench build/demo

# A Debian package of sfxpack alone (build/native/sfxpack_X.Y.Z_ARCH.deb).
package: native
	cd build/native && cpack -G DEB
