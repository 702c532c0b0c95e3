#!/usr/bin/env bash
# The program ends with status 0 on SIGTERM and on SIGINT, also while a modal message box
# is open: here "Nie znaleziono wybranego portu COM", since COM1 in its start-up
# directory leads nowhere.
#   app_sigterm.sh PATH_TO_kt210v-pc
set -u
program=$1
dir=$(mktemp -d /tmp/kt210v-sigterm.XXXXXX)
trap 'rm -rf "$dir"' EXIT
ln -s /nonexistent/serial-port "$dir/COM1"
cd "$dir"
export QT_QPA_PLATFORM=offscreen

status=0
for signal in TERM INT; do
  "$program" > "$dir/out.log" 2>&1 &
  pid=$!
  sleep 2.5  # past the automatic connection at one second and its message box
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "the program ended before SIGTERM/SIGINT"; cat "$dir/out.log"; exit 1
  fi
  kill -"$signal" "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "SIG$signal did not end the program"; kill -KILL "$pid"; exit 1
  fi
  wait "$pid"
  rc=$?
  echo "SIG$signal: exit status $rc"
  [ "$rc" -eq 0 ] || status=1
done
exit $status
