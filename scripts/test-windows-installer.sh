#!/usr/bin/env bash
# End-to-end test of the Windows setup program under wine: a silent install
# into a fresh wine prefix, the files, registry entries and Start-menu
# shortcut it makes, the installed desktop program started on an archive
# until its main window shows, then two silent uninstalls (one keeping the
# user's activity log, one with /REMOVELOG) and what they leave behind; last
# an install and an uninstall through their pages, with the default choices
# (Return on each page, through xdotool).
#
# Usage: scripts/test-windows-installer.sh SETUP_EXE [DATA_DIR]
# The pictures and help files expected in the program folder are those the
# build makes (res/CMakeLists.txt, res/help/); with DATA_DIR (the folder the
# setup program was built from) the installed copies are compared with it
# too. Needs an X server (DISPLAY; run it under xvfb-run -a), wine, xdotool
# and python3. The prefix is SETUP_EXE's folder/installer-wine, made anew
# each run and left for a look afterwards. Prints one "ok: " or "FAIL: "
# line per check ("info: " lines assert nothing). Exits with 0 when every
# check passed, 1 when one failed, 2 on a usage error, 77 (skipped) without
# an X server or one of the tools.
#
# Where wine is not Windows:
# - Wine runs everything with administrator rights, so neither the setup
#   program's request for them (the UAC prompt) nor its refusal to go on
#   without them is exercised here; and the installed program may write
#   into its Program Files folder, which on Windows an ordinary user's
#   program cannot: the test reports whatever it writes there.
# - HKEY_CLASSES_ROOT: the setup program writes HKLM\Software\Classes, and
#   wine shows that key as HKCR as Windows does; the merging of the user's
#   own classes (HKCU\Software\Classes) into HKCR is not exercised, nor
#   whether Explorer lists the program under "Open with" (wine has no such
#   menu): the test reads the registry entries and runs the installed
#   program directly.
# - Nothing shows the Start menu (winemenubuilder is turned off): the test
#   checks the shortcut file and the program it points to.
# - The uninstaller run in place (_?=) cannot delete its own running file,
#   under wine as under Windows; it leaves it and the folder to be removed
#   at the next restart. `wineboot --restart` does what a Windows restart
#   does with such pending deletions, so it stands in for one here.
# - Xvfb runs no window manager: the pages get the keyboard focus through
#   XSetInputFocus (xdotool windowfocus) rather than by being activated.
# - wine hands its arguments to the Windows program quoted where they hold
#   blanks, but _?= must be given unquoted: the uninstaller is started from
#   a batch file, whose command line cmd passes on as written.
set -euo pipefail

