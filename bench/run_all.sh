#!/usr/bin/env bash
# Every benchmark in one command: the micro-benchmarks, then the publish
# comparison, the memory cases and the scale cases. About 8 minutes on the
# 2-core machine; --large adds the 50,000-report case (about 8 minutes more).
# Output goes to standard output; RESULTS.md shows a run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KORVA_BENCH_BUILD:-$root/build-bench}"
# On a fresh machine, install what the build needs (Google Benchmark too).
source "$root/scripts/deps.sh"
korva_install_deps libbenchmark-dev
scale=--scale
[[ "${1:-}" == "--large" ]] && scale=--scale-large
if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVA_BENCH=ON \
    -DKORVA_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target korva_micro_bench korva_publish_bench >/dev/null
"$build/bench/korva_micro_bench" --benchmark_min_time=0.5
"$build/bench/korva_publish_bench" --compare --memory "$scale"
