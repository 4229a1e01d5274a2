#!/usr/bin/env bash
# Start-up, idle, exit and resize figures of Quibra beside a bare JUCE window
# built with the same JUCE, options and build type (Release, in build-release/
# or $QUIBRA_BENCH_BUILD_DIR). Both programs are launched alternately on a
# display of their own (Xvfb with openbox; QUIBRA_BENCH_WM=0 for a bare X
# server), QUIBRA_BENCH_RUNS times each (5); idle CPU is measured over
# QUIBRA_BENCH_IDLE seconds (15). Prints medians and the ratio to the bare
# window measured in the same run. QUIBRA_BENCH_NO_BUILD=1 skips the build.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${QUIBRA_BENCH_BUILD_DIR:-build-release}"
runs="${QUIBRA_BENCH_RUNS:-5}"
idle="${QUIBRA_BENCH_IDLE:-15}"

if [ "${QUIBRA_BENCH_NO_BUILD:-0}" != 1 ]; then
    export CCACHE_NOHASHDIR=1
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd .. && pwd)}"
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DQUIBRA_BUILD_TESTS=ON >/dev/null
    cmake --build "$build_dir" -j "${QUIBRA_BENCH_JOBS:-3}" --target Quibra quibra_bench quibra_bare_window >/dev/null
fi

bench="$build_dir/tests/quibra_bench"
quibra="$build_dir/Quibra_artefacts/Release/Quibra"
bare="$build_dir/tests/quibra_bare_window_artefacts/Release/BareWindow"
for f in "$bench" "$quibra" "$bare"; do [ -x "$f" ] || { echo "missing $f" >&2; exit 1; }; done

work=$(mktemp -d /tmp/quibra-bench-XXXXXX)
xvfb_pid=""; wm_pid=""
cleanup()
{
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own.
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -br -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
# The programs' per-user run files (the single-instance lock and socket) go
# with the rest when the script ends.
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
if [ "${QUIBRA_BENCH_WM:-1}" != 0 ]; then
    HOME="$work" openbox --sm-disable >/dev/null 2>&1 &
    wm_pid=$!
    sleep 1
fi

launch_quibra()
{
    "$bench" launch --title "Quibra v2.0.0.0" --probe 244,-277 --want green --idle "$idle" \
        --second menu --second-title FlexROUTE --close menu --settings .config/Quibra/Quibra.settings -- "$quibra" 2>/dev/null
}
launch_bare()
{
    "$bench" launch --title "Bare window" --probe 164,-217 --want d3d3d3 --idle "$idle" \
        --second click --second-title "Bare second window" --close wm -- "$bare" 2>/dev/null
}

for i in $(seq 1 "$runs"); do
    echo "run $i of $runs" >&2
    launch_bare >>"$work/bare.txt" || echo "bare window: launch $i failed" >&2
    launch_quibra >>"$work/quibra.txt" || echo "Quibra: launch $i failed" >&2
    "$bench" resize 2>/dev/null >>"$work/resize.txt" || echo "resize run $i failed" >&2
done

/usr/bin/python3 - "$work" "$runs" "$idle" <<'PY'
import statistics, sys
work, runs, idle = sys.argv[1], sys.argv[2], sys.argv[3]

def read(name):
    rows = []
    try:
        for line in open(f"{work}/{name}"):
            rows.append({k: float(v) for k, v in (kv.split("=") for kv in line.split())})
    except FileNotFoundError:
        pass
    return rows

quibra, bare = read("quibra.txt"), read("bare.txt")

def med(rows, key, scale=1.0):
    vals = [r[key] * scale for r in rows if key in r and r[key] >= 0]
    return statistics.median(vals) if vals else None

def fmt(v, unit):
    return "-" if v is None else f"{v:.1f} {unit}" if unit != "%" else f"{v:.2f} %"

print(f"Quibra against a bare JUCE window: medians of {len(quibra)} and {len(bare)} launches, idle over {idle} s")
print()
print("| measure | Quibra | bare window | ratio |")
print("|---|---|---|---|")
rows = [
    ("launch to the first drawn frame showing the interface (48 kHz lit)", "frame_ms", "ms", 1),
    ("launch to main window mapped", "mapped_ms", "ms", 1),
    ("CPU used up to that frame", "cpu_ms", "ms", 1),
    ("idle CPU, main window", "idle_main_pct", "%", 1),
    ("idle CPU, both windows open", "idle_both_pct", "%", 1),
    ("idle wake-ups per second, main window", "idle_main_wakeups", "/s", 1),
    ("idle wake-ups per second, both windows open", "idle_both_wakeups", "/s", 1),
    ("close to the window gone (Quibra: File > Close; bare: close button)", "window_gone_ms", "ms", 1),
    ("close to the process ending", "close_ms", "ms", 1),
    ("resident memory after start", "rss_kb", "MB", 1 / 1024),
]
for title, key, unit, scale in rows:
    q, b = med(quibra, key, scale), med(bare, key, scale)
    ratio = f"{q / b:.2f}x" if q is not None and b else "-"
    print(f"| {title} | {fmt(q, unit)} | {fmt(b, unit)} | {ratio} |")
kept = sum(1 for r in quibra if r.get("settings_kept") == 1)
opened = sum(1 for r in quibra if r.get("second_open") == 1)
print()
print(f"Quibra: window state in the settings file after close in {kept} of {len(quibra)} runs; "
      f"routing window opened in {opened} of {len(quibra)}; bare second window opened in "
      f"{sum(1 for r in bare if r.get('second_open') == 1)} of {len(bare)}")

sizes = {}
print()
print("| panel resized() | cold median | cold max | warm median |")
print("|---|---|---|---|")
for line in open(f"{work}/resize.txt"):
    kv = dict(p.split("=") for p in line.split())
    sizes.setdefault(kv["size"], []).append((float(kv["cold_ms"]), float(kv["warm_ms"])))
for size, vals in sizes.items():
    cold = [c for c, _ in vals]
    warm = [w for _, w in vals]
    print(f"| {size} | {statistics.median(cold):.2f} ms | {max(cold):.2f} ms | {statistics.median(warm):.2f} ms |")
PY
