#!/usr/bin/env bash
# Builds a release and reports what Tallimer costs: Google Benchmark figures for its own
# work, then the program against a bare Qt window with the same controls on one virtual
# display (first paint, peak memory, CPU while refreshing every second), system calls per
# refresh and wakeups per minute with refreshing stopped. It reports; it never fails on a
# number.
#   scripts/bench.sh [COMMIT]   also starts the program of COMMIT (by default the last release
#                               tag, v*) beside today's, alternately, and prints both medians
# BENCH_ONLY=linux or =windows measures one program alone; BENCH_STARTS and BENCH_CPU_SECONDS
# set how many starts and how long a run.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
AGAINST=${1:-$(git -C "$ROOT" describe --tags --abbrev=0 --match 'v*' 2>/dev/null || true)}
ONLY=${BENCH_ONLY:-}

# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES $DESKTOP_TEST_PACKAGES libxcb1-dev
BUILD="$ROOT/build-bench"
build bench >/dev/null
SECONDS_CPU=${BENCH_CPU_SECONDS:-60}
STARTS=${BENCH_STARTS:-15}

# The program of another commit, built from its own sources as that commit builds it.
OLD="$ROOT/build-bench-against"
old_linux=""
old_windows=""
# old_program PRESET FILE: that commit's program, built with one of its own presets.
old_program() {
    (cd "$OLD/src" && cmake --preset "$1" >/dev/null && cmake --build "build-$1" --target tallimer >/dev/null) &&
        echo "$OLD/src/build-$1/bin/$2"
}
# old_row MEDIANS BARE: the line of the older program's median, against the bare window's.
old_row() {
    local paint
    paint=$(median <"$1")
    printf '%-34s %9s ms %12s %8s\n' "  the program of $AGAINST" "$paint" "" "$(ratio "$paint" "$2")"
}
if [ -n "$AGAINST" ]; then
    rev=$(git -C "$ROOT" rev-parse --verify --short "$AGAINST^{commit}")
    if [ "$(cat "$OLD/rev" 2>/dev/null)" != "$rev" ]; then
        rm -rf "$OLD" && mkdir -p "$OLD/src"
        git -C "$ROOT" archive "$rev" | tar -x -C "$OLD/src"
        echo "$rev" >"$OLD/rev"
    fi
    echo "== Beside the program of $AGAINST ($rev)"
    [ "$ONLY" = windows ] || old_linux=$(old_program bench tallimer) || old_linux=""
else
    echo "== No release tag (v*) and no commit named: today's program alone"
fi

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
fifo="$work/displayfd"
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
pids+=($!)
read -r number <"$fifo"
export DISPLAY=":$number" XDG_RUNTIME_DIR="$work"
export DBUS_SESSION_BUS_ADDRESS=disabled: # no session bus, and none started for the display

# A program folder that refreshes every second from the start, and one that stays stopped.
mkdir -p "$work/running" "$work/stopped"
cp "$BUILD/bin/tallimer" "$work/running/"
cp "$BUILD/bin/tallimer" "$work/stopped/"
printf '[Options]\r\nAutoStart=1\r\nInterval=0\r\n' >"$work/running/Settings.ini"
TALLIMER="$work/running/tallimer"
BARE="$BUILD/bench/bare_window"
if [ -n "$old_linux" ]; then
    mkdir -p "$work/old" && cp "$old_linux" "$work/old/"
    cp "$work/running/Settings.ini" "$work/old/"
fi

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { print s }'; }
peak_kb() { awk '/VmHWM/ { print $2 }' /proc/"$1"/status; }

if [ "$ONLY" != windows ]; then
echo "== Google Benchmark"
"$BUILD/bench/bench_core" --benchmark_min_time=0.5

