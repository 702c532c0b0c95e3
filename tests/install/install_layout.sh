#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: exactly the expected files, programs that
# run from there, manual pages that cover every option and command the tools' --help
# names, and a desktop entry whose command and icon are installed.
#   install_layout.sh CMAKE BUILD_DIR ON|OFF
set -u
cmake=$1 build=$2 ui=$3
. "$(dirname "$0")/files.sh"
tmp=$(mktemp -d "/tmp/kt210v install.XXXXXX")  # a blank in the prefix on purpose
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/prefix"

"$cmake" --install "$build" --prefix "$prefix" > "$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log"; fail "cmake --install failed"; }
actual=$(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" != "$(installed_files "$ui")" ]; then
  diff <(installed_files "$ui") <(echo "$actual")
  fail "installed files differ from the expected list (< expected, > installed)"
fi
for program in "$prefix"/bin/*; do
  [ -x "$program" ] || fail "$program is not executable"
done

# man_covers PAGE WORD...: every word appears in the manual page's text.
man_covers() {
  local page=$1 text
  shift
  text=$(gzip -dc "$prefix/share/man/man1/$page.1.gz" | sed 's/\\-/-/g') ||
    fail "$page.1.gz is not a valid gzip file"
  grep -q "^\.TH ${page^^} 1 " <<< "$text" || fail "$page.1 has no .TH line for $page"
  for word in "$@"; do
    grep -qF -- "$word" <<< "$text" || fail "the manual page $page.1 does not mention $word"
  done
}

# help_covers PAGE HELP: every long option the manual page sets in bold (its own, not
# those of the examples) is in the --help text.
help_covers() {
  local option
  for option in $(gzip -dc "$prefix/share/man/man1/$1.1.gz" | grep -E '^\.B[IR]? ' |
    sed 's/\\-/-/g' | grep -oE -- '--[a-z][a-z-]*[a-z]' | sort -u); do
    grep -qF -- "$option" <<< "$2" || fail "$1 --help does not list $option"
  done
}

sim_help=$("$prefix/bin/kt210v-sim" --help) || fail "installed kt210v-sim --help failed"
help_covers kt210v-sim "$sim_help"
mapfile -t sim_options < <(grep -oE -- '--[a-z][a-z-]*' <<< "$sim_help" | sort -u)
[ "${#sim_options[@]}" -ge 20 ] || fail "kt210v-sim --help lists only ${#sim_options[@]} options"
man_covers kt210v-sim "${sim_options[@]}" SIGUSR1 SIGUSR2

cli_help=$("$prefix/bin/kt210v-cli" --help) || fail "installed kt210v-cli --help failed"
help_covers kt210v-cli "$cli_help"
mapfile -t cli_words < <(
  { grep -oE -- '--[a-z][a-z-]*' <<< "$cli_help"
    grep -oE -- 'kt210v-cli \[--port NAME\] [a-z-]+' <<< "$cli_help" | awk '{print $NF}'
    sed -n '/Keys:/,/decimal point/p' <<< "$cli_help" | sed 's/.*Keys://; s/(decimal.*//' |
      tr ' ' '\n' | grep -E '^[A-Za-z_]+[0-9]?$'
  } | sort -u)
[ "${#cli_words[@]}" -ge 20 ] || fail "kt210v-cli --help gave only ${#cli_words[@]} words"
man_covers kt210v-cli "${cli_words[@]}"

if [ "$ui" = ON ]; then
  # --help and --version answer without a display; the manual page covers the options.
  for option in --help --version; do
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/kt210v-pc" "$option" \
      > "$tmp/out.txt" 2>&1 || fail "kt210v-pc $option failed: $(cat "$tmp/out.txt")"
  done
  grep -qx "kt210v-pc 1.0" "$tmp/out.txt" || fail "kt210v-pc --version: $(cat "$tmp/out.txt")"
  man_covers kt210v-pc --help --version F1 Ctrl+Q F5 Ctrl+S config.ini
  man_covers kt210v-pc-launcher config.ini write-settings Help XDG_DATA_HOME

  entry="$prefix/share/applications/kt210v-pc.desktop"
  command -v desktop-file-validate > /dev/null ||
    fail "desktop-file-validate is missing (package desktop-file-utils, scripts/setup)"
  desktop-file-validate "$entry" || fail "desktop-file-validate refuses the desktop entry"
  [ "$(head -n 1 "$entry")" = "[Desktop Entry]" ] || fail "the desktop entry has no group"
  for key in Type=Application Name=KT210V-PC Terminal=false Icon=kt210v-pc; do
    grep -qx "$key" "$entry" || fail "the desktop entry lacks $key"
  done
  command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  [ -x "$prefix/bin/$command" ] || fail "Exec=$command is not an installed program"
  if command -v xmllint > /dev/null; then
    xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/kt210v-pc.svg" ||
      fail "the icon is not well-formed XML"
  fi
fi
echo "installed as expected under $prefix"
