#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a desktop needs:
# the program in bin/, its language packs and help pages in share/orvelin/,
# a valid desktop entry and AppStream file under the application id, the
# theme icons and the manual page; install_manifest.txt lists every file
# installed, so removing the listed files empties the prefix.
# Usage: install_check.sh <source dir> <build dir>
set -euo pipefail
src="$1"
build="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install check: $*" >&2; exit 1; }
id=com.zevrant.Orvelin
[ -f "$prefix/bin/orvelin" ] && [ -x "$prefix/bin/orvelin" ] && [ ! -L "$prefix/bin/orvelin" ] ||
    fail "bin/orvelin is not the program"
"$prefix/bin/orvelin" --version | grep -q '^orvelin [0-9]' || fail "--version"
# A wrong option gets the usage and status 2, also where no display can be
# opened (the window system is not started for it).
status=0
usage="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/orvelin" --bogus 2>&1 >/dev/null)" || status=$?
[ "$status" = 2 ] || fail "--bogus without a display ended with status $status: $usage"
grep -q '^Usage: orvelin' <<<"$usage" || fail "--bogus printed no usage: $usage"
# A file to open but no display: one line and status 1, not Qt's abort;
# likewise with a display named that nothing serves.
absent=90
while [ -e "/tmp/.X11-unix/X$absent" ] || [ -e "/tmp/.X$absent-lock" ]; do absent=$((absent + 1)); done
for display in none ":$absent"; do
    status=0
    if [ "$display" = none ]; then
        said="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/orvelin" clip.mkv 2>&1)" || status=$?
    else
        said="$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=$display "$prefix/bin/orvelin" clip.mkv 2>&1)" || status=$?
    fi
    [ "$status" = 1 ] || fail "no display ($display): status $status: $said"
    [ "$said" = "orvelin: cannot open a window: no display" ] || fail "no display ($display) said: $said"
done

data="$prefix/share/orvelin"
if [ -d "$src/language" ]; then
    [ -f "$data/language/English.ini" ] || fail "share/orvelin/language/English.ini missing"
    [ "$(ls "$data/language" | wc -l)" = "$(ls "$src/language" | grep -c '\.ini$')" ] ||
        fail "not every language pack installed"
fi
if [ -d "$src/help" ]; then
    [ -f "$data/help/Introduction.htm" ] || fail "share/orvelin/help/Introduction.htm missing"
fi
desktop="$prefix/share/applications/$id.desktop"
[ -f "$desktop" ] || fail "desktop entry missing"
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
grep -q '^Exec=orvelin %f$' "$desktop" || fail "Exec line"
grep -q "^Icon=$id\$" "$desktop" || fail "Icon line"
# Every MIME type is one the shared MIME database knows by that name.
for type in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
    grep -qx "$type" /usr/share/mime/types || fail "unknown MIME type $type"
done
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >/dev/null || appstreamcli validate --no-net "$metainfo" >&2 ||
    fail "metainfo does not validate"
grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id"
# The screenshots it names are the pictures kept in res/screenshots.
for url in $(grep -o 'https://[^<]*/screenshots/[^<]*\.png' "$metainfo"); do
    [ -f "$src/res/screenshots/$(basename "$url")" ] || fail "no res/screenshots/$(basename "$url")"
done
for size in 48 128; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
    file "$png" | grep -q "PNG image data, $size x $size" || fail "icon $size"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "scalable icon missing"
[ -f "$prefix/share/man/man1/orvelin.1" ] || fail "manual page missing"

# The manifest names every file (no link or file made on the side); removing
# those leaves only folders.
manifest="$build/install_manifest.txt"
[ -f "$manifest" ] || fail "no install_manifest.txt"
installed="$(cd "$prefix" && find . ! -type d | sed "s|^\.|$prefix|" | sort)"
listed="$(sort "$manifest")"
[ "$installed" = "$listed" ] || fail "manifest and installed files differ: $(diff <(echo "$listed") <(echo "$installed") | head)"
xargs -d '\n' rm -f <"$manifest"
[ -z "$(find "$prefix" ! -type d)" ] || fail "files left after removing the manifest's"
echo "install check: passed ($prefix)"