echo
echo "== Start to first painted frame (median of $STARTS)"
for _ in $(seq "$STARTS"); do
    "$BUILD/bench/firstpaint" "$TALLIMER" >>"$work/paint-tallimer" 2>/dev/null || true
    "$BUILD/bench/firstpaint" "$BARE" >>"$work/paint-bare" 2>/dev/null || true
    [ -z "$old_linux" ] || "$BUILD/bench/firstpaint" "$work/old/tallimer" >>"$work/paint-old" 2>/dev/null || true
done
paint_t=$(median <"$work/paint-tallimer")
paint_b=$(median <"$work/paint-bare")

echo "== CPU and peak memory over $SECONDS_CPU s, refreshing every second"
"$TALLIMER" >/dev/null 2>&1 &
tallimer=$!
"$BARE" >/dev/null 2>&1 &
bare=$!
"$BARE" --relabel >/dev/null 2>&1 &
relabel=$!
mkdir -p "$work/floor"
"$BUILD/bench/floor" "$work/floor/uptime.txt" &
floor=$!
pids+=($tallimer $bare $relabel $floor)
sleep 2
t0=$(cpu_ns $tallimer)
b0=$(cpu_ns $bare)
r0=$(cpu_ns $relabel)
f0=$(cpu_ns $floor)
sleep "$SECONDS_CPU"
cpu_t=$((($(cpu_ns $tallimer) - t0) / 1000))
cpu_b=$((($(cpu_ns $bare) - b0) / 1000))
cpu_r=$((($(cpu_ns $relabel) - r0) / 1000))
cpu_f=$((($(cpu_ns $floor) - f0) / 1000))
rss_t=$(peak_kb $tallimer)
rss_b=$(peak_kb $bare)
kill $tallimer $bare $relabel $floor

printf '\n%-34s %12s %12s %8s\n' "" "Tallimer" "bare window" "ratio"
printf '%-34s %9s ms %9s ms %8s\n' "start to first paint" "$paint_t" "$paint_b" "$(ratio "$paint_t" "$paint_b")"
[ -z "$old_linux" ] || old_row "$work/paint-old" "$paint_b"
printf '%-34s %9s kB %9s kB %8s\n' "peak resident memory" "$rss_t" "$rss_b" "$(ratio "$rss_t" "$rss_b")"
printf '%-34s %9s us %9s us %8s\n' "CPU time over $SECONDS_CPU s" "$cpu_t" "$cpu_b" "$(ratio "$cpu_t" "$cpu_b")"
printf '%-34s %9s us %9s us %8s\n' "  against a window that relabels" "$cpu_t" "$cpu_r" "$(ratio "$cpu_t" "$cpu_r")"
# What a refresh costs beyond relabelling a window, against the least a program can do to keep
# the file current (one timer on the boot clock, one atomic replace a second).
own=$(((cpu_t - cpu_r) / SECONDS_CPU))
printf '%-34s %9s us %9s us %8s\n' "a refresh beyond a relabel, per s" "$own" "$((cpu_f / SECONDS_CPU))" \
    "$(ratio "$own" "$((cpu_f / SECONDS_CPU))")"