if (($# < 1 || $# > 2)); then
  echo "usage: $0 SETUP_EXE [DATA_DIR]" >&2
  exit 2
fi
[[ -f $1 ]] || { echo "$0: $1: no such file" >&2; exit 2; }
[[ $# -lt 2 || -d $2 ]] || { echo "$0: $2: no such folder" >&2; exit 2; }
setup=$(realpath "$1")
data_dir=${2:+$(realpath "$2")}
cd "$(dirname "$0")/.."

if [[ -z ${DISPLAY:-} ]]; then
  echo "skipped: DISPLAY is not set (run the test under xvfb-run -a)"
  exit 77
fi
for tool in wine wineboot wineserver xdotool python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

WINEPREFIX=$(dirname "$setup")/installer-wine
export WINEPREFIX
export WINEDEBUG=-all
# No desktop integration, no Mono or Gecko download prompts: a bare prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
work=$WINEPREFIX/test-files
drive_c=$WINEPREFIX/drive_c
program_dir_win='C:\Program Files\Tessaly for Zip'
program_dir=$drive_c/Program\ Files/Tessaly\ for\ Zip
start_menu=$drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs
shortcut=$start_menu/Tessaly\ for\ Zip.lnk
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TessalyForZip'
open_command="\"$program_dir_win\\tessaly-zip.exe\" \"%1\""

failures=0
ok() { echo "ok: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# check DESCRIPTION COMMAND...: one line saying whether COMMAND succeeded.
check() {
  local what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
started=$SECONDS
finish() {
  wineserver -k 2>/dev/null || true
  echo "($((SECONDS - started)) s)"
}
trap finish EXIT

# wine's first processes in a prefix can hang at their exit: every wine
# command runs under a time limit.
run_wine() { timeout 120 wine "$@"; }
# reg_value KEY NAME: prints "TYPE DATA" of the value (NAME "" for the
# default value); fails when the key or the value is missing. An unset
# default value reads as "(value not set)".
reg_value() {
  local output line
  if [[ -z $2 ]]; then
    output=$(run_wine reg query "$1" /ve 2>/dev/null | tr -d '\r') || return 1
    line=$(grep -m 1 '^    (Default)    ' <<<"$output") || return 1
    line=${line#    (Default)    }
  else
    output=$(run_wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r') || return 1
    line=$(grep -m 1 -F "    $2    " <<<"$output") || return 1
    line=${line#    "$2"    }
  fi
  # An empty string may come without the blanks after its type.
  if [[ $line == *"    "* ]]; then
    printf '%s %s\n' "${line%%    *}" "${line#*    }"
  else
    printf '%s \n' "$line"
  fi
}
key_exists() { run_wine reg query "$1" >/dev/null 2>&1; }
key_missing() { ! key_exists "$1"; }
value_missing() { ! reg_value "$1" "$2" >/dev/null; }
value_is() { [[ $(reg_value "$1" "$2") == "$3" ]]; }
# The default value of HKCR\.zip, "unset" when the key or the value is missing.
zip_default() {
  local value
  value=$(reg_value 'HKCR\.zip' "") || value="unset"
  [[ $value != "REG_SZ (value not set)" ]] || value="unset"
  echo "$value"
}
# Expected data files, relative to the program folder: the pictures the
# build makes and the help book.
data_files() {
  local pictures
  pictures=$(sed -n -E '/^set\(TESSALY_PICTURES/,/\)/p' res/CMakeLists.txt |
    sed -E 's/^set\(TESSALY_PICTURES//; s/\).*$//' | tr -s '[:blank:]' '\n' | grep '\.bmp$') || return 1
  echo "$pictures"
  find res/help -maxdepth 1 -type f -printf 'help/%f\n'
}
# Whether the installed program is a 64-bit GUI-subsystem program (a
# console program would open a console window beside its own).
is_gui_program() {
  [[ -f $1 ]] && python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read(4096)
pe = struct.unpack_from("<I", data, 0x3C)[0]
magic, = struct.unpack_from("<H", data, pe + 24)
subsystem, = struct.unpack_from("<H", data, pe + 24 + 68)
sys.exit(0 if data[pe:pe + 4] == b"PE\0\0" and magic == 0x20B and subsystem == 2 else 1)
EOF
}
# Whether the shortcut file names the installed program as its target.
shortcut_targets_program() {
  [[ -f $1 ]] && python3 - "$1" "$program_dir_win\\tessaly-zip.exe" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
target = sys.argv[2]
sys.exit(0 if target.encode("ascii") in data or target.encode("utf-16-le") in data else 1)
EOF
}
# Runs the uninstaller in place with the given switches before _?=.
uninstall() {
  printf '@"%s\\uninstall.exe" %s _?=%s\r\n@exit /b %%errorlevel%%\r\n' \
    "$program_dir_win" "$*" "$program_dir_win" >"$drive_c/test/uninstall.bat"
  run_wine cmd /c 'C:\test\uninstall.bat' >/dev/null 2>&1
}
# Everything left in the program folder, one name a line, sorted.
left_in_program_dir() { (cd "$program_dir" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort); }
# Whether the program folder is gone or holds only the running uninstaller.
only_uninstaller_left() { [[ -z $1 || $1 == uninstall.exe ]]; }
# wait_for SECONDS COMMAND...: polls COMMAND once a second until it succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 1
  done
}
# The first visible window whose title matches the pattern.
visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
window_shown() { [[ -n $(visible_window "$1") ]]; }
window_gone() { ! window_shown "$1"; }
# press_return TITLE_PATTERN: Return in that window, which presses the
# button that has the focus (Next, Install, Finish...). Without a window
# manager the focus is given with XSetInputFocus.
press_return() {
  local window
  window=$(visible_window "$1")
  [[ -n $window ]] || return 1
  xdotool windowfocus --sync "$window" 2>/dev/null && xdotool key Return 2>/dev/null
  sleep 1
}
process_ended() { ! kill -0 "$1" 2>/dev/null; }
# check_program_kept_out WHO BEFORE: one line saying whether WHO (the
# program, run since BEFORE was taken with left_in_program_dir) wrote
# nothing into the program folder. What it wrote is removed again, so that
# the uninstall checks see only the setup program's files. (Under wine
# everything runs as administrator and the folder is writable; on Windows
# an ordinary user's program cannot write there, and the program's files
# belong in LogPath's folder.)
check_program_kept_out() {
  local after added
  after=$(left_in_program_dir 2>/dev/null || true)
  added=$(LC_ALL=C comm -13 <(echo "$2") <(echo "$after"))
  if [[ -z $added ]]; then
    ok "$1 wrote nothing into the program folder"
    return
  fi
  fail "$1 wrote into the program folder: ${added//$'\n'/, } (removed again for the checks below)"
  while IFS= read -r file; do rm -rf -- "${program_dir:?}/$file"; done <<<"$added"
}
# A Windows restart, for the deletions the uninstaller left pending.
restart_windows() {
  timeout 120 wineboot --restart >/dev/null 2>&1 || true
  timeout 120 wineserver -w 2>/dev/null || true
}

echo "== Wine prefix $WINEPREFIX =="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
timeout 300 wineboot --init >/dev/null 2>&1 || true
timeout 120 wineserver -w 2>/dev/null || true
mkdir -p "$work" "$drive_c/test"
local_app_data_win=$(run_wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r' || true)
local_app_data=$(timeout 60 winepath -u "$local_app_data_win" 2>/dev/null | tr -d '\r' || true)
log_dir=$local_app_data/tessaly-zip
log_file=$log_dir/Activity\ Log.txt
[[ -d $local_app_data ]] || { echo "FAIL: no local application data folder in the prefix ($local_app_data_win)"; exit 1; }
zip_default_before=$(zip_default)

echo "== Silent install =="
check "the setup program ends with status 0 (/S)" run_wine "$setup" /S
expected=()
mapfile -t expected < <(data_files || true)
pictures=$(printf '%s\n' "${expected[@]}" | grep -c '\.bmp$' || true)
((pictures > 0)) || fail "the list of pictures could not be read from res/CMakeLists.txt"
missing=()
for file in tessaly-zip.exe tessaly-zip-cli.exe uninstall.exe 'help/Tessaly for Zip.hhp' "${expected[@]}"; do
  [[ -f $program_dir/$file ]] || missing+=("$file")
done
if ((${#missing[@]} == 0)); then
  ok "the program folder holds both programs, uninstall.exe, $pictures pictures and the help book (${#expected[@]} data files)"
else
  fail "missing from $program_dir: ${missing[*]}"
fi
if [[ -n $data_dir ]]; then
  differing=()
  while IFS= read -r -d '' file; do
    cmp -s "$data_dir/$file" "$program_dir/$file" || differing+=("$file")
  done < <(cd "$data_dir" && find . -maxdepth 1 -name '*.bmp' -printf '%P\0' && find help -maxdepth 1 -type f -print0)
  if ((${#differing[@]} == 0)); then
    ok "the installed pictures and help files are those of $data_dir"
  else
    fail "installed files differing from $data_dir: ${differing[*]}"
  fi
fi
check "the installed tessaly-zip.exe is a 64-bit GUI-subsystem program" is_gui_program "$program_dir/tessaly-zip.exe"

check "HKCR\\TLZIP FilePath is the program folder (REG_SZ)" value_is 'HKCR\TLZIP' FilePath "REG_SZ $program_dir_win"
check "HKCR\\TLZIP LogPath is %LOCALAPPDATA%\\tessaly-zip, unexpanded (REG_EXPAND_SZ)" \
  value_is 'HKCR\TLZIP' LogPath 'REG_EXPAND_SZ %LOCALAPPDATA%\tessaly-zip'
check "the installed-programs entry names Tessaly for Zip" value_is "$uninstall_key" DisplayName "REG_SZ Tessaly for Zip"
check "its QuietUninstallString runs the installed uninstaller with /S" \
  value_is "$uninstall_key" QuietUninstallString "REG_SZ \"$program_dir_win\\uninstall.exe\" /S"
check "HKCR\\.zip\\OpenWithProgids lists TessalyForZip.zip" value_is 'HKCR\.zip\OpenWithProgids' TessalyForZip.zip "REG_SZ "
check "the ProgID TessalyForZip.zip opens archives with the installed program" \
  value_is 'HKCR\TessalyForZip.zip\shell\open\command' "" "REG_SZ $open_command"
check "HKCR\\Applications\\tessaly-zip.exe opens archives with the installed program" \
  value_is 'HKCR\Applications\tessaly-zip.exe\shell\open\command' "" "REG_SZ $open_command"
zip_default_after=$(zip_default)
check "the default value of HKCR\\.zip is unchanged (before: $zip_default_before, after: $zip_default_after)" \
  test "$zip_default_after" == "$zip_default_before"
check "the Start-menu shortcut is in the all-users Start menu" test -f "$shortcut"
if [[ -f $shortcut ]]; then
  check "the shortcut points to the installed program" shortcut_targets_program "$shortcut"
fi

echo "== The installed program =="
python3 - "$drive_c/test/sample.zip" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    archive.writestr("readme.txt", "A small archive for the installer test.\n" * 20)
    archive.writestr("folder/data.bin", bytes(range(256)) * 8)
EOF
# The splash window comes first (about three seconds), then the main window,
# whose title is " Tessaly for Zip" (one leading blank).
before_program=$(left_in_program_dir)
wine "$program_dir_win\\tessaly-zip.exe" 'C:\test\sample.zip' >"$work/program.log" 2>&1 &
program=$!
found=""
deadline=$((SECONDS + 60))
while ((SECONDS < deadline)); do
  if xdotool search --onlyvisible --name '^ Tessaly for Zip$' >/dev/null 2>&1; then
    found=$SECONDS
    break
  fi
  kill -0 "$program" 2>/dev/null || break
  sleep 1
done
if [[ -n $found ]]; then
  ok "the installed program, given C:\\test\\sample.zip, shows its main window"
elif kill -0 "$program" 2>/dev/null; then
  fail "the installed program shows no window titled ' Tessaly for Zip' within 60 s"
else
  wait "$program" && status=0 || status=$?
  fail "the installed program ended (status $status) before showing its main window; its output: $work/program.log"
fi
# A second copy, started while the first runs, says so in a box captioned
# "  Tessaly for Zip" (two leading blanks) and ends when it is answered.
if [[ -n $found ]]; then
  wine "$program_dir_win\tessaly-zip.exe" >"$work/second.log" 2>&1 &
  second=$!
  box=""
  deadline=$((SECONDS + 40))
  while ((SECONDS < deadline)) && [[ -z $box ]]; do
    box=$(xdotool search --onlyvisible --name '^  Tessaly for Zip$' 2>/dev/null | head -n 1) || true
    kill -0 "$second" 2>/dev/null || break
    [[ -n $box ]] || sleep 1
  done
  if [[ -n $box ]]; then
    ok "a second copy says that another instance is already running"
    xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
    ended=""
    for _ in $(seq 20); do
      kill -0 "$second" 2>/dev/null || { ended=1; break; }
      sleep 1
    done
    check "the second copy ends when its box is answered, the first one runs on" \
      test -n "$ended" -a -n "$(xdotool search --onlyvisible --name '^ Tessaly for Zip$' 2>/dev/null)"
  else
    fail "a second copy shows no box captioned '  Tessaly for Zip' within 40 s"
  fi
fi
# Ending every process of the prefix ends the program (and its wine loader).
wineserver -k 2>/dev/null || true
wait "$program" 2>/dev/null || true
timeout 60 wineserver -w 2>/dev/null || true
check_program_kept_out "the program" "$before_program"
program_log=$(find "$drive_c/users" -path '*/AppData/Local/tessaly-zip/Activity Log.txt' -print -quit)
if [[ -n $program_log ]]; then
  echo "info: the program wrote its activity log (${program_log#"$drive_c/"})"
else
  echo "info: no activity log in the user's AppData/Local/tessaly-zip after this run"
fi

echo "== Silent uninstall, keeping the activity log =="
mkdir -p "$log_dir"
echo "A repair recorded before the uninstall." >"$log_file"
check "the uninstaller ends with status 0 (/S)" uninstall /S
left=$(left_in_program_dir 2>/dev/null || true)
shown=${left//$'\n'/, }
check "the uninstaller removed every file it can while running (left: ${shown:-nothing})" \
  only_uninstaller_left "$left"
restart_windows
check "after a restart the program folder is gone" test ! -e "$program_dir"
check "HKCR\\TLZIP is gone" key_missing 'HKCR\TLZIP'
check "the installed-programs entry is gone" key_missing "$uninstall_key"
check "the ProgID TessalyForZip.zip is gone" key_missing 'HKCR\TessalyForZip.zip'
check "HKCR\\Applications\\tessaly-zip.exe is gone" key_missing 'HKCR\Applications\tessaly-zip.exe'
check "HKCR\\.zip\\OpenWithProgids no longer lists TessalyForZip.zip" \
  value_missing 'HKCR\.zip\OpenWithProgids' TessalyForZip.zip
check "the default value of HKCR\\.zip is still unchanged" test "$(zip_default)" == "$zip_default_before"
check "the Start-menu shortcut is gone" test ! -e "$shortcut"
check "the user's activity log is kept" grep -q "A repair recorded before the uninstall." "$log_file"

echo "== Second install, silent uninstall with /REMOVELOG =="
check "the setup program installs again (/S)" run_wine "$setup" /S
# A file of the user's in the program folder is not the uninstaller's to remove.
echo "mine" >"$program_dir/notes.txt"
# Whatever else the log folder holds (the program may keep more there) stays.
others=$(cd "$log_dir" && find . -mindepth 1 ! -name 'Activity Log.txt' -printf '%P\n' | LC_ALL=C sort)
check "the uninstaller ends with status 0 (/S /REMOVELOG)" uninstall /S /REMOVELOG
check "the activity log is removed" test ! -e "$log_file"
if [[ -z $others ]]; then
  check "its folder, left empty, is removed" test ! -e "$log_dir"
else
  check "the other files of its folder are kept (${others//$'\n'/, })" \
    test "$(cd "$log_dir" 2>/dev/null && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort)" == "$others"
fi
restart_windows
left=$(left_in_program_dir 2>/dev/null || true)
shown=${left//$'\n'/, }
check "only the user's own file is left in the program folder (left: ${shown:-nothing})" test "$left" == notes.txt
rm -rf "$program_dir"

echo "== Interactive install and uninstall, with the default choices =="
# Return on each page: welcome, folder (Install), then the finish page with
# "Run Tessaly for Zip" ticked (Finish).
setup_title='^Tessaly for Zip Setup'
run_wine "$setup" >"$work/setup.log" 2>&1 &
setup_process=$!
if wait_for 60 window_shown "$setup_title" && press_return "$setup_title" && press_return "$setup_title" &&
  wait_for 60 test -f "$program_dir/uninstall.exe" && sleep 2 && before_program=$(left_in_program_dir) &&
  press_return "$setup_title" &&
  wait_for 60 process_ended "$setup_process"; then
  ok "the setup program's pages go through with Return: welcome, folder, install, finish"
else
  fail "the setup program did not go through its pages (welcome, folder, install, finish)"
fi
check "the finish page starts the installed program (its main window shows)" \
  wait_for 60 window_shown '^ Tessaly for Zip$'
wineserver -k 2>/dev/null || true
wait "$setup_process" 2>/dev/null || true
timeout 60 wineserver -w 2>/dev/null || true
check_program_kept_out "the program started by the finish page" "$before_program"
check "the interactive install wrote HKCR\\TLZIP FilePath" value_is 'HKCR\TLZIP' FilePath "REG_SZ $program_dir_win"
# The uninstaller as the installed-programs list starts it (UninstallString,
# no _?=): it copies itself to the temporary folder, runs the copy and ends
# at once, so the copy's window is followed instead. Return on the
# confirmation page, on the activity log page (Uninstall, the box left as it
# comes), then Close.
mkdir -p "$log_dir"
echo "A repair recorded before the uninstall." >"$log_file"
uninstall_string=$(reg_value "$uninstall_key" UninstallString || true)
uninstall_string=${uninstall_string#REG_SZ }
printf '@%s\r\n' "$uninstall_string" >"$drive_c/test/uninstall.bat"
uninstall_title='^Tessaly for Zip Uninstall'
run_wine cmd /c 'C:\test\uninstall.bat' >/dev/null 2>&1 &
uninstall_process=$!
if [[ -n $uninstall_string ]] && wait_for 60 window_shown "$uninstall_title" &&
  press_return "$uninstall_title" && press_return "$uninstall_title" &&
  wait_for 60 test ! -e "$program_dir/tessaly-zip.exe" && sleep 1 && press_return "$uninstall_title" &&
  wait_for 60 window_gone "$uninstall_title"; then
  ok "the uninstaller's pages go through with Return: confirmation, activity log, uninstall, close"
else
  fail "the uninstaller (UninstallString: ${uninstall_string:-none}) did not go through its pages (confirmation, activity log, uninstall, close)"
fi
# Every process of the prefix has ended when the server does.
timeout 60 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
wait "$uninstall_process" 2>/dev/null || true
check "the interactive uninstall removed HKCR\\TLZIP" key_missing 'HKCR\TLZIP'
check "the activity log box is unticked at first: the log is kept" grep -q "A repair recorded before the uninstall." "$log_file"
check "run from its copy, the uninstaller removed the program folder at once" test ! -e "$program_dir"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "every check passed"
