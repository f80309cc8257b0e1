#!/usr/bin/env bash
# Makes the Debian package from an existing build (scripts/package
# --no-build) into a temporary folder and looks inside: the files under the
# folders Debian expects, the dependencies, valid desktop and AppStream
# files, the compressed manual page, no unstripped binary, and lintian's
# verdict (no errors) when lintian is installed.
# Usage: package_check.sh <source dir> <build dir>
set -euo pipefail
src="$1"
build="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "package check: $*" >&2; exit 1; }

deb="$("$src/scripts/package" --build-dir "$build" --out "$work" --no-build)"
[ -f "$deb" ] || fail "no package made"
[[ "$(basename "$deb")" =~ ^orvelin_[0-9][0-9.]*_[a-z0-9]+\.deb$ ]] || fail "package name $deb"
id=com.zevrant.Orvelin

# The file list: everything under /usr, in the places named here.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|' >"$work/list"
allowed="^/(|usr/|usr/bin/(|orvelin)|usr/share/(|orvelin/.*|applications/(|$id\.desktop)|metainfo/(|$id\.metainfo\.xml)"
allowed+="|icons/(hicolor/(|(48x48|128x128|scalable)/(|apps/(|$id\.(png|svg)))))?"
allowed+="|man/(|man1/(|orvelin\.1\.gz))|doc/(|orvelin/(|copyright|changelog\.gz))))$"
stray="$(grep -Ev "$allowed" "$work/list" || true)"
[ -z "$stray" ] || fail "unexpected files: $stray"
for f in /usr/bin/orvelin /usr/share/orvelin/language/English.ini /usr/share/orvelin/help/Introduction.htm \
    /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml \
    /usr/share/icons/hicolor/48x48/apps/$id.png /usr/share/icons/hicolor/128x128/apps/$id.png \
    /usr/share/icons/hicolor/scalable/apps/$id.svg /usr/share/man/man1/orvelin.1.gz \
    /usr/share/doc/orvelin/copyright /usr/share/doc/orvelin/changelog.gz; do
    grep -qx "$f" "$work/list" || fail "$f missing"
done
[ -z "$(dpkg-deb -I "$deb" | grep -E '(postinst|postrm|preinst|prerm)$')" ] || fail "maintainer scripts"

# Dependencies: the linked libraries and the plug-ins loaded at run time.
depends="$(dpkg-deb -f "$deb" Depends)"
for pkg in libc6 libqt6widgets6 libgstreamer1.0-0 libges-1.0-0 gstreamer1.0-plugins-base \
    gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav \
    gstreamer1.0-x; do
    grep -Eq "(^|, )$pkg( |,|$)" <<<"$depends" || fail "Depends lacks $pkg: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/as" 2>&1 ||
    fail "metainfo invalid: $(cat "$work/as")"
man_warnings="$(MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/orvelin.1.gz" 2>&1 >"$work/man")"
[ -z "$man_warnings" ] || fail "manual page warnings: $man_warnings"
grep -q "EXIT STATUS" "$work/man" || fail "manual page does not render"
while IFS= read -r -d '' f; do
    description="$(file -b "$f")"
    if [[ "$description" == ELF* ]]; then
        [[ "$description" == *", stripped"* ]] || fail "$f: $description"
        ! readelf -S "$f" | grep -q '\.debug_' || fail "$f has debugging sections"
    fi
done < <(find "$root" -type f -print0)
"$root/usr/bin/orvelin" --version | grep -qx "orvelin $(dpkg-deb -f "$deb" Version)" ||
    fail "the packed program's version differs from the package's"

if command -v lintian >/dev/null; then
    lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 ||
        fail "lintian: $(cat "$work/lintian")"
    cat "$work/lintian"
fi
echo "package check: passed ($(basename "$deb"), $(wc -l <"$work/list") entries)"
