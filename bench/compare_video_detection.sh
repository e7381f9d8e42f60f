#!/bin/sh
# Frames per second of the animal detection at 640 x 480 and 1280 x 720 on one core, for two
# builds in the same run: a build of an earlier version and this one. The two are run in
# turn, three times each, on the same core, so a busy machine slows both alike; the median
# of the three is printed.
#
#   bench/compare_video_detection.sh [EARLIER-BUILD-DIR] [THIS-BUILD-DIR]
set -eu
earlier=${1:-/work/base/build/default}
this=${2:-$(dirname "$0")/../build/default}
for build in "$earlier" "$this"; do
  [ -x "$build/bench/video_detection_bench" ] || { echo "no $build/bench/video_detection_bench" >&2; exit 1; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for round in 1 2 3; do
  for which in earlier this; do
    if [ "$which" = earlier ]; then build=$earlier; else build=$this; fi
    taskset -c 0 "$build/bench/video_detection_bench" --benchmark_format=json >"$out/$which.$round" 2>/dev/null
  done
done
python3 - "$out" <<'PY'
import json, statistics, sys
out = sys.argv[1]
def fps(which, size):
    values = []
    for round in (1, 2, 3):
        with open(f"{out}/{which}.{round}") as f:
            for b in json.load(f)["benchmarks"]:
                if b["name"] == f"DetectAnimal/{size}":
                    values.append(b["fps"])
    return statistics.median(values)
print(f"{'size':<10} {'earlier fps':>12} {'this fps':>10} {'ratio':>6}")
for size in ("640/480", "1280/720"):
    a, b = fps("earlier", size), fps("this", size)
    print(f"{size.replace('/', 'x'):<10} {a:>12.0f} {b:>10.0f} {b / a:>6.2f}")
PY
