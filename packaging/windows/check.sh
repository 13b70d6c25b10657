#!/usr/bin/env bash
# Proves the Windows build under Wine, after build.sh, on the same machine:
#   1. the suites that need no pseudo-terminal, cross-built, all pass;
#   2. halvo-cli.exe backup --demo writes the very bytes the Linux build writes, and
#      restore --dry-run prints the same 123 frames;
#   3. halvo-config.exe --demo opens its window, connects to the demo unit and reads
#      the pass table (operated with xdotool on Xvfb; a screenshot is kept);
#   4. a COM port Wine maps to the simulated unit's pseudo-terminal (COM5) is read
#      and written through QtSerialPort, with the bytes the Linux build reads and
#      sends; a store of the whole pass table and the location names keeps the unit's
#      pauses (timed by the unit as each frame arrives) at little CPU; a silent unit
#      ends a command when its wait is up; doctor and the support file describe the
#      port; a restore through COM5 is recorded, history lists it, and the records
#      are shared through a bare repository in a folder with a second records folder;
#   5. the installer installs silently, the installed tool starts, idles without
#      CPU and follows the registry's list of COM ports; the uninstaller removes it.
# Each check prints PASS or FAIL; the exit status is the number of failures.
# Runs in a fresh Wine prefix under build-win64/check (HALVO_KEEP_PREFIX=1 keeps the
# last one). Wine passes Qt's variables on to Windows programs only spelt WINEQT_*.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
top="$(cd "$here/../.." && pwd)"
out="$top/build-win64"
version="$(sed -n 's/^project(halvo_config VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")"
bundle="$out/dist/halvo-config-$version-win64"
setup="$out/dist/halvo-config-$version-setup.exe"
work="$out/check"
wine=/usr/lib/wine/wine64
failures=0

export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEQT_FORCE_STDERR_LOGGING=1
# What the Linux build records here stays in the check's own folder; the Windows
# programs keep theirs in the fresh prefix, or where a step names.
export HALVO_RECORDS="$work/linux-records"
# Qt draws no text in line edits with its GDI font engine under Wine; its FreeType
# engine is used here (a Windows PC needs nothing of the kind).
qt_font=(-platform windows:fontengine=freetype)

pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
winpath() { echo "Z:${1//\//\\}"; }
elapsed() { echo "$(($(date +%s) - $1)) s"; }
# CPU seconds used so far (user and system) by the processes whose command line holds
# $1: under Wine a program runs in a process of its own beside the loader that started
# it, so both are counted. And the time now.
cpu_of() {
  local stats=()
  for pid in $(pgrep -f -- "$1"); do stats+=("/proc/$pid/stat"); done
  [ ${#stats[@]} -gt 0 ] || return 1
  awk -v hz="$(getconf CLK_TCK)" '{sub(/.*\) /, ""); t += $12 + $13} END {printf "%.2f", t / hz}' \
    "${stats[@]}" 2>/dev/null
}
now() { date +%s.%N; }
# Percent of one core: CPU seconds $1..$2 over wall seconds $3..$4.
percent() { python3 -c "import sys; a,b,c,d=map(float,sys.argv[1:]); print(f'{100*(b-a)/max(d-c,1e-9):.1f}')" "$@"; }
# Waits up to $3 seconds until the file $1 has $2 lines or more.
await_lines() {
  for _ in $(seq 1 $(($3 * 20))); do
    [ -e "$1" ] && [ "$(wc -l < "$1")" -ge "$2" ] && return 0
    sleep 0.05
  done
  return 1
}

for needed in "$bundle/halvo-config.exe" "$setup" "$out/build/tests"; do
  [ -e "$needed" ] || { echo "missing $needed: run packaging/windows/build.sh first" >&2; exit 100; }
done

rm -rf "$work/suites" "$work/files"
[ "${HALVO_KEEP_PREFIX:-0}" = 1 ] || rm -rf "$WINEPREFIX"
mkdir -p "$work/suites" "$work/files" "$work/fb"
files="$work/files"

# A screen for the window: Xvfb keeps its picture in a file for screenshots.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -fbdir "$work/fb" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null
  /usr/lib/wine/wineserver -k 2>/dev/null
  kill "$xvfb" 2>/dev/null
}
trap cleanup EXIT
export DISPLAY="$display"

started=$(date +%s)
"$wine" cmd /c exit >/dev/null 2>&1 # makes the prefix
# One Wine server for the whole check, so that none of the programs below starts its own
# and leaves its output in theirs.
/usr/lib/wine/wineserver -p >/dev/null 2>&1
echo "Wine $("$wine" --version) prefix ready in $(elapsed "$started")"

# The Linux build to compare with: its command line and its simulated unit.
linux="$out/linux"
if [ ! -x "$linux/src/cli/halvo-cli" ] || [ ! -x "$linux/sim/halvo-unit-sim" ]; then
  cmake -S "$top" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVO_BUILD_TESTS=OFF \
    -DHALVO_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$linux" --target halvo-cli halvo-unit-sim >/dev/null || { echo "Linux build failed" >&2; exit 100; }

# ---------------------------------------------------------------- 1. the suites
cp -r "$bundle"/. "$work/suites/"
cp "${HALVO_WIN_CACHE:-$HOME/.cache/halvo-win64}/qt-6.4.2-mingw64/bin/Qt6Test.dll" "$work/suites/"
cp "$out/build/tests/"*.exe "$work/suites/"
for exe in "$work/suites"/test_*.exe; do
  name="$(basename "$exe" .exe)"
  started=$(date +%s)
  if grep -q "gtest" "$exe"; then
    (cd "$work/suites" && "$wine" "$exe" > "$work/suites/$name.txt" 2>&1)
    status=$?
    summary="$(tr -d '\r' < "$work/suites/$name.txt" | grep -E '^\[  (PASSED|FAILED)' | head -1)"
  else # QtTest writes its report to a file under Wine
    (cd "$work/suites" && "$wine" "$exe" -o "$(winpath "$work/suites/$name.txt"),txt" >/dev/null 2>&1)
    status=$?
    summary="$(tr -d '\r' < "$work/suites/$name.txt" | grep '^Totals' | cut -d, -f1-3)"
  fi
  if [ "$status" = 0 ]; then pass "$name: $summary ($(elapsed "$started"))"
  else fail "$name: status $status, $summary; see $work/suites/$name.txt"; fi
done

# ---------------------------------------------------------------- 2. the command line
cd "$bundle"
"$wine" halvo-cli.exe backup --demo "$(winpath "$files/unit-windows.csv")" >/dev/null 2>&1
"$linux/src/cli/halvo-cli" backup --demo "$files/unit-linux.csv" >/dev/null 2>&1
if [ -s "$files/unit-windows.csv" ] && cmp -s "$files/unit-windows.csv" "$files/unit-linux.csv"; then
  pass "backup --demo: $(stat -c %s "$files/unit-windows.csv") bytes, identical to the Linux build's"
else
  fail "backup --demo: the data files differ (or one is missing) in $files"
fi
"$wine" halvo-cli.exe restore --dry-run "$(winpath "$files/unit-windows.csv")" > "$files/dry-windows.txt" 2>/dev/null
"$linux/src/cli/halvo-cli" restore --dry-run "$files/unit-linux.csv" > "$files/dry-linux.txt" 2>/dev/null
frames=$(wc -l < "$files/dry-windows.txt")
if [ "$frames" = 123 ] && cmp -s "$files/dry-windows.txt" "$files/dry-linux.txt"; then
  pass "restore --dry-run: the same 123 frames, byte for byte"
else
  fail "restore --dry-run: $frames frames, or different from the Linux build's (see $files)"
fi
"$wine" halvo-cli.exe events --demo --pages 2 --pause-scale 0.5 - > "$files/events-windows.txt" 2>/dev/null
"$linux/src/cli/halvo-cli" events --demo --pages 2 --pause-scale 0.5 - > "$files/events-linux.txt" 2>/dev/null
if [ -s "$files/events-windows.txt" ] && cmp -s "$files/events-windows.txt" "$files/events-linux.txt"; then
  pass "events --demo to standard output: CR LF exactly as on Linux"
else
  fail "events --demo: the output differs from the Linux build's (see $files)"
fi

# ---------------------------------------------------------------- 3. the window
# Waits for the tool's window; prints its X id.
await_window() {
  local id=""
  for _ in $(seq 1 60); do
    id="$(xdotool search --name "^Halvo Configuration Tool$" 2>/dev/null | head -1)"
    [ -n "$id" ] && break
    sleep 1
  done
  echo "$id"
}
# Waits up to $2 seconds for the text $1 in the file $3.
await_line() {
  for _ in $(seq 1 "$2"); do
    grep -q "$1" "$3" 2>/dev/null && return 0
    sleep 1
  done
  return 1
}
# Clicks at a point of the window, given in its own pixels.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

started=$(date +%s)
# The window keeps no records here: its first read would ask who records on this PC.
"$wine" reg add 'HKCU\Software\halvo\records\records' /v on /t REG_SZ /d false /f >/dev/null 2>&1
WINEQT_LOGGING_RULES="halvo.*.info=true" "$wine" halvo-config.exe --demo "${qt_font[@]}" > "$files/window.log" 2>&1 &
disown
window="$(await_window)"
if [ -z "$window" ]; then
  fail "halvo-config.exe --demo: no window within 60 s (see $files/window.log)"
else
  pass "halvo-config.exe --demo: the window \"Halvo Configuration Tool\" is shown ($(elapsed "$started"))"
  # The designed layout: "Connect to Base", the pass tab, "READ CONFIGURATION".
  click "$window" 80 93
  if await_line "connected to demo" 20 "$files/window.log"; then
    pass "Connect to Base: connected to the demo unit"
  else
    fail "Connect to Base: not connected (see $files/window.log)"
  fi
  click "$window" 94 171
  sleep 1
  click "$window" 367 692
  if await_line "read in full: Pass Device Configuration, 72 replies" 30 "$files/window.log"; then
    pass "READ CONFIGURATION: the pass table read, 72 replies"
  else
    fail "READ CONFIGURATION: the pass table was not read (see $files/window.log)"
  fi
  sleep 2 # the last rows drawn
  eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X/{print "x="$4} /Absolute upper-left Y/{print "y="$4}
                                         /Width/{print "w="$2} /Height/{print "h="$2}')"
  python3 "$here/xwd-to-png.py" "$work/fb/Xvfb_screen0" "$work/window.png" "$x" "$y" "$w" "$h" &&
    echo "      screenshot: $work/window.png"
fi
/usr/lib/wine/wineserver -k 2>/dev/null
sleep 1
/usr/lib/wine/wineserver -p >/dev/null 2>&1

# ---------------------------------------------------------------- 4. a COM port
# Wine opens COMn through the link $WINEPREFIX/dosdevices/comn: here to the simulated
# unit's pseudo-terminal.
# Starts the simulated unit on a pseudo-terminal, recording what it receives in $1;
# sets sim and pty.
start_unit() {
  rm -f "$1" "$files/sim.txt"
  "$linux/sim/halvo-unit-sim" --banner-interval 500 --record "$1" "${@:2}" > "$files/sim.txt" 2>&1 &
  sim=$!
  await_line "/dev/" 10 "$files/sim.txt"
  pty="$(head -1 "$files/sim.txt")"
}
stop_unit() {
  kill "$sim"; wait "$sim" 2>/dev/null
  sim=""
}
start_unit "$files/frames-read.txt"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
# (A file named com5.csv is COM5 itself on Windows: the name must not start so.)
"$wine" halvo-cli.exe backup --port COM5 "$(winpath "$files/unit-over-port.csv")" > "$files/com5.txt" 2>&1
if [ -s "$files/unit-over-port.csv" ] && cmp -s "$files/unit-over-port.csv" "$files/unit-linux.csv"; then
  pass "backup --port COM5 (Wine's COM5 -> $pty): read, and identical to the Linux build's file"
else
  fail "backup --port COM5: $(tr -d '\r' < "$files/com5.txt" | tail -1)"
fi
stop_unit
start_unit "$files/frames-windows.txt"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
"$wine" halvo-cli.exe restore --port COM5 --pause-scale 0.2 "$(winpath "$files/unit-over-port.csv")" \
  >> "$files/com5.txt" 2>&1
stop_unit
start_unit "$files/frames-linux.txt"
"$linux/src/cli/halvo-cli" restore --port "$pty" --pause-scale 0.2 "$files/unit-linux.csv" >/dev/null 2>&1
stop_unit
# The 123 store frames, then the three reads that check what the unit holds.
sent=$(grep -c "^44 2[23B] " "$files/frames-windows.txt" 2>/dev/null)
if [ "$sent" = 123 ] && cmp -s "$files/frames-windows.txt" "$files/frames-linux.txt"; then
  pass "restore --port COM5: the unit received the same 123 store frames and read-back requests as" \
       "from the Linux build"
else
  fail "restore --port COM5: the unit received $sent store frames, or others than from Linux (see $files)"
fi

# The whole pass table and the location names at the unit's own pace: the unit times
# each frame as it arrives; the tool's CPU is read from the first frame to the last.
start_unit "$files/frames-paced.txt" --record-times
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
"$wine" halvo-cli.exe restore --port COM5 "$(winpath "$files/unit-over-port.csv")" > "$files/paced.txt" 2>&1 &
tool=$!
cpu0="" cpu1=""
if await_lines "$files/frames-paced.txt" 1 30; then
  cpu0=$(cpu_of "halvo-cli.exe restore --port COM5") t0=$(now)
  await_lines "$files/frames-paced.txt" 123 120 && cpu1=$(cpu_of "halvo-cli.exe restore --port COM5") t1=$(now)
fi
wait "$tool"
stored=$?
stop_unit
# The least gap after a pass frame (code 22) and after a location frame (code 2B).
read -r pass_gap location_gap frames_paced < <(python3 - "$files/frames-paced.txt" <<'GAPS'
import sys
# Store frames: settings (23), a pass (22), a location name (2B); the read back of
# what was stored follows them.
rows = [line.split() for line in open(sys.argv[1]) if line.strip()]
stored = [row for row in rows if row[2] in ("22", "23", "2B")]
gaps = {"22": [], "2B": []}
for before, after in zip(stored, stored[1:]):
    if before[2] in gaps:
        gaps[before[2]].append((int(after[0]) - int(before[0])) / 1e6)
print(f"{min(gaps['22'], default=0):.3f} {min(gaps['2B'], default=0):.3f} {len(stored)}")
GAPS
)
if [ "$stored" = 0 ] && [ "$frames_paced" = 123 ] &&
   python3 -c "import sys; sys.exit(not ($pass_gap >= 0.2 and $location_gap >= 0.3))"; then
  pass "store through COM5 at the unit's pace: 123 frames, the least gap ${pass_gap} s after a pass" \
       "(0.2 s needed), ${location_gap} s after a location name (0.3 s needed)"
else
  fail "store through COM5: status $stored, $frames_paced frames, least gaps $pass_gap s / $location_gap s" \
       "(see $files/frames-paced.txt, $files/paced.txt)"
fi
if [ -n "$cpu1" ]; then
  load=$(percent "$cpu0" "$cpu1" "$t0" "$t1")
  span=$(python3 -c "print(f'{$t1 - $t0:.1f}')")
  if python3 -c "import sys; sys.exit(not $load <= 2.0)"; then
    pass "the tool's CPU during the store: ${load}% of a core ($(python3 -c "print(f'{$cpu1 - $cpu0:.2f}')") s in $span s)"
  else
    fail "the tool's CPU during the store: ${load}% of a core over $span s (2% at most)"
  fi
else
  fail "the tool's CPU during the store: the frames never all arrived"
fi

# The records through COM5: a restore recorded as the unit's first version, which
# history lists; shared with a bare repository in a folder, and brought whole to a
# second records folder by its first sync. Plain git on Linux reads all three.
records="$files/records" second="$files/records-second" department="$files/department.git"
rm -rf "$records" "$second" "$department"
git init -q --bare "$department"
start_unit "$files/frames-records.txt"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
"$wine" halvo-cli.exe restore --port COM5 --pause-scale 0.2 --records "$(winpath "$records")" \
  --unit-name "Engine 3" --operator "Check Operator" "$(winpath "$files/unit-over-port.csv")" \
  > "$files/records-restore.txt" 2>&1
restored=$?
stop_unit
said="$(tr -d '\r' < "$files/records-restore.txt" | tail -1)"
if [ "$restored" = 0 ] && [ "$said" = "halvo-cli: recorded as version 1 of Engine 3" ] &&
   [ "$(git -C "$records" log --format='%an|%s' 2>&1)" = "Check Operator|Stored the pass table, not recorded before; the settings, not recorded before; the location names, not recorded before" ] &&
   [ -z "$(git -C "$records" status --porcelain 2>&1)" ]; then
  pass "restore --port COM5 with records: \"${said#halvo-cli: }\", one commit plain git reads"
else
  fail "restore --port COM5 with records: status $restored, \"$said\" (see $files/records-restore.txt)"
fi
"$wine" halvo-cli.exe history --records "$(winpath "$records")" "Engine 3" > "$files/history.txt" 2>&1
listed="$(tr -d '\r' < "$files/history.txt")"
if [ "$(grep -c . <<< "$listed")" = 1 ] &&
   grep -q "^1  $(date +%Y-%m-%d) [0-9:]*  Check Operator  Stored the pass table" <<< "$listed"; then
  pass "history \"Engine 3\": $listed"
else
  fail "history \"Engine 3\": $listed"
fi
"$wine" halvo-cli.exe records --records "$(winpath "$records")" remote "$(winpath "$department")" \
  > "$files/share.txt" 2>&1
shared=$?
"$wine" halvo-cli.exe records --records "$(winpath "$second")" remote "$(winpath "$department")" \
  > "$files/join.txt" 2>&1
joined=$?
"$wine" halvo-cli.exe history --records "$(winpath "$second")" "Engine 3" > "$files/history-second.txt" 2>&1
head="$(git -C "$records" rev-parse HEAD 2>&1)"
if [ "$shared" = 0 ] && [ "$joined" = 0 ] && [ "$(git -C "$department" rev-parse HEAD 2>&1)" = "$head" ] &&
   [ "$(git -C "$second" rev-parse HEAD 2>&1)" = "$head" ] &&
   [ "$(tr -d '\r' < "$files/history-second.txt")" = "$listed" ]; then
  pass "records remote (a bare repository in a folder): \"$(tr -d '\r' < "$files/share.txt" | tail -1 | sed 's/^halvo-cli: //')\";" \
       "a second records folder joining: \"$(tr -d '\r' < "$files/join.txt" | tail -1 | sed 's/^halvo-cli: //')\", every version listed"
else
  fail "records remote: status $shared / $joined (see $files/share.txt, $files/join.txt, $files/history-second.txt)"
fi

# A unit that never announces itself: the command ends when its wait is up (3 s
# here) and says so. (A port another program holds cannot be made here: Wine opens a
# COM port for a second program as readily as for the first, so "in use" is proven by
# the suites, from the refusal Windows gives.)
start_unit "$files/frames-silent.txt" --silent
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
t0=$(now)
timeout 60 "$wine" halvo-cli.exe backup --port COM5 --timeout 3 "$(winpath "$files/silent.csv")" \
  > "$files/silent.txt" 2>&1
silent=$?
took=$(python3 -c "print(f'{$(now) - $t0:.1f}')")
stop_unit
expected="halvo-cli: Communications Error Please correct and retry: no base unit announced itself on COM5 within 3 s"
if [ "$silent" = 1 ] && tr -d '\r' < "$files/silent.txt" | grep -qxF "$expected" && [ ! -e "$files/silent.csv" ]; then
  pass "a silent unit on COM5: exit 1 after ${took} s, \"${expected#halvo-cli: }\", no file written"
else
  fail "a silent unit on COM5: status $silent after ${took} s: $(tr -d '\r' < "$files/silent.txt" | tail -1)"
fi

# doctor and the support file, with the unit free on COM5.
start_unit "$files/frames-free.txt"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
"$wine" halvo-cli.exe doctor --port COM5 > "$files/doctor.txt" 2>&1
doctor=$?
tr -d '\r' < "$files/doctor.txt" > "$files/doctor-lf.txt"
problems=$(grep -c "^  in use\|^  cannot open it" "$files/doctor-lf.txt")
if grep -A4 -xF 'COM 5 : COM5 (opened as \\.\COM5)' "$files/doctor-lf.txt" |
     grep -qxF "  this user: can open it now" &&
   { { [ "$doctor" = 0 ] && [ "$problems" = 0 ]; } || { [ "$doctor" = 1 ] && [ "$problems" -gt 0 ]; }; }; then
  pass "doctor --port COM5: each COM port with whether it opens now (COM5: it can), status $doctor for" \
       "$problems problem(s)"
else
  fail "doctor --port COM5: status $doctor (see $files/doctor.txt)"
fi
"$wine" halvo-cli.exe support-file --port COM5 "$(winpath "$files/support.txt")" > /dev/null 2>&1
supported=$?
stop_unit
tr -d '\r' < "$files/support.txt" > "$files/support-lf.txt" 2>/dev/null
missing=""
for line in "System: Windows" "Qt: running 6.4.2" \
            "COM 5 : COM5" "Unit: Halvo Base Unit" "Port: open, COM5"; do
  grep -qF "$line" "$files/support-lf.txt" || missing="$missing [$line]"
done
if [ "$supported" = 0 ] && [ -z "$missing" ]; then
  pass "support-file --port COM5: $(wc -l < "$files/support-lf.txt") lines: system, Qt, ports, doctor, connection, log"
else
  fail "support-file --port COM5: status $supported, missing$missing (see $files/support.txt)"
fi

# ---------------------------------------------------------------- 5. the installer
started=$(date +%s)
"$wine" "$setup" /S '/D=C:\Halvo' >/dev/null 2>&1
installed="$WINEPREFIX/drive_c/Halvo"
shortcut="$(find "$WINEPREFIX/drive_c" -name "Halvo Configuration Tool.lnk" 2>/dev/null | head -1)"
if [ -f "$installed/halvo-config.exe" ] && [ -f "$installed/Uninstall.exe" ] && [ -n "$shortcut" ]; then
  pass "setup.exe /S: installed in C:\\Halvo with its uninstaller and the Start-menu entry ($(elapsed "$started"))"
else
  fail "setup.exe /S: not installed as expected under $installed"
fi
cd "$installed" 2>/dev/null || cd "$work"
WINEQT_LOGGING_RULES="halvo.*.info=true" "$wine" halvo-config.exe --demo "${qt_font[@]}" \
  > "$files/installed.log" 2>&1 &
disown
window="$(await_window)"
if [ -n "$window" ] && await_line "port list read: 2 ports" 10 "$files/installed.log"; then
  pass "the installed halvo-config.exe --demo starts and shows its window (COM1 and the demo listed)"
  # Idle: nothing open, nothing to do; the list of COM ports looked at once a second.
  cpu0=$(cpu_of "halvo-config.exe --demo") t0=$(now)
  sleep 10
  cpu1=$(cpu_of "halvo-config.exe --demo") t1=$(now)
  load=$(percent "$cpu0" "$cpu1" "$t0" "$t1")
  if python3 -c "import sys; sys.exit(not $load <= 1.0)"; then
    pass "the window idle for 10 s: ${load}% of a core"
  else
    fail "the window idle for 10 s: ${load}% of a core (1% at most)"
  fi
  # A COM port arrives in the registry's list and leaves it again: the list follows.
  serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
  "$wine" reg add "$serialcomm" /v 'Halvo\Check7' /t REG_SZ /d COM7 /f >/dev/null 2>&1
  arrived=$(await_line "port list read: 3 ports" 10 "$files/installed.log" && echo yes)
  "$wine" reg delete "$serialcomm" /v 'Halvo\Check7' /f >/dev/null 2>&1
  sleep 3
  left=$(tail -1 "$files/installed.log" | grep -q "port list read: 2 ports" && echo yes)
  if [ "$arrived" = yes ] && [ "$left" = yes ]; then
    pass "a COM7 added to and removed from the registry's list: the port list read again each time"
  else
    fail "the port list did not follow the registry (see $files/installed.log)"
  fi
else
  fail "the installed halvo-config.exe --demo did not start (see $files/installed.log)"
fi
/usr/lib/wine/wineserver -k 2>/dev/null
sleep 1
/usr/lib/wine/wineserver -p >/dev/null 2>&1
"$wine" 'C:\Halvo\Uninstall.exe' /S >/dev/null 2>&1
for _ in $(seq 1 30); do [ -e "$installed/halvo-config.exe" ] || break; sleep 1; done
if [ -n "$shortcut" ] && [ ! -e "$installed/halvo-config.exe" ] && [ ! -e "$shortcut" ]; then
  pass "Uninstall.exe /S: the tool and its Start-menu entry are gone"
else
  fail "Uninstall.exe /S: something is left in $installed"
fi

echo
echo "zip:       $(stat -c %s "$out/dist/halvo-config-$version-win64.zip") bytes"
echo "installer: $(stat -c %s "$setup") bytes"
[ "$failures" = 0 ] && echo "All checks passed." || echo "$failures check(s) failed."
exit "$failures"
