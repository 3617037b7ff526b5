#!/bin/sh
# Times a long replay through panelhost: writes a made-up flight of ROWS
# update ticks (default 10,800: ten minutes at the simulator's 18 updates a
# second) as a CSV holding every variable the module reads, plays it for one
# gauge or a whole panel window into PNG frames or a video, and reports the
# wall time, the CPU time and peak memory of the Wine process, those of
# ffmpeg for a video, and what the output takes on disk.
#
# usage: sh scripts/bench-replay.sh [--rows N] [--gauge NAME] [--module FILE]
#                                   [--layout FILE] [--to KIND] [--out PATH]
#                                   [--csv-only FILE]
#   --gauge    the gauge to play (default Engine_Tachometer: a needle that
#              turns once per 1000 RPM and a rolling drum, so most frames differ)
#   --module   the module (default build/bin/Corvalenx.gau)
#   --layout   play every gauge of this panel layout's first window instead
#              (its modules beside it, or in build/bin)
#   --to       frames (PNG frames, the default), mp4, webm or gif
#   --out      where the frames or the video go (default: in a temporary
#              directory, removed)
#   --csv-only only write the flight's CSV to FILE
# Every row changes some variable a little, as a real flight does, so no
# run is faster for frames that repeat.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
rows=10800 gauge=Engine_Tachometer module=$top/build/bin/Corvalenx.gau layout="" to=frames out="" csv_only=""
while [ $# -gt 0 ]; do
    case "$1" in
        --rows) rows=$2; shift ;;
        --gauge) gauge=$2; shift ;;
        --module) module=$2; shift ;;
        --layout) layout=$2; shift ;;
        --to) to=$2; shift ;;
        --out) out=$2; shift ;;
        --csv-only) csv_only=$2; shift ;;
        *) echo "bench-replay: unknown argument \"$1\" (see the top of $0)" >&2; exit 1 ;;
    esac
    shift
done
case "$rows" in
    ''|*[!0-9]*|0) echo "bench-replay: --rows takes a whole number from 1, not \"$rows\"" >&2; exit 1 ;;
esac
case "$to" in
    frames|mp4|webm|gif) ;;
    *) echo "bench-replay: --to takes frames, mp4, webm or gif, not \"$to\"" >&2; exit 1 ;;
esac

# The flight, 18 rows a second: idle and run-up, take-off and climb, cruise,
# descent and landing, with a little turbulence on every reading and a new
# radio frequency every two minutes.
write_flight() {
    awk -v rows="$rows" 'BEGIN {
        print "61,391,390,386,306,416,418,425,73,2,70,351,16,39"
        n = 10800; freqs[0] = "0x0190"; freqs[1] = "0x0345"; freqs[2] = "0x0415"; freqs[3] = "0x0278"
        for (t = 0; t < rows; t++) {
            s = (t % n) / 18; f = s / 600   # seconds, and the share of ten minutes
            if (f < 0.1)       { rpm = 800 + 1400 * (f > 0.07); kt = 0;   alt = 0 }
            else if (f < 0.25) { rpm = 2700; kt = 60 + (f - 0.1) * 600; alt = (f - 0.1) * 6000 }
            else if (f < 0.8)  { rpm = 2350; kt = 150; alt = 900 }
            else               { rpm = 1800 - (f - 0.8) * 4000; kt = 150 - (f - 0.8) * 500; alt = 900 * (1 - f) / 0.2 }
            wobble = sin(s * 1.7) + 0.5 * sin(s * 4.3)
            rpm += 12 * wobble
            if (kt > 0) { kt += 2 * wobble; alt += 3 * wobble }
            man = 1060 + rpm * 0.55 + 20 * wobble
            fuel = 300 - f * 40
            degr = 520 + f * 160 + wobble
            oil = 5000 + rpm * 3 + 100 * wobble
            fuelp = 2000 + rpm * 0.1 + 30 * wobble
            lat = 600 * sin(s * 0.05); vert = 2468 + 800 * sin(s * 0.07)
            dev = 30 * sin(s * 0.11) + wobble
            printf "%.2f,%.1f,%.1f,%.3f,6,%.2f,%.0f,%.0f,%.2f,0,%.1f,%.1f,%s,%.2f\n", \
                kt, man, rpm, fuel, degr, oil, fuelp, alt, lat, vert, freqs[int(s / 120) % 4], dev
        }
    }'
}

if [ -n "$csv_only" ]; then
    write_flight >"$csv_only"
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
write_flight >"$work/flight.csv"
if [ "$to" = frames ]; then
    output=${out:-$work/frames}
    rm -f "$output"/frame_*.png
else
    output=${out:-$work/flight.$to}
fi
if [ -n "$layout" ]; then
    what="the panel $layout"
    set -- --layout "$layout"
    [ -f "$(dirname "$layout")/Corvalenx.gau" ] || set -- "$@" --gauges "$top/build/bin"
else
    what="\"$gauge\""
    set -- "$module" "$gauge"
fi

# ffmpeg is started by panelhost (through /bin/sh under Wine) and is not
# this script's child: one first on the PATH times the real one.
ffmpeg=$(command -v ffmpeg || true)
if [ "$to" != frames ]; then
    [ -n "$ffmpeg" ] || { echo "bench-replay: no ffmpeg on the PATH" >&2; exit 1; }
    mkdir "$work/timed"
    printf '#!/bin/sh\nexec /usr/bin/time -v -o "%s" "%s" "$@"\n' "$work/ffmpeg-time.txt" "$ffmpeg" >"$work/timed/ffmpeg"
    chmod +x "$work/timed/ffmpeg"
    PATH=$work/timed:$PATH
fi

# The program itself under Wine, not the host/panelhost wrapper.
exe=${PANELHOST_EXE:-$top/build/bin/panelhost.exe}
prefix=${PANELHOST_WINEPREFIX:-$(cd "$(dirname "$exe")/.." && pwd)/wineprefix}
status=0
/usr/bin/time -v -o "$work/time.txt" sh "$top/cmake/run-under-wine.sh" "$prefix" "$exe" play "$@" \
    --csv "$work/flight.csv" -o "$output" >"$work/play.txt" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    cat "$work/play.txt" >&2
    echo "bench-replay: play exited $status" >&2
    exit "$status"
fi
# "12.34 s wall, 5.6 s user + 0.7 s system CPU, peak memory 28 MB" from a time -v report.
times_of() {
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + t[i] }
                /User time/ { user = $2 } /System time/ { sys_cpu = $2 } /Maximum resident/ { peak = $2 }
                END { printf "%.2f s wall, %.2f s user + %.2f s system CPU, peak memory %d MB", wall, user, sys_cpu, peak / 1024 }' "$1"
}
echo "play $what, $rows rows to $to: $(times_of "$work/time.txt") (panelhost.exe under Wine)"
if [ "$to" = frames ]; then
    count=$(find "$output" -name 'frame_*.png' | wc -l)
    echo "  $count frames, $(( $(du -sk "$output" | cut -f1) / 1024 )) MB on disk"
else
    echo "  ffmpeg: $(times_of "$work/ffmpeg-time.txt")"
    echo "  $(sed -n 's/.*: \([0-9]* frames of .*\)/\1/p' "$work/play.txt"), $(( $(stat -c %s "$output") / 1024 )) kB"
fi
