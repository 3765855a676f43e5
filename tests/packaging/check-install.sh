#!/usr/bin/env bash
# check-install.sh <build-dir> <dfu-vendor-id> <dfu-product-id>
set -euo pipefail
build=$1 dfu_vendor=$2 dfu_product=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/orvanel-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr > "$work/install.log"
share=$root/usr/share

for f in usr/bin/orvanel usr/bin/orvanel-scanner-sim \
  usr/share/applications/orvanel.desktop usr/share/mime/packages/orvanel.xml \
  usr/share/metainfo/com.tarnwell.Orvanel.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/orvanel.svg \
  usr/share/man/man1/orvanel.1.gz usr/share/man/man1/orvanel-scanner-sim.1.gz \
  usr/bin/orvanel-capture usr/share/man/man1/orvanel-capture.1.gz \
  usr/lib/udev/rules.d/60-orvanel.rules usr/share/doc/orvanel/copyright \
  usr/lib/systemd/system/orvanel-capture@.service \
  usr/share/doc/orvanel/examples/orvanel-alerts.rules.yml; do
  [ -f "$root/$f" ] || fail "missing $f"
done
for f in usr/bin/orvanel usr/bin/orvanel-scanner-sim; do
  [ -x "$root/$f" ] || fail "$f is not executable"
done
# Nothing may be writable by others, and no test firmware or test data ships.
[ -z "$(find "$root" -perm -o+w ! -type l)" ] || fail "files writable by others"
[ -z "$(find "$root" -iname '*.dfu' -o -iname '*.bin' -o -iname '*firmware*' -o -iname '*test*')" ] ||
  fail "test firmware or test data installed"

for size in 48 64 128 256; do
  png=$share/icons/hicolor/${size}x$size/apps/orvanel.png
  # Width and height from the PNG header.
  dims=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | tr -s ' ' | sed 's/^ //')
  be="0 0 $((size >> 8)) $((size & 255))"
  [ "$dims" = "$be $be" ] || fail "icon $size: header '$dims'"
done

for prog in orvanel orvanel-scanner-sim; do
  page=$(zcat "$share/man/man1/$prog.1.gz")
  grep -q '^\.TH' <<< "$page" || fail "man page of $prog is not roff"
  grep -q '^\.SH DESCRIPTION' <<< "$page" || fail "man page of $prog lacks a description"
done
zcat "$share/man/man1/orvanel.1.gz" | grep -q -- 'port' || fail "orvanel(1) lacks -port"

# The manual where the viewer looks (QStandardPaths: <data dir>/orvanel/manual),
# with every picture and style sheet it names; the spectrum picture doubles
# as the package's screenshot.
manual=$share/orvanel/manual
[ -f "$manual/index.html" ] || fail "manual not in $manual"
[ -f "$manual/images/spectrum.png" ] || fail "screenshot not installed with the manual"
for ref in $(grep -oE '(src|href)="[^"#:]+"' "$manual/index.html" 2>/dev/null | sed -E 's/^[a-z]+="//; s/"$//' | sort -u); do
  [ -f "$manual/$ref" ] || fail "manual names $ref, which is not installed"
done

desktop-file-validate "$share/applications/orvanel.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/com.tarnwell.Orvanel.metainfo.xml" > "$work/as.log" ||
  { cat "$work/as.log" >&2; fail "appstreamcli validate"; }

# The MIME type with the installed database only, as a user's XDG_DATA_HOME.
mkdir -p "$work/data/mime/packages" "$work/files"
cp "$share/mime/packages/orvanel.xml" "$work/data/mime/packages/"
XDG_DATA_HOME="$work/data" update-mime-database "$work/data/mime"
printf '\x40\xa2\xc0\x00\x00\x00\x00\x00\x40\xa3\x88\x00\x00\x00\x00\x00' > "$work/files/band 2400.vozi"
type=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
  XDG_DATA_HOME="$work/data" XDG_DATA_DIRS=/usr/share xdg-mime query filetype "$work/files/band 2400.vozi")
[ "$type" = application/x-orvanel-recording ] || fail "xdg-mime answers '$type'"

rules=$root/usr/lib/udev/rules.d/60-orvanel.rules
grep -q "ATTR{idVendor}==\"$dfu_vendor\", ATTR{idProduct}==\"$dfu_product\"" "$rules" ||
  fail "DFU IDs not in the rules"
grep -q '@' "$rules" && fail "unconfigured placeholder in the rules"
if udevadm verify --help > /dev/null 2>&1; then
  udevadm verify "$rules" || fail "udevadm verify"
else
  # No verify before systemd 254: every rule is a comma-separated list of
  # KEY[{attr}] op "value".
  key='[A-Z_]+(\{[A-Za-z0-9_.-]+\})?[ ]*(==|!=|\+=|-=|:=|=)[ ]*"[^"]*"'
  while IFS= read -r line; do
    [[ -z "$line" || "$line" == \#* ]] && continue
    [[ "$line" =~ ^$key(,[ ]*$key)*$ ]] || fail "udev rule syntax: $line"
  done < "$rules"
fi

[ "$failures" -eq 0 ] || exit 1
echo "install layout and desktop files OK"
