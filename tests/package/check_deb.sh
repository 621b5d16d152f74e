#!/usr/bin/env bash
# Checks a built voxmg .deb as an installation would see it: its control fields, the exact
# file list when unpacked into a throw-away root, manual pages that render, a menu entry that
# validates, programs that start, and lintian without errors (warnings are printed).
# Usage: tests/package/check_deb.sh voxmg_VERSION_amd64.deb
set -euo pipefail
deb="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "check_deb: $*" >&2; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = voxmg ] || fail "package name"
[ "$(field Architecture)" = amd64 ] || fail "architecture"
depends=$(field Depends)
for needed in fonts-noto-cjk libqt6widgets6 libqt6multimedia6 libbcg729-0 libavcodec libcurl4 libc6; do
    grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
grep -q qt6-translations-l10n <<<"$(field Recommends)" || fail "Recommends lacks qt6-translations-l10n"

dpkg -x "$deb" "$root"
expected="./usr/bin/voxmg
./usr/bin/voxmg-sim
./usr/bin/voxmgctl
./usr/lib/systemd/user/voxmg-backup.service
./usr/lib/systemd/user/voxmg-backup.timer
./usr/lib/systemd/user/voxmg-mail.service
./usr/lib/systemd/user/voxmg-mail.timer
./usr/share/applications/voxmg.desktop
./usr/share/doc/voxmg/changelog.gz
./usr/share/doc/voxmg/copyright
./usr/share/icons/hicolor/256x256/apps/voxmg.png
./usr/share/icons/hicolor/48x48/apps/voxmg.png
./usr/share/icons/hicolor/scalable/apps/voxmg.svg
./usr/share/man/man1/voxmg-sim.1.gz
./usr/share/man/man1/voxmg.1.gz
./usr/share/man/man1/voxmgctl.1.gz
./usr/share/metainfo/org.voxmg.voxmg.metainfo.xml"
actual=$(cd "$root" && find . \( -type f -o -type l \) | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "unexpected file list (< expected, > in the package)"
fi
bad_dirs=$(cd "$root" && find . -mindepth 1 -type d ! -perm 0755)
[ -z "$bad_dirs" ] || fail "folders not 0755: $bad_dirs"

for page in "$root"/usr/share/man/man1/*.1.gz; do
    gzip -t "$page" || fail "$page is no gzip file"
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
    # As a fresh machine or an ssh session shows it: the C locale renders ASCII, where any
    # Japanese character left in the page is dropped with a warning.
    warnings=$(env -i PATH="$PATH" MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page in the C locale: $warnings"
done
env -i PATH="$PATH" MANWIDTH=80 man -l "$root/usr/share/man/man1/voxmg.1.gz" 2>/dev/null |
    grep -q 'Log in with \[Settings -> Log in...\]' || fail "voxmg(1) in the C locale lacks the login menu path"
if zcat "$root"/usr/share/man/man1/*.gz | grep -q '@PROJECT_VERSION@'; then
    fail "a manual page lacks its version"
fi
# Hints count too: each one is something a menu or a software centre shows wrongly.
desktop_report=$(desktop-file-validate "$root/usr/share/applications/voxmg.desktop" 2>&1) ||
    fail "desktop entry: $desktop_report"
[ -z "$desktop_report" ] || fail "desktop entry: $desktop_report"
metainfo="$root/usr/share/metainfo/org.voxmg.voxmg.metainfo.xml"
command -v appstreamcli > /dev/null || fail "appstreamcli is not installed (scripts/setup installs it)"
appstream_report=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) ||
    fail "AppStream metadata does not validate: $appstream_report"
grep -q "<release version=\"$(field Version)\"" "$metainfo" ||
    fail "AppStream metadata lacks a release entry for version $(field Version)"
# The changelog's date is the release's, the same in every build of it.
release_date=$(sed -n "s/.*<release version=\"$(field Version)\" date=\"\([0-9-]*\)\".*/\1/p" "$metainfo")
changelog_date=$(zcat "$root/usr/share/doc/voxmg/changelog.gz" | sed -n 's/^ -- .*  \(.*\)$/\1/p' | head -n 1)
[ "$(date -u -d "$changelog_date" +%F 2>/dev/null)" = "$release_date" ] ||
    fail "changelog date '$changelog_date' is not the release date $release_date"
grep -q '<launchable type="desktop-id">voxmg.desktop</launchable>' "$metainfo" ||
    fail "AppStream metadata does not launch the menu entry"
grep -q '^ExecStart=/usr/bin/voxmgctl backup --ini %h/.config/voxmg/VOXMG.ini --if-due$' \
    "$root/usr/lib/systemd/user/voxmg-backup.service" || fail "backup service ExecStart"
grep -q '^ExecStart=/usr/bin/voxmgctl mail-send --settings %h/.config/voxmg$' \
    "$root/usr/lib/systemd/user/voxmg-mail.service" || fail "mail service ExecStart"

# The programs start from the unpacked tree (their libraries are those of this machine).
"$root/usr/bin/voxmg-sim" --help 2>/dev/null | grep -q "^usage: voxmg-sim" || fail "voxmg-sim --help prints no usage on stdout"
"$root/usr/bin/voxmgctl" --help 2>/dev/null | grep -q "^  voxmgctl download " || fail "voxmgctl --help prints no verbs on stdout"
rc=0
"$root/usr/bin/voxmgctl" > /dev/null 2>&1 || rc=$?
[ "$rc" -eq 2 ] || fail "voxmgctl without a verb exits $rc, not 2"
"$root/usr/bin/voxmgctl" --version | grep -q "^voxmgctl $(field Version)\$" || fail "voxmgctl --version"
"$root/usr/bin/voxmgctl" --version | grep -q "GPL version 3 or later" || fail "voxmgctl --version lacks the licence"
grep -q '^License: GPL-3+$' "$root/usr/share/doc/voxmg/copyright" || fail "copyright: licence is not GPL-3+"
# voxmg answers --help before it looks for a display, so this works over ssh.
env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/voxmg" --help | grep -q "VOXMG.ini" || fail "voxmg --help"

if command -v lintian > /dev/null; then
    report=$(lintian --fail-on none --allow-root --tag-display-limit 0 "$deb" 2>&1)
    echo "$report"
    if grep -q '^E: ' <<<"$report"; then
        fail "lintian reports errors"
    fi
else
    fail "lintian is not installed (scripts/setup installs it)"
fi
echo "check_deb: $(basename "$deb") ok"
