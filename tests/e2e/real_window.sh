#!/usr/bin/env bash
# The whole utility in a real X window: ravlen-sim on a pseudo-terminal (frame trace
# on), ravlen-adj under Xvfb with a private profile whose COM 1 is the sim's link,
# driven from outside with real key events and clicks (xdotool), as a technician would.
#
#   real_window.sh RAVLEN_ADJ RAVLEN_SIM [--end-by HOW] [SHOT.png] [-- SIM OPTIONS...]
#
# --end-by HOW: after the first adjustments the run ends otherwise than by File, Exit:
# term, hup, int (the signal: ends as File, Exit does), display (the X server goes
# away: ends without a crash, the session's report and the profile saved) or kill
# (SIGKILL: the report lists every adjustment sent).
# SHOT.png: also keep a picture of the connected window there (ImageMagick's import).
# Exit 0 passed, 1 failed, 77 skipped (Xvfb, xdotool or xclip missing: scripts/deps
# installs them).
set -uo pipefail

usage="usage: real_window.sh RAVLEN_ADJ RAVLEN_SIM [--end-by HOW] [SHOT.png] [-- SIM OPTIONS...]"
adj=${1:?$usage}
sim=${2:?$usage}
shift 2
end_by=""
if [ "${1:-}" = "--end-by" ]; then
  end_by=${2:?$usage}
  shift 2
  case $end_by in
    term | hup | int | kill | display) ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
fi
shot=""
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
  shot=$1
  shift
fi
[ "${1:-}" != "--" ] || shift
sim_options=("$@")
limit=${RAVLEN_E2E_LIMIT:-150}  # seconds for the whole run

for tool in Xvfb xdotool xclip; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/deps installs it)."
    exit 77
  fi
done
if [ -n "$shot" ] && ! command -v import >/dev/null; then
  echo "SKIPPED: no 'import' (imagemagick) for the picture."
  exit 77
fi

started=$SECONDS
work=$(mktemp -d "${TMPDIR:-/tmp}/ravlen-e2e.XXXXXX")
# Everything started here keeps to the run's folder, never the user's own files.
mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
declare -A pid=()

note() { printf '[%3ds] %s\n' "$((SECONDS - started))" "$*"; }

stop_all() {
  # The utility first (it lets go of the port), the sim (it writes its image), X last.
  local name
  for name in adj sim xvfb; do
    [ -n "${pid[$name]:-}" ] || continue
    kill -TERM "${pid[$name]}" 2>/dev/null
    for _ in $(seq 50); do kill -0 "${pid[$name]}" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "${pid[$name]}" 2>/dev/null
    wait "${pid[$name]}" 2>/dev/null
    unset "pid[$name]"
  done
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  stop_all
  [ -n "${guard:-}" ] && kill "$guard" 2>/dev/null
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
stopped() {
  if [ -e "$work/timed-out" ]; then fail "no end within $limit s"; fi
  fail "stopped by a signal"
}
trap stopped INT TERM

# A guard outside this shell: it stops the run at the time limit, and if this shell is
# killed outright, ends the processes it started (their ids are in $work/pids).
script=$$
(
  trap '' INT
  for _ in $(seq "$limit"); do kill -0 "$script" 2>/dev/null || break; sleep 1; done
  if kill -0 "$script" 2>/dev/null; then
    : >"$work/timed-out"
    kill -TERM "$script"
  else
    [ -f "$work/pids" ] && xargs -r kill -KILL <"$work/pids" 2>/dev/null
    rm -rf "$work"
  fi
) </dev/null >/dev/null 2>&1 &
guard=$!

started_process() {
  pid[$1]=$2
  printf '%s\n' "${pid[@]}" >"$work/pids"
}

show_logs() {
  local f
  for f in adj.err sim.trace xvfb.log; do
    [ -s "$work/$f" ] || continue
    echo "--- last lines of $f"
    tail -n 25 "$work/$f"
  done
}

fail() {
  echo "FAIL: $*"
  show_logs
  exit 1
}

# wait_until SECONDS WHAT COMMAND...: polls the command every 0.1 s.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || fail "$what: not within ${seconds} s"
    if [ -z "${closing:-}" ] && [ -n "${pid[adj]:-}" ] && ! kill -0 "${pid[adj]}" 2>/dev/null; then
      fail "$what: ravlen-adj ended"
    fi
    [ -z "${watch_boxes:-}" ] || no_message_box "$what"
    sleep 0.1
  done
}

