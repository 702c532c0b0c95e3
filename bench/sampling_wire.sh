#!/usr/bin/env bash
# Sampling over a simulated 57600 bit/s line: kt210v-cli sample against kt210v-sim --wire
# with three sensors reporting cycle counts (a 27-byte measurement frame).
#  - real time, with frame-exact reads and with reads that end only after 40 ms of silence
#    (wire bound: 8 + 27 bytes = 6.08 ms a sample);
#  - fixed 10 ms period: request spacing (median) and decoded samples a second.
set -euo pipefail
build=${KT_BUILD_DIR:-build-bench}
sim=$(realpath "$build/sim/kt210v-sim")
cli=$(realpath "$build/tools/kt210v-cli")
work=$(mktemp -d)
trap 'kill "$simpid" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

"$sim" --link "$work/COM1" --wire --cycles --log > "$work/sim.log" 2>&1 &
simpid=$!
for _ in $(seq 50); do [ -e "$work/COM1" ] && break; sleep 0.1; done

run() {  # label, sample arguments...
  local label=$1; shift
  (cd "$work" && "$cli" sample "$@" > "$work/out.csv" 2> "$work/err.txt") || true
  printf '%-44s %s\n' "$label" "$(grep -o 'samples=.*' "$work/err.txt")"
}

run "real time, frame-exact reads:" --realtime --duration 5
run "real time, reads end after 40 ms silence:" --realtime --duration 5 --inter-byte-reads
: > "$work/sim.log"
run "fixed 10 ms period:" --period 10 --duration 5
# Spacing of the measurement requests as the simulator received them (its log stamps).
awk '/<< F1 F1 07/ { if (p) print ($1 - p) * 1000; p = $1 }' "$work/sim.log" | sort -n |
  awk '{ v[NR] = $1 } END { if (NR) printf "%-44s median %.2f ms over %d gaps\n",
                            "fixed 10 ms, request spacing:", v[int((NR + 1) / 2)], NR }'
