#!/usr/bin/env bash
# Builds the Debian package from a clean copy of the source with dpkg-buildpackage,
# in an environment of its own (no compiler cache, no CMake or build variables of the
# caller), then checks it: lintian without errors or warnings, the installed
# metainfo and desktop entry valid, the file list, and both programs run from a
# scratch root the package is unpacked into.
# Usage: build_package.sh SOURCE_DIR VERSION WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd) version=$2 work=$3
rm -rf "$work"
mkdir -p "$work/home"
copy=$work/ravlen-adj-$version

# Only what the source holds: tracked and new files when it is a git checkout,
# else the tree without build folders.
mkdir -p "$copy"
if git -C "$src" rev-parse --show-toplevel >/dev/null 2>&1 &&
   [ "$(git -C "$src" rev-parse --show-toplevel)" = "$src" ]; then
  (cd "$src" && git ls-files -z --cached --others --exclude-standard |
     xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
     tar --null -T - -cf -) | tar -C "$copy" -xf -
else
  tar -C "$src" --exclude='./build*' --exclude='./obj-*' --exclude='./debian/.debhelper' \
      --exclude='./debian/ravlen-adj' -cf - . | tar -C "$copy" -xf -
fi

started=$(date +%s)
(cd "$copy" && env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$work/home" LC_ALL=C.UTF-8 \
    DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -b -us -uc) >"$work/build.log" 2>&1 || {
  tail -n 80 "$work/build.log"
  echo "FAIL: dpkg-buildpackage (whole log: $work/build.log)"
  exit 1
}
echo "dpkg-buildpackage: $(($(date +%s) - started)) s"
grep -E '^(1/|[0-9]+% tests passed|Total Test time)' "$work/build.log" | tail -n 2 || true

deb=$(ls "$work"/ravlen-adj_"$version"_*.deb)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

echo "lintian:"
lintian_out=$(cd "$work" && lintian --fail-on error,warning --display-info "$deb" 2>&1) || fail "lintian"
echo "${lintian_out:-(nothing)}"
grep -qE '^[EW]: ' <<<"$lintian_out" && fail "lintian reports errors or warnings"

root=$work/root
dpkg -x "$deb" "$root"

# Regular files and symbolic links, as dpkg -c lists them.
listing=$(dpkg -c "$deb" | awk '$1 ~ /^[-l]/ { print $6 }' | sed 's|^\./||' | sort)
expected=$(sort <<'LIST'
usr/bin/ravlen-adj
usr/bin/ravlen-sim
usr/share/applications/ravlen-adj.desktop
usr/share/doc/ravlen-adj/60-ravlen-adj.rules
usr/share/doc/ravlen-adj/README.md.gz
usr/share/doc/ravlen-adj/changelog.gz
usr/share/doc/ravlen-adj/copyright
usr/share/icons/hicolor/scalable/apps/ravlen-adj.svg
usr/share/man/man1/ravlen-adj.1.gz
usr/share/man/man1/ravlen-sim.1.gz
usr/share/metainfo/invalid.ravlen.adj.metainfo.xml
LIST
)
[ "$listing" = "$expected" ] || { fail "package files differ:"; diff <(echo "$expected") <(echo "$listing") || true; }
[ -z "$(find "$root" -path '*udev/rules.d*')" ] || fail "the udev rule is installed into udev's folder"
for p in ravlen-adj ravlen-sim; do
  [ -x "$root/usr/bin/$p" ] || fail "$p is not executable"
done

validation=$(appstreamcli validate --no-net "$root/usr/share/metainfo/invalid.ravlen.adj.metainfo.xml" 2>&1) ||
  fail "appstreamcli validate: $validation"
grep -qE '^[EW]:' <<<"$validation" && fail "appstreamcli validate: $validation"
desktop=$(desktop-file-validate "$root/usr/share/applications/ravlen-adj.desktop" 2>&1) ||
  fail "desktop-file-validate: $desktop"
[ -z "$desktop" ] || fail "desktop-file-validate: $desktop"

export QT_QPA_PLATFORM=offscreen HOME="$work/home"
shown=$("$root/usr/bin/ravlen-adj" --version 2>&1) || fail "ravlen-adj --version: $shown"
[ "$(head -1 <<<"$shown")" = "ravlen-adj $version" ] || fail "ravlen-adj --version says: $shown"
grep -q 'GNU GPL version 3 or later' <<<"$shown" || fail "ravlen-adj --version names no licence"
shown=$("$root/usr/bin/ravlen-sim" --help 2>&1) || fail "ravlen-sim --help: $shown"
grep -q -- '--image FILE' <<<"$shown" || fail "ravlen-sim --help says: $shown"

[ $failures -eq 0 ] && echo "package $(basename "$deb") checked"
exit $((failures > 0))