x() { timeout 10 xdotool "$@"; }

# --- X server on a free display, reported by Xvfb itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
started_process xvfb $!
wait_until 20 "Xvfb start" test -s "$work/display"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
display_answers() { xdotool getdisplaygeometry >/dev/null 2>&1; }
wait_until 20 "Xvfb answering on $DISPLAY" display_answers
note "Xvfb on $DISPLAY"

# --- Virtual transceiver on a pseudo-terminal, every frame traced.
bpf_t1=77  # the tuned point of the sim's BPF T1 (the built image holds 69)
"$sim" --link "$work/ttyRig" --trace --save-image "$work/rig.bin" --bpf-t1 "$bpf_t1" \
  "${sim_options[@]}" >"$work/sim.out" 2>"$work/sim.trace" &
started_process sim $!
wait_until 10 "ravlen-sim start" test -L "$work/ttyRig"

# --- Private profile: COM 1 is the sim's terminal; the other lines must survive the save.
mkdir -p "$work/config/ravlen-adj" "$work/run" "$work/cache"
chmod 700 "$work/run"
profile="$work/config/ravlen-adj/TB4410K.rs"
printf '; bench profile\n[PORTS]\nCOM1=%s\n\n[OPTION]\nComPort=1\nComAutoRelease=0\n' \
  "$work/ttyRig" >"$profile"

# A sanitizer build leaves the leaks of X11's system libraries aside.
lsan="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# SIGINT as at a terminal (a background command of a script starts with it ignored).
XDG_RUNTIME_DIR="$work/run" LSAN_OPTIONS="$lsan" QT_QPA_PLATFORM=xcb \
  env --default-signal=INT -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS -u QT_FONT_DPI -u QT_STYLE_OVERRIDE \
  "$adj" >"$work/adj.out" 2>"$work/adj.err" &
started_process adj $!

visible_windows() { xdotool search --onlyvisible --name '^Ravlen ADJ' 2>/dev/null; }
one_window() { [ "$(visible_windows | wc -l)" -ge 1 ]; }
wait_until 30 "the window" one_window
win=$(visible_windows | head -n 1)
[ "$(xdotool getwindowname "$win")" = "Ravlen ADJ Rev.1.0" ] ||
  fail "window title is '$(xdotool getwindowname "$win")'"
eval "$(xdotool getwindowgeometry --shell "$win")"  # X Y WIDTH HEIGHT
note "window $win at $X,$Y, $WIDTH x $HEIGHT"
# 9525 twips wide; 8500 high on a screen taller than 10000 twips (15 twips a pixel).
[ "$WIDTH" -eq 635 ] || fail "window width $WIDTH, expected 635"
[ "$HEIGHT" -eq 567 ] || fail "window height $HEIGHT, expected 567"

# No window manager here: the window gets the keyboard focus as a click would give it.
x windowfocus --sync "$win" || fail "cannot focus the window"

# Windows of the utility besides the main one: menus, message boxes.
other_windows() { xdotool search --onlyvisible --pid "${pid[adj]}" 2>/dev/null | grep -vx "$win"; }
no_other_window() { [ -z "$(other_windows)" ]; }
some_other_window() { [ -n "$(other_windows)" ]; }
# A message box of the utility is a second window titled like the main one.
no_message_box() {
  local w
  for w in $(other_windows); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "Ravlen ADJ Rev.1.0" ] && fail "$1: a message box appeared"
  done
  return 0
}

