#!/usr/bin/env bash
# Kills the program with SIGKILL at random moments after it was told to close following an article
# text search, that is during its catalogue's write-back. After every kill the
# catalogue must still be a whole data packet with every species; temporaries that killed writes
# left are counted, and the last, unkilled write-back must leave none of them behind.
# Runs on a build in build/ under its own Xvfb. Usage: scripts/kill-write-back.sh [kills] [species]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kills=${1:-20}
species=${2:-20000}
program=$root/build/catalogue/Orvela
"$root/scripts/deps.sh"
[ -x "$program" ] || { echo "build the program first (cmake --build build)" >&2; exit 2; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

"$root/build/tools/generate/generate_catalogue" "$species" "$work"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
openbox >/dev/null 2>&1 &
pids+=($!)
cd "$work"

whole() {
  python3 - "$species" <<'EOF'
import sys, xml.etree.ElementTree as tree
root = tree.parse("Orvela.xml", tree.XMLParser(encoding="cp1250")).getroot()
rows = root.find("ROWDATA").findall("ROW")
sys.exit(0 if root.tag == "DATAPACKET" and len(rows) == int(sys.argv[1]) else 1)
EOF
}
temporaries() { find . -maxdepth 1 -name 'Orvela.xml.writing.*' | wc -l; }

# One run: search for the word, close the window, and kill after the delay in seconds (none: let it end).
# Prints the seconds from the close to the end of the process.
run() {
  local word=$1 delay=${2:-}
  "$program" >/dev/null 2>&1 &
  local app=$!
  local window
  window=$(timeout 120 xdotool search --sync --onlyvisible --pid "$app" --name '^Orvela$' | head -n 1)
  sleep 1
  xdotool mousemove --window "$window" 170 17 click 1 # the article text field
  xdotool type --delay 20 "$word"
  xdotool key Return
  # The search ends with a box that names the number found; OK it, then close the window.
  until [ "$(xdotool search --onlyvisible --pid "$app" --name '^Orvela$' | wc -l)" -ge 2 ]; do sleep 0.1; done
  xdotool key Return
  sleep 0.3
  xdotool key alt+F4
  local start
  start=$(date +%s.%N)
  if [ -n "$delay" ]; then
    sleep "$delay"
    kill -KILL "$app" 2>/dev/null || true
  fi
  wait "$app" 2>/dev/null || true
  python3 -c "import time; print(round(time.time() - $start, 3))"
}

words=(kořen květ)
full=$(run "${words[0]}")
echo "a search and a whole write-back of $species species take ${full}s after the close"
corrupt=0 littered=0
for i in $(seq "$kills"); do
  delay=$(python3 -c "import random; print(round(random.uniform(0, $full), 3))")
  before=$(temporaries)
  run "${words[i % 2]}" "$delay" >/dev/null
  whole || { corrupt=$((corrupt + 1)); echo "kill $i after ${delay}s: the catalogue is damaged"; }
  after=$(temporaries)
  [ "$after" -gt "$before" ] && littered=$((littered + 1))
  echo "kill $i after ${delay}s: $after temporaries beside the catalogue"
done
# Two whole runs with different words: at least one of them changes the marks and writes back.
run "${words[0]}" >/dev/null
run "${words[1]}" >/dev/null
left=$(temporaries)
echo "$kills kills: $corrupt damaged catalogues, $littered left a temporary; after the next write-back $left remain"
whole && [ "$corrupt" -eq 0 ] && [ "$left" -eq 0 ]
