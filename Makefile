# The two commands: `make demo` runs the installer, `make test` passes the tests.
# Both install whatever Debian packages are missing first.

.PHONY: all demo test deps prefix native native-asan win32 win64 fuzz bench package \
        test-native test-asan test-windows test-win32 test-win64 test-fuzz clean

all: native win32

deps:
	@bash scripts/install-deps.sh

prefix: deps
	@SFX_WINE_ARCH=$$(bash scripts/wine-arch.sh) bash scripts/wine-prefix.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

native-asan: deps
	cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan

win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32

# The 64-bit twin of the Windows executables, for machines that cannot run
# 32-bit programs (scripts/wine-arch.sh); nothing built here ships.
win64: deps
	cmake --preset win64 >/dev/null
	cmake --build --preset win64

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

# The Windows suites on whichever build this machine runs (see the script).
test-windows: win32 win64
	bash scripts/test-windows.sh

# One Windows suite whole, whatever the machine.
test-win32: win32
	ctest --preset win32

test-win64: win32 win64
	ctest --preset win64

test-fuzz: fuzz
	ctest --preset fuzz

test: test-native test-asan test-windows test-fuzz

# The 32-bit setup where this machine runs it, else the 64-bit twin's.
demo: native win32 win64
	bash scripts/demo.sh

clean:
	rm -rf build/native build/native-asan build/win32 build/win64 build/fuzz build/bench build/demo

# A Debian package of sfxpack alone (build/native/sfxpack_X.Y.Z_ARCH.deb).
package: native
	cd build/native && cpack -G DEB
