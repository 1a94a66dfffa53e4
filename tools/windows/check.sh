#!/bin/bash
# Smoke test of the packed Windows editor (tools/build-windows.sh --check), under Wine in a
# virtual X server, through the real window:
#   1. it starts on a demo bank (test.mdb and data/ in its working folder, made by the Linux
#      jettool) and shows the tree: screenshot main.png;
#   2. a topic is added with the keyboard (Left to the topic, Ctrl+Shift+N, its name typed, OK): topic.png with
#      the dialog, added.png after it; the window is closed with Alt+F4;
#   3. the bank passes `jettool check`, holds the new topic, and reads the same in our engine, in
#      mdb-reader and in mdb-export (after its known losses) on Linux;
#   4. znbank.exe under Wine exports the bank to the same exchange file as znbank on Linux;
#   5. it opens a bank named with Cyrillic letters and spaces in such a folder (cyrillic.png),
#      and one whose path is longer than 260 characters (long-path.png).
#   6. the installer (STAGE-setup.exe) installs the same files silently, with the Start-menu
#      entry and the .mdb "open with" entry, and its uninstaller removes them.
# A bank counts as opened when its lock file (.ldb) appears beside it; every step waits with a
# time limit and fails saying which.
#
#   tools/windows/check.sh STAGE BUILD_WINDOWS
# STAGE is the unpacked program folder (dist/znatokar-VERSION-windows-x64), BUILD_WINDOWS the
# build folder whose check/ keeps the screenshots and banks and whose wine/ the Wine prefix.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
stage="$(cd "$1" && pwd)"
out="$(mkdir -p "$2/check" && cd "$2/check" && pwd)"
jettool="$root/build/tools/jettool"
oracle="$root/tools/oracle"

fail() {
    echo "check.sh: $*" >&2
    exit 1
}

