#!/usr/bin/env bash
# The program ends with status 0 on SIGTERM and on SIGINT, also while a modal message box
# is open: here "Nie znaleziono wybranego portu COM", since COM1 in its start-up
# directory leads nowhere. So it does with config.ini a pipe (refused, not waited on),
# and under a file-size limit of 0, where the save at the close fails with its reason
# and leaves no temporary file.
#   app_sigterm.sh PATH_TO_kt210v-pc
set -u
program=$(realpath "$1")
dir=$(mktemp -d /tmp/kt210v-sigterm.XXXXXX)
trap 'rm -rf "$dir"' EXIT
ln -s /nonexistent/serial-port "$dir/COM1"
cd "$dir"
export QT_QPA_PLATFORM=offscreen

status=0
for run in "TERM $(ulimit -f)" "INT $(ulimit -f)" "TERM $(ulimit -f) pipe" "TERM 0"; do
  set -- $run
  rm -f config.ini log.pipe && mkfifo log.pipe
  expect=
  [ $# -eq 3 ] && mkfifo config.ini && expect="config.ini: cannot be read (not a regular file)"
  [ "$2" = 0 ] && expect="config.ini: not written: File too large"
  cat log.pipe > out.log &  # the output, outside the file-size limit
  (ulimit -f "$2" && exec "$program") > log.pipe 2>&1 &
  pid=$!
  sleep 2.5  # past the automatic connection at one second and its message box
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "$run: the program ended before the signal"; wait; cat out.log; exit 1
  fi
  kill -"$1" "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "$run: SIG$1 did not end the program"; kill -KILL "$pid"; exit 1
  fi
  wait "$pid"
  rc=$?
  wait  # the output's reader
  echo "$run: exit status $rc"
  [ "$rc" -eq 0 ] || status=1
  [ -z "$expect" ] || grep -qF "$expect" out.log || { echo "no \"$expect\""; status=1; }
  ! ls -A | grep '\.tmp$' || { echo "a temporary file was left"; status=1; }
done
exit $status
