#!/usr/bin/env bash
# Two figures of the whole program on a virtual X screen, against the simulated
# indicator linked as COM1 in a temporary start-up directory:
#   - start-up: time from starting the process until its main window is mapped
#     (median of several runs);
#   - idle: CPU use of the connected, idle program (and of the simulator) over 30 s,
#     read from /proc/<pid>/stat.
#
#   bench/ui_startup_idle.sh      (build folder: $KT_BUILD_DIR, default build-bench/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build="${KT_BUILD_DIR:-$root/build-bench}"
runs="${KT_STARTUP_RUNS:-5}"
idle_seconds="${KT_IDLE_SECONDS:-30}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKT_WERROR=ON > /dev/null
cmake --build "$build" --target kt210v-pc kt210v-sim -j "$(nproc)" > /dev/null

run=$(mktemp -d /tmp/kt210v-bench.XXXXXX)
cp -R assets/. "$run"/
# The settings of a program closed once with its start values, so that the start-up
# measured is the usual one (no missing-file message before the window).
for entry in "Cz_0= 0" "Cz_1= 0" "Cz_2= 0" "Real_Time_Sample= 0" "Sample_rate= 10" \
  "Paging= 0" "Paging_tracking= 0" "Sample_per_page= 10" "Autorejestracja= 1" \
  "Rejestracja_Cz0= 1" "Rejestracja_Cz1= 1" "Rejestracja_Cz2= 1" "Rejestracja_PK1= 0" \
  "Rejestracja_PK2= 0" "Rejestracja_data= 0" "Rejestracja_godz= 0" "Rejestracja_czas= 1" \
  "Rejestracja_data= 1" "Rejestracja_index= 1" "Rejestracja_kolor= 1" \
  "domyslny_port_com= COM1" "Wykres_PK1_H= 50" "Wykres_PK1_F= 0" "Wykres_PK2_H= 50" \
  "Wykres_PK2_F= 75" "Wykres_PK3_H= 50" "Wykres_PK3_F= 150" "Wykres_PK4_H= 50" \
  "Wykres_PK4_F= 225"; do
  printf '%s\r\n' "$entry"
done > "$run/config.ini"
"$build/sim/kt210v-sim" --link "$run/COM1" > "$run/simulator.out" 2> "$run/simulator.log" &
sim_pid=$!
trap 'kill -TERM $sim_pid 2>/dev/null || true; wait $sim_pid 2>/dev/null || true; rm -rf "$run"' EXIT
for _ in $(seq 100); do [ -L "$run/COM1" ] && break; sleep 0.1; done

cat > "$run/inner.sh" <<EOF
set -eu
cd "$run"
ticks() { awk '{ print \$14 + \$15 }' "/proc/\$1/stat"; }
now_ms() { echo \$(( \$(date +%s%N) / 1000000 )); }

times=""
i=0
retries=0
while [ \$i -lt $runs ]; do
  start=\$(now_ms)
  "$build/app/kt210v-pc" > "$run/program.log" 2>&1 &
  pid=\$!
  shown=""
  while [ -z "\$shown" ]; do
    if xwininfo -name "KT210V-PC V1.00" 2>/dev/null | grep -q IsViewable; then
      shown=\$(( \$(now_ms) - start ))
    elif ! kill -0 \$pid 2>/dev/null || [ \$(( \$(now_ms) - start )) -gt 20000 ]; then
      break
    else
      sleep 0.01
    fi
  done
  if [ -z "\$shown" ]; then
    # Seen on Xvfb while it is polled: the program's X connection is refused now and
    # then ("could not connect to display"). Such a run is repeated, not counted.
    kill -KILL \$pid 2>/dev/null || true
    wait \$pid 2>/dev/null || true
    retries=\$(( retries + 1 ))
    echo "run without a window, repeated: \$(grep -v XDG_RUNTIME "$run/program.log" | head -1)"
    [ \$retries -le 5 ] || { echo "the main window did not appear" >&2; exit 1; }
    continue
  fi
  i=\$(( i + 1 ))
  times="\$times \$shown"
  if [ \$i -lt $runs ]; then kill -TERM \$pid; wait \$pid || true; fi
done
echo "start-up to main window shown (ms):\$times"
echo "\$times" | tr ' ' '\n' | grep . | sort -n | awk '{ a[NR] = \$1 } END { print "median (ms): " a[int((NR + 1) / 2)] }'

sleep 6  # the automatic connection and the wizard's read
hz=\$(getconf CLK_TCK)
p0=\$(ticks \$pid); s0=\$(ticks $sim_pid)
sleep $idle_seconds
p1=\$(ticks \$pid); s1=\$(ticks $sim_pid)
awk -v p=\$(( p1 - p0 )) -v s=\$(( s1 - s0 )) -v hz=\$hz -v t=$idle_seconds 'BEGIN {
  printf "idle CPU over %d s: program %.2f %% (%d ticks), simulator %.2f %% (%d ticks)\n",
         t, 100 * p / hz / t, p, 100 * s / hz / t, s }'
kill -TERM \$pid
wait \$pid
echo "program exit status after SIGTERM: \$?"
EOF
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$run/inner.sh"