# The Linux jettool makes the demo bank and checks what the Windows editor wrote; the Linux
# znbank exports it to compare with the Windows one.
[ -f "$root/build/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice -n 10 cmake --build "$root/build" -j 2 --target jettool znbank >/dev/null

find "$out" -mindepth 1 -maxdepth 1 ! -name '*.png' -exec rm -rf {} +
rm -f "$out"/*.png

export WINEPREFIX="$(dirname "$out")/wine" WINEARCH=win64 WINEDEBUG=-all
# No installers for Mono and Gecko at the first start.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64

# A virtual X server of its own, on the first free display.
exec 3>"$out/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
cleanup() {
    # Ends what is left in this prefix only, then the X server.
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -s "$out/display" ] && break
    sleep 0.1
done
[ -s "$out/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$out/display")"
[ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot --init >/dev/null 2>&1

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds="$1"
    shift
    for _ in $(seq $((seconds * 5))); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}
shot() { import -window root "$out/$1.png"; }

# Starts the editor in a Wine desktop the size of the screen, in folder $1 with the arguments
# after it, and waits until the bank ($2: its path on Linux) is open and the window drawn.
editor_pid=
start_editor() {
    local dir="$1" bank="$2"
    shift 2
    (cd "$dir" && exec "$wine" explorer /desktop=znatokar,1280x1024 "$stage/znatokar.exe" "$@" \
        >>"$out/wine.log" 2>&1) &
    editor_pid=$!
    wait_for 180 test -e "${bank%.*}.ldb" || {
        shot failed-start
        fail "the editor did not open $bank in 3 minutes (failed-start.png)"
    }
    # The lock comes before the window is painted.
    sleep 5
    wait_for 30 xdotool search --name 'Wine' >/dev/null || fail "no Wine desktop window"
    xdotool windowfocus --sync "$(xdotool search --name 'Wine' | head -n 1)"
}

close_editor() {
    local bank="$1"
    xdotool key --clearmodifiers alt+F4
    wait_for 60 bash -c "! kill -0 $editor_pid 2>/dev/null" || fail "the editor did not end"
    # The lock file goes when the last user of the bank closes it.
    wait_for 30 test ! -e "${bank%.*}.ldb" || fail "the editor left ${bank%.*}.ldb behind"
}

# 1-3. The demo bank: a topic added and saved through the window.
demo="$out/demo"
mkdir -p "$demo/data"
"$jettool" create-test "$demo/test.mdb" --sample
cp "$root"/app/demo/* "$demo/data/"
topics_before="$(mdb-export "$demo/test.mdb" Tema | wc -l)"

start_editor "$demo" "$demo/test.mdb"
shot main
# Typed in Latin letters: xdotool types a letter that is not on the keyboard map by remapping a
# key for it, and Wine misses some of those remapped keys. The Cyrillic of the bank's own topics
# is in the screenshots.
topic="Wine check 15"
# The tree starts on the first question: Left goes up to its topic, where topics can be added.
xdotool key Left
sleep 1
xdotool key --clearmodifiers ctrl+shift+n
sleep 3
xdotool type --delay 80 "$topic"
sleep 1
shot topic
# Tab to the dialog's OK button, space presses it.
xdotool key Tab
sleep 0.5
xdotool key space
sleep 3
shot added
close_editor "$demo/test.mdb"

"$jettool" check "$demo/test.mdb" >/dev/null || fail "jettool check found problems in test.mdb"
[ "$(mdb-export "$demo/test.mdb" Tema | wc -l)" -eq $((topics_before + 1)) ] ||
    fail "test.mdb does not hold one topic more (mdb-export)"
mdb-export "$demo/test.mdb" Tema | grep -q "\"$topic\"" ||
    fail "mdb-export does not show the topic \"$topic\" (see topic.png)"
"$jettool" dump "$demo/test.mdb" --all >"$out/ours.dump"
node "$oracle/mdbreader-dump.mjs" "$demo/test.mdb" --all >"$out/mdbreader.dump"
cmp -s "$out/ours.dump" "$out/mdbreader.dump" ||
    fail "mdb-reader reads test.mdb differently (ours.dump, mdbreader.dump)"
node "$oracle/mdbexport-dump.mjs" "$demo/test.mdb" --all | node "$oracle/lossy.mjs" --mdbtools \
    >"$out/mdbexport.dump"
node "$oracle/lossy.mjs" --mdbtools <"$out/ours.dump" | cmp -s - "$out/mdbexport.dump" ||
    fail "mdb-export reads test.mdb differently (ours.dump, mdbexport.dump)"
echo "check.sh: a topic added under Wine reads the same in jettool, mdb-reader and mdb-export"
# The reverse: the Windows znbank reads a bank the Linux engine wrote as the Linux one does.
"$wine" "$stage/znbank.exe" export "Z:${demo//\//\\}\\test.mdb" "Z:${out//\//\\}\\windows.txt" \
    >>"$out/wine.log" 2>&1 || fail "znbank.exe export failed (wine.log)"
"$root/build/tools/znbank" export "$demo/test.mdb" "$out/linux.txt" >/dev/null
cmp -s "$out/windows.txt" "$out/linux.txt" ||
    fail "znbank.exe under Wine exports test.mdb differently (windows.txt, linux.txt)"
echo "check.sh: znbank.exe under Wine exports the bank as znbank on Linux does"

# 5. Cyrillic names with spaces, and a path longer than Windows' old 260-character limit.
cyr="$out/Тесты 9 класс"
mkdir -p "$cyr/data"
cp "$demo/test.mdb" "$cyr/мой банк.mdb"
cp "$root"/app/demo/* "$cyr/data/"
start_editor "$out" "$cyr/мой банк.mdb" "Z:${cyr//\//\\}\\мой банк.mdb"
shot cyrillic
close_editor "$cyr/мой банк.mdb"
echo "check.sh: opened \"Тесты 9 класс\\мой банк.mdb\""

long="$out/long"
for i in 1 2 3 4 5; do
    long="$long/папка с очень длинным именем номер $i для проверки путей"
done
mkdir -p "$long/data"
cp "$demo/test.mdb" "$long/банк.mdb"
cp "$root"/app/demo/* "$long/data/"
winpath="Z:${long//\//\\}\\банк.mdb"
[ "${#winpath}" -gt 260 ] || fail "the long path is only ${#winpath} characters"
start_editor "$out" "$long/банк.mdb" "$winpath"
shot long-path
close_editor "$long/банк.mdb"
echo "check.sh: opened a bank on a path of ${#winpath} characters"

# 6. The installer, silently: the files, the Start-menu entry and the "open with" command for
# .mdb files; then the uninstaller takes them all away again.
setup="$stage-setup.exe"
installed="$WINEPREFIX/drive_c/Program Files/Znatokar"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Знатокар.lnk"
"$wine" "$setup" /S >>"$out/wine.log" 2>&1 || fail "the installer failed"
wait_for 60 test -f "$installed/uninstall.exe" || fail "the installer did not finish"
diff <(cd "$stage" && find . -type f | sort) \
    <(cd "$installed" && find . -type f ! -name uninstall.exe | sort) >/dev/null ||
    fail "the installed files differ from the zip's"
[ -f "$menu" ] || fail "no Start-menu entry"
"$wine" reg query 'HKLM\Software\Classes\.mdb\OpenWithProgids' /v Znatokar.Bank \
    >>"$out/wine.log" 2>&1 || fail "no .mdb association"
"$wine" reg query 'HKLM\Software\Classes\Znatokar.Bank\shell\open\command' 2>/dev/null |
    grep -q 'znatokar.exe" "%1"' || fail "no command that opens a .mdb file"
"$wine" "C:\\Program Files\\Znatokar\\uninstall.exe" /S >>"$out/wine.log" 2>&1
wait_for 60 test ! -e "$installed" || fail "the uninstaller left $installed"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu entry"
echo "check.sh: the installer installs the zip's files with a menu entry and .mdb association; the uninstaller removes them"
echo "check.sh: passed; screenshots in $out"