echo
echo "== System calls"
# One refresh is what lies between the look at the output file and its rename.
timeout 8 strace -f -o "$work/trace" "$TALLIMER" >/dev/null 2>&1 || true
awk '/\/uptime\.txt"/ && /newfstatat|lstat/ { n = 0; on = 1 }
     on { n++ }
     on && /rename\(.*uptime\.txt/ { print n; on = 0 }' "$work/trace" | median >"$work/per-refresh"
echo "system calls per refresh (median): $(cat "$work/per-refresh")"
echo "the calls of the last refresh:"
awk '/\/uptime\.txt"/ && /newfstatat|lstat/ { buf = ""; on = 1 }
     on { sub(/^[0-9]+ +/, ""); buf = buf "    " substr($0, 1, 90) "\n" }
     on && /rename\(.*uptime\.txt/ { last = buf; on = 0 }
     END { printf "%s", last }' "$work/trace"

# Wakeups: returns from the event loop's poll over 20 s, refreshing stopped and the window
# untouched. Counted before the programs are told to end, since their orderly close has
# traffic of its own.
timeout 24 strace -f -e trace=poll,ppoll -o "$work/idle" "$work/stopped/tallimer" >/dev/null 2>&1 &
idle=$!
timeout 24 strace -f -e trace=poll,ppoll -o "$work/idle-bare" "$BARE" >/dev/null 2>&1 &
idle_bare=$!
sleep 2
: >"$work/idle"
: >"$work/idle-bare"
sleep 20
cp "$work/idle" "$work/idle-counted"
cp "$work/idle-bare" "$work/idle-bare-counted"
wait $idle $idle_bare || true
per_minute() { tr -d '\0' <"$1" | grep -c -E '(poll|resumed).*= [0-9]' | awk '{ print $1 * 3 }'; }
echo "wakeups per minute, refreshing stopped: $(per_minute "$work/idle-counted") (bare window with its 1 s timer: $(per_minute "$work/idle-bare-counted"))"
fi
[ "$ONLY" != linux ] || exit 0

echo
echo "== The Windows program under Wine, beside a bare Win32 window with the same controls"
ensure_windows_packages
build windows-x86_64-release --target tallimer bare_win32 >/dev/null
RELEASE="$ROOT/build-windows-x86_64-release"
[ -z "$AGAINST" ] || old_windows=$(old_program windows-x86_64-release tallimer.exe) || old_windows=""
export WINEPREFIX="$work/wine"
wine wineboot --init </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wineserver -w
# The first program of a Wine session starts its shell too: that is not the program's cost.
wineserver -p </dev/null >/dev/null 2>&1
mkdir -p "$work/windows" "$work/windows-bare" "$work/windows-styled"
cp "$RELEASE/bin/tallimer.exe" "$work/windows/"
cp "$RELEASE/bench/bare_win32.exe" "$work/windows-bare/"
# The bare window again with the program's manifest beside it: the common controls 6 (the
# system's visual styles) that the program asks for, with what they cost.
cp "$RELEASE/bench/bare_win32.exe" "$work/windows-styled/"
cp "$RELEASE/src/tallimer.manifest" "$work/windows-styled/bare_win32.exe.manifest"
[ -z "$old_windows" ] || { mkdir -p "$work/windows-old" && cp "$old_windows" "$work/windows-old/"; }
(cd "$work/windows-bare" && timeout 8 "$ROOT/scripts/wine.sh" bare_win32.exe) >/dev/null 2>&1 || true
for _ in $(seq "$STARTS"); do
    (cd "$work/windows" && "$BUILD/bench/firstpaint" "$ROOT/scripts/wine.sh" tallimer.exe) \
        >>"$work/paint-windows" 2>/dev/null || true
    (cd "$work/windows-bare" && "$BUILD/bench/firstpaint" "$ROOT/scripts/wine.sh" bare_win32.exe) \
        >>"$work/paint-windows-bare" 2>/dev/null || true
    (cd "$work/windows-styled" && "$BUILD/bench/firstpaint" "$ROOT/scripts/wine.sh" bare_win32.exe) \
        >>"$work/paint-windows-styled" 2>/dev/null || true
    [ -z "$old_windows" ] || (cd "$work/windows-old" && "$BUILD/bench/firstpaint" "$ROOT/scripts/wine.sh" tallimer.exe) \
        >>"$work/paint-windows-old" 2>/dev/null || true
done
paint_w=$(median <"$work/paint-windows")
paint_wb=$(median <"$work/paint-windows-bare")
paint_ws=$(median <"$work/paint-windows-styled")
printf '[Options]\r\nAutoStart=1\r\nInterval=0\r\n' >"$work/windows/Settings.ini"
(cd "$work/windows" && exec "$ROOT/scripts/wine.sh" tallimer.exe) >/dev/null 2>&1 &
windows=$!
(cd "$work/windows-bare" && exec "$ROOT/scripts/wine.sh" bare_win32.exe) >/dev/null 2>&1 &
windows_bare=$!
mkdir -p "$work/windows-writing"
cp "$RELEASE/bench/bare_win32.exe" "$work/windows-writing/"
(cd "$work/windows-writing" && exec "$ROOT/scripts/wine.sh" bare_win32.exe --write) >/dev/null 2>&1 &
windows_writing=$!
(cd "$work/windows-styled" && exec "$ROOT/scripts/wine.sh" bare_win32.exe --write) >/dev/null 2>&1 &
windows_styled=$!
pids+=($windows $windows_bare $windows_writing $windows_styled)
sleep 5
w0=$(cpu_ns "$windows")
wb0=$(cpu_ns "$windows_bare")
ww0=$(cpu_ns "$windows_writing")
ws0=$(cpu_ns "$windows_styled")
sleep "$SECONDS_CPU"
cpu_w=$((($(cpu_ns "$windows") - w0) / 1000))
cpu_wb=$((($(cpu_ns "$windows_bare") - wb0) / 1000))
cpu_ww=$((($(cpu_ns "$windows_writing") - ww0) / 1000))
cpu_ws=$((($(cpu_ns "$windows_styled") - ws0) / 1000))
# The kB of a process's smaps that match: Private_(Clean|Dirty) is its private memory;
# Private_Dirty what no file holds, for the pages of a program file or a library that only
# this process maps count as private too, and the system can drop them and read them again.
smaps_kb() { awk -v key="^$1:" '$0 ~ key { s += $2 } END { print s }' /proc/"$2"/smaps_rollup; }
mem_w=$(smaps_kb 'Private_(Clean|Dirty)' "$windows")
mem_wb=$(smaps_kb 'Private_(Clean|Dirty)' "$windows_bare")
mem_ws=$(smaps_kb 'Private_(Clean|Dirty)' "$windows_styled")
dirty_w=$(smaps_kb Private_Dirty "$windows")
dirty_wb=$(smaps_kb Private_Dirty "$windows_bare")
dirty_ws=$(smaps_kb Private_Dirty "$windows_styled")
size_w=$(($(stat -c %s "$work/windows/tallimer.exe") / 1024))
size_wb=$(($(stat -c %s "$work/windows-bare/bare_win32.exe") / 1024))
kill "$windows" "$windows_bare" "$windows_writing" "$windows_styled" 2>/dev/null || true
printf '\n%-34s %12s %12s %8s\n' "" "Tallimer" "bare Win32" "ratio"
printf '%-34s %9s ms %9s ms %8s\n' "start to first paint (median)" "$paint_w" "$paint_wb" "$(ratio "$paint_w" "$paint_wb")"
[ -z "$old_windows" ] || old_row "$work/paint-windows-old" "$paint_wb"
styled_row() {
    printf '%-34s %9s %s %9s %s %8s\n' "  against one with its manifest" "$1" "$3" "$2" "$3" \
        "$(ratio "$1" "$2")"
}
styled_row "$paint_w" "$paint_ws" ms
printf '%-34s %9s us %9s us %8s\n' "CPU over $SECONDS_CPU s, refreshing" "$cpu_w" "$cpu_wb" "$(ratio "$cpu_w" "$cpu_wb")"
printf '%-34s %9s us %9s us %8s\n' "  against one that also writes" "$cpu_w" "$cpu_ww" "$(ratio "$cpu_w" "$cpu_ww")"
styled_row "$cpu_w" "$cpu_ws" us
printf '%-34s %9s kB %9s kB %8s\n' "private memory" "$mem_w" "$mem_wb" "$(ratio "$mem_w" "$mem_wb")"
styled_row "$mem_w" "$mem_ws" kB
printf '%-34s %9s kB %9s kB %8s\n' "  of it in no file" "$dirty_w" "$dirty_wb" "$(ratio "$dirty_w" "$dirty_wb")"
styled_row "$dirty_w" "$dirty_ws" kB
printf '%-34s %9s kB %9s kB %8s\n' "program file" "$size_w" "$size_wb" "$(ratio "$size_w" "$size_wb")"
wineserver -k 2>/dev/null || true
