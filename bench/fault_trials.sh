#!/usr/bin/env bash
# The fault trials many times over (kt210v-trials, in-process simulator, offscreen
# windows): the cable pulled and plugged back 100 times in a row, with reconnection off
# and on, a faulty line while sampling and writing, torn measurement frames, bytes lost at
# a 10 ms period, a second program on the port, saves killed with SIGKILL, runs of the
# window and of kt210v-cli record killed with SIGKILL and put back from their journals,
# and the longest event-loop stall while sampling in real time with the chart recording
# and autoodczyt on. Prints one line per trial with the count of runs survived; the
# trials' warnings go to a log whose tail is shown on a failure.
#
#   bench/fault_trials.sh      (build folder: $KT_BUILD_DIR, default build-bench/;
#                               KT_PULLS, KT_LINE_RUNS, KT_KILLS, KT_SETTINGS_KILLS,
#                               KT_RUN_KILLS change the run counts)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${KT_BUILD_DIR:-$(pwd)/build-bench}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKT_WERROR=ON > /dev/null
cmake --build "$build" --target kt210v-trials kt210v-cli -j "$(nproc)" > /dev/null
trials="$build/tests/ui/kt210v-trials"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
log=$(mktemp /tmp/kt210v-trials.XXXXXX)
trap 'rm -f "$log"' EXIT

status=0
run() {
  if ! "$trials" "$@" 2>> "$log"; then
    status=1
    echo "kt210v-trials $* failed; last lines of its log:" >&2
    grep -v "warning: port" "$log" | tail -n 15 >&2
  fi
}
run pulls --runs "${KT_PULLS:-100}"
run reconnect-pulls --runs "${KT_PULLS:-100}"
run faulty-line --runs "${KT_LINE_RUNS:-10}" --seconds 10
run torn --runs 10 --seconds 3
run lost-bytes --runs 10 --seconds 10
run second-program --runs 20
run killed-save --runs "${KT_KILLS:-100}"
run killed-settings --runs "${KT_SETTINGS_KILLS:-1000}"
run killed-runs --runs "${KT_RUN_KILLS:-20}"
run stall --seconds 30
exit "$status"
