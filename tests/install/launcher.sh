#!/usr/bin/env bash
# The desktop launcher of an installation in a temporary prefix: it makes the per-user
# folder, links the installed files into it, writes config.ini on the first start, and
# starts the program with that folder as its working directory; the program is then
# ended with SIGTERM. The first start is followed end to end: no missing-settings box
# holds up the start, and the wizard connects to the stored port (a simulated indicator).
#   launcher.sh CMAKE BUILD_DIR
set -u
cmake=$1 build=$2
. "$(dirname "$0")/files.sh"
tmp=$(readlink -f "$(mktemp -d "/tmp/kt210v launcher.XXXXXX")")  # with a blank, on purpose
pid="" sim=""
trap '[ -n "$pid" ] && kill -KILL "$pid" 2> /dev/null; [ -n "$sim" ] && kill "$sim" 2> /dev/null
  rm -rf "$tmp"' EXIT
prefix="$tmp/prefix"
files="$prefix/share/kt210v-pc"
"$cmake" --install "$build" --prefix "$prefix" > "$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log"; fail "cmake --install failed"; }
export QT_QPA_PLATFORM=offscreen
mkdir "$tmp/start" && cd "$tmp/start" || fail "no start folder"

# catches_sigterm PID: the program has installed its SIGTERM handler (SigCgt bit 14).
catches_sigterm() {
  local mask
  mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2> /dev/null) || return 1
  [ -n "$mask" ] && (((16#$mask >> 14) & 1))
}

# run_launcher FOLDER COMMAND [ENV=VALUE...]: starts COMMAND without HOME and
# XDG_DATA_HOME but with the given ones, waits until the launcher has become the program and the program handles
# SIGTERM (and, with `until` set, until that command succeeds), checks that the program's
# working directory is FOLDER, then ends it.
until=""
run_launcher() {
  local folder=$1 command=$2 exe=""
  shift 2
  env -u HOME -u XDG_DATA_HOME "$@" "$command" > "$tmp/run.log" 2>&1 &
  pid=$!
  for _ in $(seq 600); do  # at most 60 s, for slow sanitizer builds
    exe=$(readlink "/proc/$pid/exe" 2> /dev/null) || true
    [ "$exe" = "$prefix/bin/kt210v-pc" ] && catches_sigterm "$pid" && break
    kill -0 "$pid" 2> /dev/null || { cat "$tmp/run.log"; fail "ended before it was running"; }
    sleep 0.1
  done
  [ "$exe" = "$prefix/bin/kt210v-pc" ] || fail "the launcher did not become the program ($exe)"
  if [ -n "$until" ]; then
    for _ in $(seq 300); do eval "$until" && break; sleep 0.1; done
    eval "$until" || { cat "$tmp/run.log"; fail "not within 30 s: $until"; }
  fi
  [ "$(readlink "/proc/$pid/cwd")" = "$folder" ] ||
    fail "the program runs in $(readlink "/proc/$pid/cwd"), not in $folder"
  kill -TERM "$pid"
  for _ in $(seq 300); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2> /dev/null && fail "SIGTERM did not end the program"
  wait "$pid"
  local rc=$?
  pid=""
  [ "$rc" -eq 0 ] || { cat "$tmp/run.log"; fail "the program ended with status $rc"; }
}

# links_to NAME TARGET: NAME is a symbolic link that leads to TARGET.
links_to() {
  [ -L "$1" ] || fail "$1 is not a link"
  [ "$(readlink -f "$1")" = "$(readlink -f "$2")" ] || fail "$1 leads to $(readlink -f "$1")"
}

check_links() {
  local folder=$1
  links_to "$folder/Grafika" "$files/Grafika"
  [ -r "$folder/Grafika/MODE_4.jpg" ] || fail "the mode pictures cannot be read through $folder"
  [ -d "$folder/Help" ] && [ ! -L "$folder/Help" ] ||
    fail "$folder/Help is not a folder of the user's own"
  links_to "$folder/Help/index.html" "$files/help/index.html"
  links_to "$folder/bootloader" "$folder/Bootloader"
  [ -d "$folder/Bootloader" ] && [ ! -L "$folder/Bootloader" ] ||
    fail "$folder/Bootloader is not a folder of the user's own"
}

# First start: XDG_DATA_HOME names a folder that does not exist yet.
folder="$tmp/data/kt210v-pc"
run_launcher "$folder" "$prefix/bin/kt210v-pc-launcher" XDG_DATA_HOME="$tmp/data" HOME=/nonexistent
check_links "$folder"
links_to "$folder/help" "$files/help"
links_to "$folder/Bootloader/README" "$files/Bootloader/README"

# First start end to end, as the desktop menu does it: a folder holding only COM1, a link
# to a simulated indicator. The launcher writes config.ini with the first USB serial port
# present, else COM1; the program starts without the missing-settings box (which would
# hold up the wizard), and about a second later the wizard asks COM1 for the device type.
folder="$tmp/first/kt210v-pc"
mkdir -p "$folder"
"$prefix/bin/kt210v-sim" --link "$folder/COM1" --log > /dev/null 2> "$tmp/sim.log" &
sim=$!
for _ in $(seq 100); do [ -L "$folder/COM1" ] && break; sleep 0.1; done
port=COM1
for candidate in /dev/ttyUSB* /dev/ttyACM*; do [ -c "$candidate" ] && { port=$candidate; break; }; done
[ "$port" = COM1 ] && until="grep -q '<< F1 F1 20' '$tmp/sim.log'"
run_launcher "$folder" "$prefix/bin/kt210v-pc-launcher" XDG_DATA_HOME="$tmp/first" HOME=/nonexistent
until=""
kill "$sim" && wait "$sim"
sim=""
[ "$(grep -c $'\r$' "$folder/config.ini")" -eq 29 ] || fail "config.ini: $(cat -A "$folder/config.ini")"
grep -qx $'domyslny_port_com= '"$port"$'\r' "$folder/config.ini" ||
  fail "config.ini does not store $port: $(cat "$folder/config.ini")"
grep -qx $'Sample_rate= 10\r' "$folder/config.ini" || fail "config.ini: $(cat "$folder/config.ini")"
! grep -q "config.ini" "$tmp/run.log" || fail "a warning about config.ini: $(cat "$tmp/run.log")"

# A later start through a link to the launcher, with a relative XDG_DATA_HOME (ignored:
# ~/.local/share is used) and a folder the user has changed: a link whose target is gone
# is made again, the user's own files and folders are left alone, and the Help link an
# older launcher made becomes a folder. The user's config.ini is not touched.
folder="$tmp/home/.local/share/kt210v-pc"
mkdir -p "$folder/Bootloader" "$folder/help" "$tmp/links"
ln -s /nonexistent/Grafika "$folder/Grafika"
ln -s "$files/help" "$folder/Help"
"$prefix/bin/kt210v-cli" write-settings "$folder/config.ini" --port ttyUSB7 || fail "write-settings"
echo "own help" > "$folder/help/own.txt"
echo ":00000001FF" > "$folder/Bootloader/program.hex"
echo "own notes" > "$folder/Bootloader/README"
ln -s "$prefix/bin/kt210v-pc-launcher" "$tmp/links/kt210v-pc-launcher"
run_launcher "$folder" "$tmp/links/kt210v-pc-launcher" XDG_DATA_HOME=relative HOME="$tmp/home"
check_links "$folder"
[ ! -L "$folder/help" ] && [ "$(cat "$folder/help/own.txt")" = "own help" ] ||
  fail "the user's own help folder was replaced"
[ "$(cat "$folder/Bootloader/program.hex")" = ":00000001FF" ] || fail "program.hex was changed"
[ ! -L "$folder/Bootloader/README" ] && [ "$(cat "$folder/Bootloader/README")" = "own notes" ] ||
  fail "the user's own Bootloader/README was replaced"
[ ! -e "$tmp/start/relative" ] || fail "the relative XDG_DATA_HOME was used"
grep -qx $'domyslny_port_com= ttyUSB7\r' "$folder/config.ini" ||
  fail "the user's config.ini was replaced: $(cat "$folder/config.ini")"

# Neither XDG_DATA_HOME nor HOME: the launcher refuses and says why.
if env -u HOME -u XDG_DATA_HOME "$prefix/bin/kt210v-pc-launcher" > "$tmp/run.log" 2>&1; then
  fail "the launcher started without a folder to start in"
fi
grep -q "HOME" "$tmp/run.log" || fail "no reason given: $(cat "$tmp/run.log")"
echo "the launcher made and used its folders"
