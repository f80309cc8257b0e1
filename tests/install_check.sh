#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a desktop needs:
# the program (reachable from bin/), the language packs and help pages beside
# the real executable where it looks for them, a valid desktop entry and the
# theme icons. Usage: install_check.sh <source dir> <build dir>
set -euo pipefail
src="$1"
build="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install check: $*" >&2; exit 1; }
[ -x "$prefix/bin/orvelin" ] || fail "bin/orvelin missing"
home="$(dirname "$(readlink -f "$prefix/bin/orvelin")")"
[ "$home" = "$(readlink -f "$prefix/lib/orvelin")" ] || fail "bin/orvelin does not lead to lib/orvelin"
"$prefix/bin/orvelin" --version | grep -q '^orvelin [0-9]' || fail "--version"
# A wrong option gets the usage and status 2, also where no display can be
# opened (the window system is not started for it).
status=0
usage="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/orvelin" --bogus 2>&1 >/dev/null)" || status=$?
[ "$status" = 2 ] || fail "--bogus without a display ended with status $status: $usage"
grep -q '^Usage: orvelin' <<<"$usage" || fail "--bogus printed no usage: $usage"
if [ -d "$src/language" ]; then
    [ -f "$home/language/English.ini" ] || fail "language/English.ini not beside the program"
    # The base-folder rule prefers the parent's language folder; it must not
    # find a stray one there.
    [ ! -e "$home/../language/English.ini" ] || fail "a language folder above the program"
fi
if [ -d "$src/help" ]; then
    [ -f "$home/help/Introduction.htm" ] || fail "help/Introduction.htm not beside the program"
fi
desktop="$prefix/share/applications/orvelin.desktop"
[ -f "$desktop" ] || fail "desktop entry missing"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop entry does not validate"
fi
grep -q '^Exec=orvelin %f$' "$desktop" || fail "Exec line"
grep -q '^GenericName=Video Converter$' "$desktop" || fail "GenericName"
for size in 48 128; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/orvelin.png"
    [ -f "$png" ] || fail "icon $size missing"
    file "$png" 2>/dev/null | grep -q "$size x $size" || python3 - "$png" "$size" <<'PY' || fail "icon $size has the wrong size"
import struct, sys
data = open(sys.argv[1], 'rb').read(24)
w, h = struct.unpack('>II', data[16:24])
sys.exit(0 if data[:8] == b'\x89PNG\r\n\x1a\n' and w == h == int(sys.argv[2]) else 1)
PY
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/orvelin.svg" ] || fail "scalable icon missing"
echo "install check: passed ($prefix)"