# The menu bar's height, read off the place where the Option menu drops down.
x key alt+o
wait_until 10 "the Option menu" some_other_window
eval "$(xdotool getwindowgeometry --shell "$(other_windows | head -n 1)" | sed 's/^/MENU_/')"
menu_bar=$((MENU_Y - Y))
x key Escape Escape
wait_until 10 "the Option menu closing" no_other_window
if [ "$menu_bar" -lt 10 ] || [ "$menu_bar" -gt 60 ]; then fail "menu bar height $menu_bar"; fi

# The three buttons stand centred in a row, 1800 x 330 twips, 120 apart and 120 below
# the separator line under the menu bar; this clicks the middle of button i.
click_button() {
  local cx cy
  cx=$(((WIDTH * 15 - 5640) / 2 / 15 + $1 * 128 + 60))
  cy=$((menu_bar + 1 + 8 + 11))
  x mousemove --window "$win" "$cx" "$cy" click 1 || fail "cannot click button $1"
}

# --- The sim's trace: "[ms] PC>RIG FE FE EE EF E8 29 28 01 00 05 37 41 FD".
pc_frames() { sed -n 's/^\[[0-9A-F]*\] PC>RIG //p' "$work/sim.trace"; }
# E8 frame of command c (two hex digits) with any value.
e8() { echo "^FE FE EE EF E8 29 28 [0-9A-F]{2} [0-9A-F]{2} $1 [0-9A-F]{2} [0-9A-F]{2} FD\$"; }
# E8 frame of command c with value v (0 to 255): the value travels as two ASCII hex digits.
e8v() {
  local digits
  digits=$(printf '%02X' "$2")
  printf '^FE FE EE EF E8 29 28 [0-9A-F]{2} [0-9A-F]{2} %s %02X %02X FD$\n' "$1" "'${digits:0:1}" "'${digits:1:1}"
}
read_ad() { e8v 03 "$1"; }  # A/D or D/A read request of channel code n
# Two ASCII hex digits, given as the codes of their characters, as a number: 37 41 is 122.
ascii_value() { printf '%d\n' "0x$(printf '%b' "\\x$1\\x$2")"; }
count_pc() { pc_frames | grep -cE "$1"; }
# The values the E8 frames of command c carried, in order, one a line.
e8_values() {
  local a b
  pc_frames | grep -E "$(e8 "$1")" | while read -r _ _ _ _ _ _ _ _ _ _ a b _; do
    ascii_value "$a" "$b"
  done
}
# in_order WHAT REGEX...: the PC's frames hold matches of the patterns in this order.
in_order() {
  local what=$1 n=0
  shift
  local patterns=("$@") line
  while read -r line; do
    [ "$n" -lt "${#patterns[@]}" ] || break
    [[ "$line" =~ ${patterns[$n]} ]] && n=$((n + 1))
  done < <(pc_frames)
  [ "$n" -eq "${#patterns[@]}" ] || fail "$what: frame ${patterns[$n]} missing or out of order"
}
at_least() { [ "$(count_pc "$1")" -ge "$2" ]; }
answered() { [ "$(tail -n 1 "$work/sim.trace" | grep -c ' RIG>PC ')" -eq 1 ]; }

watch_boxes=1
# --- Connect: identification, clone read, first readings, every row sent, the cycle.
click_button 0
note "Connect pressed"
# The service cycle's first pass reads the nine D/A outputs; the last is code 15.
wait_until 60 "the service cycle" at_least "$(read_ad 15)" 1
wait_until 10 "the answer to the last D/A read" answered
no_message_box "Connect"
note "connected: $(count_pc .) frames from the PC"

# --- Step the REF row (index 8): Right, then Shift+Right.
ref_first=$(e8_values 05 | head -n 1)
[ -n "$ref_first" ] || fail "no E8 command 05 (REF) among the first rows sent"
x key --delay 40 Home Down Down Down Down Down Down Down Down Right
wait_until 10 "REF + 1 sent" at_least "$(e8v 05 $((ref_first + 1)))" 1
x key shift+Right
ref=$((ref_first + 6))
wait_until 10 "REF + 5 more sent" at_least "$(e8v 05 "$ref")" 1
note "REF stepped $ref_first -> $ref"

