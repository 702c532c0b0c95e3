#!/usr/bin/env bash
# How long the test suites take on a fresh clone of the committed tree (not a test):
#   1. the full scripts/test with an empty ccache (cold),
#   2. the full scripts/test again after a one-file change (warm cache),
#   3. scripts/test --quick after another one-file change.
# The clone and its cache live in a temporary folder; the user's own cache is left alone.
# Prints one line per run with its wall time in seconds.
#
#   bench/test_times.sh [--quick-only]
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d /tmp/kt210v-test-times.XXXXXX)
trap 'rm -rf "$work"' EXIT
git clone -q . "$work/clone"
export CCACHE_DIR="$work/ccache"
clone="$work/clone"

timed() {  # label, command...
  local label=$1; shift
  local start end
  start=$(date +%s.%N)
  if ! (cd "$clone" && "$@" > "$work/$label.log" 2>&1); then
    echo "$label: failed; last lines of its log:" >&2
    tail -n 30 "$work/$label.log" >&2
    exit 1
  fi
  end=$(date +%s.%N)
  awk -v l="$label" -v s="$start" -v e="$end" 'BEGIN { printf "%-40s %6.0f s\n", l, e - s }'
}

# A change to one source file that every program and suite links (a new object file).
edit_one_file() {
  printf '\nnamespace {\n[[maybe_unused]] const int kTimingEdit%s = 1;\n}\n' "$1" \
    >> "$clone/device/Decoder.cpp"
}

if [ "${1:-}" = "--quick-only" ]; then
  timed "quick, cold cache" scripts/test --quick
  edit_one_file 1
  timed "quick, after a one-file change" scripts/test --quick
  exit 0
fi
timed "full, cold cache" scripts/test
edit_one_file 1
timed "full, warm cache, one file changed" scripts/test
edit_one_file 2
timed "quick, one file changed" scripts/test --quick
