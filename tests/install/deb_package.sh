#!/usr/bin/env bash
# `cpack -G DEB` from this build folder: the package's name, fields, dependencies as
# computed by dpkg-shlibdeps, its files under /usr, and a program that runs from the
# unpacked package. Skipped (77) where the Debian packaging tools are missing.
#   deb_package.sh CPACK BUILD_DIR ON|OFF
set -u
cpack=$1 build=$2 ui=$3
. "$(dirname "$0")/files.sh"
for tool in dpkg-deb dpkg-shlibdeps dpkg file; do
  command -v "$tool" > /dev/null || { echo "no $tool: skipped"; exit 77; }
done
tmp=$(mktemp -d /tmp/kt210v-deb.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

(cd "$tmp" && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out") \
  > "$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
deb="$tmp/out/kt210v-pc_1.0_$arch.deb"
[ -f "$deb" ] || { ls "$tmp/out"; fail "no $deb"; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kt210v-pc ] || fail "Package: $(field Package)"
[ "$(field Version)" = 1.0 ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
field Maintainer | grep -q '@localhost' && fail "Maintainer at localhost: $(field Maintainer)"
[ "$(field Section)" = electronics ] || fail "Section: $(field Section)"
field Description | grep -q kt210v-sim || fail "Description: $(field Description)"

# Depends: what the programs are linked against, each package once, with versions.
depends=$(field Depends)
needed=(libc6 libstdc++6 libgcc-s1 libxlsxwriter4 libmosquitto1)
[ "$ui" = ON ] && needed+=(libqt6core6 libqt6gui6 libqt6widgets6 libjpeg62-turbo
  qt6-translations-l10n)
names=$(tr ',' '\n' <<< "$depends" | awk '{print $1}' | sort)
for package in "${needed[@]}"; do
  grep -qxF "$package" <<< "$names" || fail "Depends lacks $package: $depends"
done
[ "$(uniq -d <<< "$names")" = "" ] || fail "a package named twice in Depends: $depends"
tr ',' '\n' <<< "$depends" | grep -vqE '^ ?[a-z0-9.+-]+( \(>= [^)]+\))?$' &&
  fail "a malformed entry in Depends: $depends"

# The files: the installed layout under /usr, owned by root, programs executable.
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $6}' <<< "$listing" | sed 's|^\./usr/||' | LC_ALL=C sort)
if [ "$files" != "$(installed_files "$ui")" ]; then
  diff <(installed_files "$ui") <(echo "$files")
  fail "packaged files differ from the expected list (< expected, > packaged)"
fi
awk '$2 != "root/root" {exit 1}' <<< "$listing" || fail "files not owned by root"
awk '$1 !~ /^d/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" {exit 1}' <<< "$listing" ||
  fail "a program is not mode 755: $(grep usr/bin <<< "$listing")"

dpkg-deb -x "$deb" "$tmp/root"
"$tmp/root/usr/bin/kt210v-cli" --help | grep -q "usage: kt210v-cli" ||
  fail "the packaged kt210v-cli does not run"
grep -q '"$here/../share/kt210v-pc"' "$tmp/root/usr/bin/kt210v-pc-launcher" ||
  fail "the packaged launcher does not look for its files in /usr/share/kt210v-pc"
echo "$deb: Depends: $depends"