# --- The session's files: private, the report written as the session goes.
backups="$work/data/ravlen-adj/backups"
report=$(ls "$backups"/*_report.txt 2>/dev/null)
[ "$(printf '%s' "$report" | grep -c .)" -eq 1 ] || fail "not one report in $backups: $(ls "$backups" 2>&1)"
[ "$(stat -c %a "$backups")" = 700 ] || fail "backups folder mode $(stat -c %a "$backups")"
all_private() {
  local f
  for f in "$@"; do
    [ "$(stat -c %a "$f")" = 600 ] || fail "$(basename "$f") mode $(stat -c %a "$f")"
  done
}
all_private "$backups"/*
reported() { grep -qE "^[0-9:]{8}  row 8 REF: $1 -> $2\$" "$report"; }
both_reported() { reported "$ref_first" $((ref_first + 1)) && reported $((ref_first + 1)) "$ref"; }
saved() { grep -qx "$1" "$profile" || fail "profile lacks the line '$1': $(tr '\n' '|' <"$profile")"; }

if [ -n "$end_by" ]; then
  x key alt+o a 2
  wait_until 10 "the menu closing" no_other_window
  watch_boxes=""
  closing=1
  case $end_by in
    kill) kill -KILL "${pid[adj]}" ;;
    display) kill -TERM "${pid[xvfb]}" ;;
    *) kill -s "${end_by^^}" "${pid[adj]}" ;;
  esac
  adj_ended() { ! kill -0 "${pid[adj]}" 2>/dev/null; }
  wait_until 20 "ravlen-adj ending" adj_ended
  wait "${pid[adj]}" 2>/dev/null
  status=$?
  unset 'pid[adj]'
  note "ended by $end_by: status $status"
  both_reported || fail "the report lacks the REF adjustments: $(cat "$report")"
  if [ "$end_by" = kill ]; then
    [ "$status" -eq 137 ] || fail "ravlen-adj ended with status $status after SIGKILL"
    ! grep -q '^Ended:' "$report" || fail "a killed run's report says it ended"
  else
    if [ "$end_by" = display ]; then
      # Qt's X11 plugin ends the run with status 1 when its display goes.
      [ "$status" -eq 1 ] || fail "ravlen-adj ended with status $status when the display went"
      grep -vq 'X11 connection broke' "$work/adj.err" && fail "ravlen-adj wrote to stderr: $(head -n 3 "$work/adj.err")"
    else
      [ "$status" -eq 0 ] || fail "ravlen-adj ended with status $status after SIG${end_by^^}"
      [ ! -s "$work/adj.err" ] || fail "ravlen-adj wrote to stderr: $(head -n 3 "$work/adj.err")"
    fi
    grep -q '^Ended:' "$report" && grep -qx 'Adjustments sent: 2' "$report" && grep -q '^+++ after$' "$report" ||
      fail "the report is not complete: $(cat "$report")"
    saved "ComAutoRelease=2"
    saved "COM1=$work/ttyRig"
  fi
  echo "PASSED in $((SECONDS - started)) s"
  exit 0
fi

# --- Ctrl+Z with the console focused takes the Shift step back; Edit, Revert lists the
# REF row and its default button (Return) sends the value read; Verify, offered by the
# default button of the window that follows, reads the memory back and finds it equal.
x key ctrl+z
wait_until 10 "REF undone to +1" at_least "$(e8v 05 $((ref_first + 1)))" 2
# window_named TITLE: a window of the utility besides the main one, by its title.
window_named() {
  local w
  for w in $(other_windows); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ] && echo "$w"
  done | tail -n 1
}
named_shown() { [ -n "$(window_named "$1")" ]; }
# No window manager: a new window gets the keyboard as a click on it would give it.
focus_named() {
  wait_until 10 "the window '$1'" named_shown "$1"
  sleep 0.3
  x windowfocus --sync "$(window_named "$1")" || fail "cannot focus '$1'"
}
x key alt+e v
focus_named "Revert to the values read"
x key Return
wait_until 10 "REF reverted to the value read" at_least "$(e8v 05 "$ref_first")" 2
clone_reads=$(count_pc '^FE FE EE EF E2 ')
sleep 1
focus_named "Revert to the values read"
x key Return
wait_until 30 "the read-back" at_least '^FE FE EE EF E2 ' $((clone_reads + 1))
read_back() { [ "$(grep -c ' RIG>PC FE FE EF EE E5 ' "$work/sim.trace")" -ge 2 ]; }
wait_until 30 "the end of the read-back" read_back
sleep 1
focus_named "Verify against the transceiver"
x key Escape
wait_until 10 "the result window closing" no_other_window
x windowfocus --sync "$win" || fail "cannot focus the window"
ref=$ref_first
note "REF undone and reverted to $ref, verified"

# --- Reload(F5): the live values are read again. A reload has come when the last D/A
# output (code 15) has been read more often than the first (code 16) was before.
da_reads=$(count_pc "$(read_ad 16)")
click_button 1
wait_until 10 "the reload after Reload(F5)" at_least "$(read_ad 15)" $((da_reads + 1))
wait_until 10 "the answer to the last D/A read" answered
no_message_box "Reload(F5)"

# --- Disp para: the parameter text, copied as a technician would copy it.
click_button 2
sleep 0.5
x mousemove --window "$win" $((WIDTH / 2)) $((HEIGHT / 2)) click 1
para_copied() {
  x key ctrl+a ctrl+c
  timeout 5 xclip -o -selection clipboard >"$work/para.txt" 2>/dev/null && [ -s "$work/para.txt" ]
}
wait_until 10 "the parameter text on the clipboard" para_copied
grep -qE "^ *REF Level: +$ref\r?\$" "$work/para.txt" ||
  fail "parameter text lacks 'REF Level: $ref': $(grep REF "$work/para.txt")"
note "parameter text: $(wc -l <"$work/para.txt") lines"
# Back to the console: the cycle goes on, F5 reads the live values again.
click_button 2
sleep 0.5
da_reads=$(count_pc "$(read_ad 16)")
x key F5
wait_until 10 "the reload after F5" at_least "$(read_ad 15)" $((da_reads + 1))
wait_until 10 "the answer to the last D/A read" answered
no_message_box "Disp para"

# --- Automatic adjustment: Enter on the BPF T1 row (index 10) sweeps 0 to 255, one
# SD reading (A/D code 4) a point, and leaves the row at the middle of the best plateau:
# the filter's tuned point in the sim's model.
console_y=$((menu_bar + 1 + (15 + 120 + 330 + 180 + 2400 + 120) / 15 + 8))  # the top row
x mousemove --window "$win" $((WIDTH / 2)) "$console_y" click 1
bpf_before=$(count_pc "$(e8 13)")
x key --delay 40 Home Down Down Down Down Down Down Down Down Down Down Return
sweep_ended() {
  [ "$(count_pc "$(e8 13)")" -ge $((bpf_before + 257)) ] &&
    [ "$(e8_values 13 | tail -n 1)" != 255 ]
}
wait_until 60 "the BPF T1 sweep" sweep_ended
sweep=()
for v in $(seq 0 255); do sweep+=("$(e8v 13 "$v")" "$(read_ad 4)"); done
in_order "BPF T1 sweep" "${sweep[@]}" "$(e8v 13 "$bpf_t1")"
bpf_result=$(e8_values 13 | tail -n 1)
[ "$bpf_result" = "$bpf_t1" ] || fail "BPF T1 sweep ended at $bpf_result, the model's point is $bpf_t1"
note "BPF T1 swept to $bpf_result"
# Its curve beside the backup, as private as the backup.
wait_until 10 "the sweep's curve picture" test -s "$(printf '%s' "$report" | sed 's/_report.txt$/_curve-01.png/')"
all_private "$backups"/*curve-01*
no_message_box "BPF T1"
# The live values once more, the filter's D/A output now at its new point.
da_reads=$(count_pc "$(read_ad 16)")
x key F5
wait_until 10 "the reload after the sweep" at_least "$(read_ad 15)" $((da_reads + 1))
wait_until 10 "the answer to the last D/A read" answered

if [ -n "$shot" ]; then
  sleep 0.5
  import -window "$win" "$shot" || fail "no picture"
  note "picture in $shot"
fi

# --- RSSI capture (the last row): Enter starts reading SD, the next Enter stores the
# reading as S3 (command 16), the one after as S1 (command 15) and ends.
x key End Return
sd_reads=$(count_pc "$(read_ad 4)")
wait_until 10 "the RSSI level readings" at_least "$(read_ad 4)" $((sd_reads + 2))
x key Return
wait_until 10 "the S3 level sent" at_least "$(e8 16)" 1
# As a technician waits for "RSSI S1 Level": the capture starts reading anew first.
sd_reads=$(count_pc "$(read_ad 4)")
wait_until 10 "the S1 level readings" at_least "$(read_ad 4)" $((sd_reads + 2))
x key Return
wait_until 10 "the S1 level sent" at_least "$(e8 15)" 1
# The value a frame of command c carried must be the SD reading answered just before it.
reading_before() {
  local line a b
  line=$(grep -nE " PC>RIG $(e8 "$1" | cut -c2-)" "$work/sim.trace" | head -n 1 | cut -d: -f1)
  read -r _ _ _ _ _ _ _ _ _ _ _ _ a b _ < <(head -n "$line" "$work/sim.trace" | grep ' RIG>PC ' | tail -n 1)
  ascii_value "$a" "$b"
}
rssi_s3=$(e8_values 16)
rssi_s1=$(e8_values 15)
[ "$rssi_s3" = "$(reading_before 16)" ] || fail "S3 level $rssi_s3, the reading was $(reading_before 16)"
[ "$rssi_s1" = "$(reading_before 15)" ] || fail "S1 level $rssi_s1, the reading was $(reading_before 15)"
note "RSSI S3 $rssi_s3, S1 $rssi_s1"
no_message_box "RSSI"

# --- LVA search: the target row LV(RX LVA) (index 14) two steps down, then Enter on
# RX LVA (index 12). The sim's LVIN follows the LVA value, so the bisection of 0 to 255
# must go 128, 192, 160, 144, 152 and end on the target.
lv_rx=150  # the built image's RX LVA target level (byte 174)
lv_target=$((lv_rx - 2))
x key --delay 40 Up Up Left Left Up Up Return
lva_found() {
  [ "$(e8_values 06 | tail -n 1)" = "$lv_target" ] && answered &&
    [ "$(read_after_last 06)" = "$lv_target" ]
}
# The LVIN reading answered after the last frame of command c.
read_after_last() {
  local line a b
  line=$(grep -nE " PC>RIG $(e8 "$1" | cut -c2-)" "$work/sim.trace" | tail -n 1 | cut -d: -f1)
  read -r _ _ _ _ _ _ _ _ _ _ _ _ a b _ < <(tail -n "+$line" "$work/sim.trace" |
    grep -A1 -E " PC>RIG $(read_ad 5 | cut -c2-)" | grep ' RIG>PC ' | tail -n 1)
  [ -n "${a:-}" ] && ascii_value "$a" "$b"
}
wait_until 30 "the RX LVA search" lva_found
lva_steps=()
for v in 0 255 128 192 160 144 152 "$lv_target"; do lva_steps+=("$(e8v 06 "$v")" "$(read_ad 5)"); done
in_order "RX LVA search" "${lva_steps[@]}"
note "RX LVA searched to $lv_target"
no_message_box "RX LVA"

# --- Option, Auto port release, 2 sec: saved on closing.
watch_boxes=""
x key alt+o a 2
wait_until 10 "the menu closing" no_other_window

# --- File, Exit.
x key alt+f x
closing=1  # its end is awaited now, not a failure
adj_ended() { ! kill -0 "${pid[adj]}" 2>/dev/null; }
wait_until 20 "ravlen-adj closing" adj_ended
wait "${pid[adj]}"
status=$?
unset 'pid[adj]'
[ "$status" -eq 0 ] || fail "ravlen-adj ended with status $status"
note "window closed"
[ ! -s "$work/adj.err" ] || fail "ravlen-adj wrote to stderr: $(head -n 3 "$work/adj.err")"
grep -q '^Ended:' "$report" || fail "the report is not complete: $(cat "$report")"

# --- The road of a connection, in the frames the transceiver received.
in_order "connection" "^FE FE EE EF E0 29 28 00 00 FD\$" "^FE FE EE EF E2 29 28 " \
  "$(read_ad 0)" "$(read_ad 3)" "$(read_ad 5)" "$(read_ad 4)" "$(read_ad 0)" "$(e8v 02 1)" \
  "$(e8v 05 "$ref_first")" "$(read_ad 0)" "$(read_ad 3)" "$(read_ad 5)" "$(read_ad 4)" "$(read_ad 0)" \
  "$(read_ad 16)" "$(read_ad 17)" "$(read_ad 18)" "$(read_ad 19)" "$(read_ad 12)" "$(read_ad 13)" \
  "$(read_ad 14)" "$(read_ad 11)" "$(read_ad 15)" \
  "$(e8v 05 $((ref_first + 1)))" "$(e8v 05 $((ref_first + 6)))" "$(e8v 05 $((ref_first + 1)))" "$(e8v 05 "$ref_first")"
grep -qE ' RIG>PC FE FE EF EE E5 ' "$work/sim.trace" || fail "no E5 end frame of the clone read"
[ "$(e8_values 05 | tr '\n' ' ')" = "$ref_first $((ref_first + 1)) $((ref_first + 6)) $((ref_first + 1)) $ref_first " ] ||
  fail "REF commands carried $(e8_values 05 | tr '\n' ' ')"

# --- The saved profile: the chosen release time, the port, and the lines it did not own.
saved "ComAutoRelease=2"
saved "ComPort=1"
saved "COM1=$work/ttyRig"
saved "; bench profile"

# --- The transceiver's memory after the session (written by the sim on its way out).
kill -TERM "${pid[sim]}"
wait "${pid[sim]}"
status=$?
unset 'pid[sim]'
[ "$status" -eq 0 ] || fail "ravlen-sim ended with status $status"
rig_byte() { od -An -tu1 -j "$1" -N1 "$work/rig.bin" | tr -d ' '; }
[ "$(rig_byte 173)" = "$ref" ] || fail "transceiver's REF byte is $(rig_byte 173), expected $ref"
[ "$(rig_byte 84)" = "$bpf_t1" ] || fail "transceiver's BPF T1 byte is $(rig_byte 84), expected $bpf_t1"
[ "$(rig_byte 174)" = "$lv_rx" ] || fail "transceiver's RX LVA target byte is $(rig_byte 174), not $lv_rx"
[ "$(rig_byte 92)" = "$lv_target" ] || fail "transceiver's RX LVA byte is $(rig_byte 92), expected $lv_target"
[ "$(rig_byte 170)" = "$rssi_s3" ] || fail "transceiver's RSSI S3 byte is $(rig_byte 170), expected $rssi_s3"
[ "$(rig_byte 169)" = "$rssi_s1" ] || fail "transceiver's RSSI S1 byte is $(rig_byte 169), expected $rssi_s1"

echo "PASSED in $((SECONDS - started)) s"
