#!/usr/bin/env bash
# Builds the Windows setup program of Tessaly for Zip with NSIS (makensis)
# from res/windows/installer.nsi, for the version named in the top-level
# CMakeLists.txt.
#
# Usage: scripts/build-windows-installer.sh BIN_DIR DATA_DIR OUT_DIR [ICON]
# BIN_DIR holds tessaly-zip.exe and tessaly-zip-cli.exe, DATA_DIR the
# pictures (*.bmp) and help/; ICON is an optional .ico for the setup program
# and its uninstaller. Relative paths are taken from the current folder.
# Writes OUT_DIR/tessaly-zip-VERSION-setup.exe and prints its path; the
# makensis output is shown only when the build fails. Needs the `windows`
# package set of scripts/install-deps.sh (nsis). Exits with 2 on a usage
# error or a missing input, with 1 when makensis fails.
set -euo pipefail

usage() {
  echo "usage: $0 BIN_DIR DATA_DIR OUT_DIR [ICON]" >&2
  exit 2
}
(($# == 3 || $# == 4)) || usage
# The inputs are checked and made absolute before moving to the top folder.
for input in "$1/tessaly-zip.exe" "$1/tessaly-zip-cli.exe" "$2/help/Tessaly for Zip.hhp" ${4:+"$4"}; do
  [[ -f $input ]] || { echo "$0: $input: no such file" >&2; exit 2; }
done
bin_dir=$(realpath "$1")
data_dir=$(realpath "$2")
mkdir -p "$3"
out_dir=$(realpath "$3")
icon=${4:+$(realpath "$4")}
cd "$(dirname "$0")/.."

command -v makensis >/dev/null || { echo "$0: makensis is missing (scripts/install-deps.sh windows)" >&2; exit 1; }
# The first project() line: project(TessalyForZip VERSION x.y.z ...).
version=$(sed -n -E 's/^[[:space:]]*project\(TessalyForZip[[:space:]]+VERSION[[:space:]]+([0-9]+(\.[0-9]+){1,3})([[:space:]].*)?\).*$/\1/p' \
  CMakeLists.txt | head -n 1)
[[ -n $version ]] || { echo "$0: no project(TessalyForZip VERSION ...) line in CMakeLists.txt" >&2; exit 1; }

out_file=$out_dir/tessaly-zip-$version-setup.exe
defines=(-DVERSION="$version" -DBIN_DIR="$bin_dir" -DDATA_DIR="$data_dir" -DOUT_FILE="$out_file")
[[ -z $icon ]] || defines+=(-DICON="$icon")
log=$(mktemp)
trap 'rm -f "$log"' EXIT
rm -f "$out_file"
if ! makensis -V2 -WX "${defines[@]}" res/windows/installer.nsi >"$log" 2>&1; then
  cat "$log" >&2
  echo "$0: makensis failed" >&2
  exit 1
fi
echo "$out_file"
