// The one place in the code where the 32-bit executables we ship and their
// 64-bit twin (the same sources built for x86-64, so that the Windows tests
// run where a machine cannot execute 32-bit programs) differ. The build's
// differences (entry symbol, toolchain) are in cmake/SfxWindowsTarget.cmake.
#pragma once
#include <cstddef>

// True in the 64-bit twin, false in the executables we ship.
constexpr bool kSfxIs64BitTwin = sizeof(void*) == 8;

// Structure sizes that Windows fixes per architecture; a static_assert
// against them catches a header or a packing setting that does not match
// the system the executable runs on.
constexpr std::size_t kSfxShellExecuteInfoSize = kSfxIs64BitTwin ? 112 : 60;
