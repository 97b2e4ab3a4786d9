#!/usr/bin/env bash
# dialog-session.sh COMMAND...: runs COMMAND (a Windows test under Wine) with
# a private X display and an answerer for Dravik's dialogs, and stops both
# afterwards.
#
# The test queues the answers: one file per answer in $DRAVIK_DIALOGS/queue,
# named "<sequence>-<kind>" (kinds: overwrite, input, warning) and holding
# "ok", "cancel" or, for the input dialog, the Windows path to type. When a
# dialog appears, the answerer takes the oldest answer of its kind (Cancel or
# OK by default when none is queued) and appends "<kind> <answer>" to
# $DRAVIK_DIALOGS/log, so the test sees which dialogs were shown.
#
# Without Xvfb, xdotool or xwininfo the command runs with no display and no
# DRAVIK_DIALOGS; tests that need dialogs then skip and say why.
set -uo pipefail

if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null ||
   ! command -v xwininfo >/dev/null; then
  echo "dialog-session: Xvfb, xdotool or xwininfo (x11-utils) missing; dialog tests skip" >&2
  env -u DISPLAY -u DRAVIK_DIALOGS "$@"
  exit $?
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/dravik-dialogs.XXXXXX")
mkdir -p "$work/queue"
: >"$work/log"
xvfb_pid=
answerer_pid=
cleanup() {
  [ -n "$answerer_pid" ] && kill "$answerer_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# -displayfd picks a free display, so parallel sessions never share one.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "dialog-session: Xvfb did not start; dialog tests skip" >&2
  env -u DISPLAY -u DRAVIK_DIALOGS "$@"
  exit $?
fi
export DISPLAY=":$(head -1 "$work/display")"
export DRAVIK_DIALOGS="$work"

# The oldest queued answer for a kind, taken out of the queue.
take_answer() {
  local kind=$1 file
  file=$(ls "$work/queue" 2>/dev/null | grep -E "^[0-9]+-$kind\$" | sort | head -1)
  [ -n "$file" ] || return 1
  cat "$work/queue/$file"
  rm -f "$work/queue/$file"
}

# The keys for one answer. The input dialog's name field is selected first,
# so that sending the answer again replaces what a lost Return left there.
send_keys() {
  local window=$1 kind=$2 answer=$3
  # Focus first, then a plain key: keys sent to a window directly sometimes
  # arrive twice and close the next dialog too.
  xdotool windowfocus --sync "$window" 2>/dev/null || return
  case "$kind:$answer" in
    overwrite:ok | warning:*) xdotool key Return ;;
    overwrite:* | input:cancel | input:default) xdotool key Escape ;;
    input:*) xdotool key ctrl+a; xdotool type --delay 10 "$answer"; xdotool key Return ;;
  esac
}

# Whether the answered window is still up, asked cheaply and often: the next
# dialog may come up in the same X window right after, and only an unmapped
# moment in between tells the two apart.
visible() { xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }

# Answers one dialog, and waits until its window is gone: Wine may give the
# next dialog the same window id, so ids cannot tell an answered dialog from a
# new one. A dialog just mapped sometimes loses the first keys (more so on a
# busy machine): while it stays, the same answer is sent again.
answer() {
  local window=$1 kind answer
  case "$(xdotool getwindowname "$window" 2>/dev/null)" in
    "File Already Exists") kind=overwrite ;;
    "Dravik Filter failure") kind=warning ;;
    "Enter or re-enter"*) kind=input ;;
    *) return ;;
  esac
  answer=$(take_answer "$kind") || answer=default
  echo "$kind $answer" >>"$work/log"
  sleep 0.3
  for _ in $(seq 10); do
    send_keys "$window" "$kind" "$answer"
    for _ in $(seq 150); do
      visible "$window" || return
      sleep 0.02
    done
  done
}

dialogs() {
  xdotool search --onlyvisible --name \
    '^(File Already Exists|Dravik Filter failure)$|^Enter or re-enter' 2>/dev/null
}

answer_dialogs() {
  while :; do
    for window in $(dialogs); do
      answer "$window"
      break
    done
    sleep 0.1
  done
}
answer_dialogs </dev/null >/dev/null 2>&1 &
answerer_pid=$!

# A Wine prefix of the session's own: Wine's desktop process, started by the
# first program of a server, decides for every later one whether windows go
# to an X display. The shared test prefix's server may have been started by
# a test without a display, and then no dialog could ever be shown here.
bash "$(dirname "$0")/fresh-wine-prefix.sh" "$@"
