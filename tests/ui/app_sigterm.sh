#!/usr/bin/env bash
# The program ends with status 0 on SIGTERM and on SIGINT, also while a modal message box
# is open: here "Nie znaleziono wybranego portu COM", since COM1 in its start-up
# directory leads nowhere. A config.ini that is a pipe neither holds up the start nor
# keeps the signal from being answered; and under a file-size limit of 0 the settings
# save at the close fails with its reason and leaves no temporary file, rather than the
# limit's signal ending the program.
#   app_sigterm.sh PATH_TO_kt210v-pc
set -u
program=$(realpath "$1")
dir=$(mktemp -d /tmp/kt210v-sigterm.XXXXXX)
trap 'rm -rf "$dir"' EXIT
export QT_QPA_PLATFORM=offscreen

# run FOLDER SIGNAL FILE_SIZE_LIMIT: starts the program in FOLDER, sends the signal and
# expects status 0. Its output reaches FOLDER/out.log through a pipe, which the limit
# does not apply to.
run() {
  local folder=$1 signal=$2 limit=$3
  rm -f "$folder/log.pipe"
  mkfifo "$folder/log.pipe"
  cat "$folder/log.pipe" > "$folder/out.log" &
  local reader=$!
  (cd "$folder" && ulimit -f "$limit" && exec "$program") > "$folder/log.pipe" 2>&1 &
  local pid=$!
  sleep 2.5  # past the automatic connection at one second and its message box
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    echo "$folder: the program ended (status $?) before SIG$signal"; wait "$reader"
    cat "$folder/out.log"; return 1
  fi
  kill -"$signal" "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "$folder: SIG$signal did not end the program"; kill -KILL "$pid"; return 1
  fi
  wait "$pid"
  local rc=$?
  wait "$reader"
  echo "$folder SIG$signal: exit status $rc"
  [ "$rc" -eq 0 ]
}

# expect FOLDER TEXT: the program's output holds TEXT.
expect() {
  grep -qF "$2" "$1/out.log" || { echo "$1: no \"$2\" in:"; cat "$1/out.log"; return 1; }
}

status=0
for case in plain pipe limit; do
  mkdir "$dir/$case"
  ln -s /nonexistent/serial-port "$dir/$case/COM1"
done
mkfifo "$dir/pipe/config.ini"

for signal in TERM INT; do run "$dir/plain" "$signal" unlimited || status=1; done
run "$dir/pipe" TERM unlimited || status=1
expect "$dir/pipe" "config.ini: cannot be read (not a regular file)" || status=1
run "$dir/limit" TERM 0 || status=1
expect "$dir/limit" "config.ini: not written: File too large" || status=1
if ls -A "$dir/limit" | grep -q '\.tmp$'; then
  echo "a temporary file was left behind"; ls -A "$dir/limit"; status=1
fi
exit $status
