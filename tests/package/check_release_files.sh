#!/usr/bin/env bash
# The files that describe a release agree with the project version and with the
# programs: the Debian changelog, the AppStream metainfo, the manual pages (their
# option lists against --help, and man's own warnings) and the desktop entry.
# Usage: check_release_files.sh SOURCE_DIR VERSION RAVLEN_ADJ RAVLEN_SIM
set -uo pipefail
src=$1 version=$2 adj=$3 sim=$4
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

changelog=$(sed -n '1s/^ravlen-adj (\([^)]*\)).*/\1/p' "$src/debian/changelog")
[ "$changelog" = "$version" ] || fail "debian/changelog's top entry is '$changelog', the project is $version"

metainfo=$src/data/invalid.ravlen.adj.metainfo.xml
release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "the metainfo's latest release is '$release', the project is $version"

# The options a program lists: leading words of its option lines that start with '-'.
help_options() {
  "$1" --help | grep -E '^  +-' | while read -r line; do
    for word in $line; do
      [[ $word == -* ]] || break
      echo "${word%,}"
    done
  done | sort -u
}
# The options a manual page describes: the same, from the tag line after each .TP.
man_options() {
  awk '/^\.TP/ { getline; print }' "$1" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/^\.B //' |
    while read -r line; do
      for word in $line; do
        [[ $word == -* ]] || break
        echo "${word%,}"
      done
    done | sort -u
}

for program in "$adj" "$sim"; do
  name=$(basename "$program")
  page=$src/docs/man/$name.1
  first=$("$program" --version | head -1)
  [ "$first" = "$name $version" ] || fail "$name --version says '$first'"
  "$program" --version | grep -q 'GNU GPL version 3 or later' || fail "$name --version names no licence"
  grep -q "^\.TH .* \"ravlen-adj $version\"" "$page" || fail "$page does not carry version $version"
  in_help=$(help_options "$program")
  in_page=$(man_options "$page")
  [ -n "$in_help" ] || fail "$name --help lists no options"
  if [ "$in_help" != "$in_page" ]; then
    fail "$page and $name --help list different options:"
    diff <(echo "$in_help") <(echo "$in_page") | sed 's/^/  /'
  fi
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $page: $warnings"
done

validation=$(appstreamcli validate --no-net "$metainfo" 2>&1)
status=$?
if [ $status -ne 0 ] || grep -qE '^[EW]:' <<<"$validation"; then
  fail "appstreamcli validate: $validation"
fi
desktop=$(desktop-file-validate "$src/data/ravlen-adj.desktop" 2>&1)
[ $? -eq 0 ] && [ -z "$desktop" ] || fail "desktop-file-validate: $desktop"

[ $failures -eq 0 ] && echo "release files agree with version $version"
exit $((failures > 0))
