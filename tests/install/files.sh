# What an installation holds, relative to its prefix, one path a line (sorted).
#   installed_files ON|OFF     (whether the program's window was built)
installed_files() {
  {
    printf '%s\n' bin/kt210v-cli bin/kt210v-sim bin/kt210v-pc-launcher \
      share/kt210v-pc/help/README share/kt210v-pc/help/help.css \
      share/kt210v-pc/Bootloader/README \
      share/man/man1/kt210v-cli.1.gz share/man/man1/kt210v-sim.1.gz \
      share/doc/kt210v-pc/copyright share/doc/kt210v-pc/changelog.gz
    for page in index polaczenie urzadzenie probkowanie korekcja rejestracja wykres \
      konfiguracja symulator cli mqtt; do
      echo "share/kt210v-pc/help/$page.html"
    done
    for n in 0 1 2 3 4; do echo "share/kt210v-pc/Grafika/MODE_$n.jpg"; done
    if [ "$1" = ON ]; then
      printf '%s\n' bin/kt210v-pc share/applications/kt210v-pc.desktop \
        share/icons/hicolor/scalable/apps/kt210v-pc.svg share/man/man1/kt210v-pc.1.gz \
        share/man/man1/kt210v-pc-launcher.1.gz
    fi
  } | LC_ALL=C sort
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
