#!/usr/bin/env bash
# Starts the built program in a copy of the sample catalogue under Xvfb with a window manager, waits for
# its window, closes it with Alt+F4 and checks that it ended well and left the catalogue as it was.
set -euo pipefail
catalogue=$1
work=$(mktemp -d)
cleanup() {
  [ -n "${program:-}" ] && kill "$program" 2>/dev/null || true
  [ -n "${manager:-}" ] && kill "$manager" 2>/dev/null || true
  [ -n "${server:-}" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cp -r "$catalogue" "$work/catalogue"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM
openbox >"$work/openbox.log" 2>&1 &
manager=$!
sleep 0.5

cd "$work/catalogue"
before=$(sha256sum Orvela.xml)
./Orvela >"$work/orvela.log" 2>&1 &
program=$!

window=""
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name '^Orvela$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "the window titled Orvela did not appear"; cat "$work/orvela.log"; exit 1
fi
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 0.3
xdotool key --clearmodifiers alt+F4

status=""
for _ in $(seq 100); do
  if ! kill -0 "$program" 2>/dev/null; then
    wait "$program" && status=0 || status=$?
    break
  fi
  sleep 0.1
done
program=""
if [ -z "$status" ]; then echo "the program did not end after Alt+F4"; exit 1; fi
if [ "$status" -ne 0 ]; then echo "exit status $status"; cat "$work/orvela.log"; exit 1; fi
after=$(sha256sum Orvela.xml)
if [ "$before" != "$after" ]; then echo "Orvela.xml changed"; exit 1; fi
echo "started, showed its window, closed with Alt+F4, exit 0, catalogue unchanged"
