#!/usr/bin/env bash
# Which Windows build a machine runs, with the capability faked both ways:
# a 32-bit loader that starts, one that the kernel cannot execute (an ELF
# for another machine gives "Exec format error", as a 32-bit program does
# where IA-32 emulation is missing), one that is not there, and the forcing
# variable. Then a prefix that Wine cannot make stops with what Wine said.
set -u
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

choose() {  # prints "ARCH|MESSAGE"
  local out err
  out=$(env "$@" bash "$scripts/wine-arch.sh" 2>"$work/err")
  err=$(cat "$work/err")
  printf '%s|%s' "$out" "$err"
}

printf '#!/bin/sh\necho "wine-8.0 (fake)"\n' > "$work/starts"
chmod +x "$work/starts"
# An ELF executable for ARM: no x86 kernel runs it.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x28\x00\x01\x00\x00\x00' > "$work/foreign"
head -c 72 /dev/zero >> "$work/foreign"
chmod +x "$work/foreign"

got=$(choose SFX_WINE32_LOADER="$work/starts" SFX_FORCE_WIN64=)
[ "$got" = "32|" ] || fail "a loader that starts: expected 32 and no message, got '$got'"

got=$(choose SFX_WINE32_LOADER="$work/foreign" SFX_FORCE_WIN64=)
case "$got" in
  "64|windows: Wine's 32-bit loader does not start here ($work/foreign --version: "*"Exec format error); the 64-bit twin runs under wine64 instead") ;;
  *) fail "a loader that cannot be executed: expected 64 and one line naming it, got '$got'" ;;
esac
[ "$(printf '%s' "$got" | wc -l)" = 0 ] || fail "the message is more than one line: '$got'"

got=$(choose SFX_WINE32_LOADER="$work/missing" SFX_FORCE_WIN64=)
case "$got" in 64"|"*"$work/missing"*) ;; *) fail "no loader: expected 64 naming it, got '$got'" ;; esac

got=$(choose SFX_WINE32_LOADER="$work/starts" SFX_FORCE_WIN64=1)
case "$got" in "64|windows: SFX_FORCE_WIN64 is set"*) ;; *) fail "forced: expected 64, got '$got'" ;; esac
got=$(choose SFX_WINE32_LOADER="$work/starts" SFX_FORCE_WIN64=0)
[ "$got" = "32|" ] || fail "SFX_FORCE_WIN64=0 forces nothing: got '$got'"

# A loader that cannot make the prefix: the command stops, non-zero, with
# what it said, and leaves no prefix that a later run would take as ready.
printf '#!/bin/sh\necho "wine: could not load ntdll.so: fake failure" >&2\nexit 1\n' > "$work/broken"
chmod +x "$work/broken"
out=$(SFX_WINE_ARCH=64 SFX_WINE64_LOADER="$work/broken" SFX_WINEPREFIX="$work/prefix" \
      bash "$scripts/wine-prefix.sh" 2>&1)
rc=$?
[ "$rc" != 0 ] || fail "a prefix that cannot be made: exit 0"
case "$out" in
  *"Wine could not make the win64 prefix $work/prefix"*"could not load ntdll.so: fake failure"*) ;;
  *) fail "a prefix that cannot be made: Wine's words missing from '$out'" ;;
esac
[ ! -e "$work/prefix/.sfx-ready" ] || fail "a prefix that cannot be made was marked ready"

[ "$failures" = 0 ] && echo "the Windows build is chosen by what the machine can run"
exit "$failures"
