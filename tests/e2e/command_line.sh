#!/usr/bin/env bash
# The command line answers without a display: usage errors, --help and --version
# print and end with their status before any window system is reached.
#
#   command_line.sh RAVLEN_ADJ
set -uo pipefail

adj=${1:?usage: command_line.sh RAVLEN_ADJ}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

failed=0
check() {  # status, text on standard output or error, then the arguments
  local want_status=$1 want_text=$2
  shift 2
  local out status
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb HOME="$home" XDG_CONFIG_HOME="$home/config" \
    XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run" \
    "$adj" "$@" 2>&1 </dev/null)
  status=$?
  if [ "$status" -ne "$want_status" ] || [[ "$out" != *"$want_text"* ]]; then
    echo "FAILED: ravlen-adj $* gave status $status (wanted $want_status):"
    echo "$out"
    failed=1
  else
    echo "ok: ravlen-adj $* -> $status"
  fi
}

check 1 "Unknown option 'bogus'" --bogus
check 1 "Try 'ravlen-adj --help'." -platform xcb --bogus
check 1 "unexpected argument 'stray'" stray
check 1 "Missing value after '--port'" --port
check 0 "--port <DEVICE>" --help
check 0 "ravlen-adj 1.0" --version
[ -z "$(ls -A "$home")" ] || { echo "FAILED: files left in HOME"; failed=1; }
exit $failed
