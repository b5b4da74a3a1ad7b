#!/usr/bin/env bash
# Runs every libFuzzer target of build/fuzz for SECONDS each (default 300), in parallel, and sums up.
# Build the tree first: tools/corvale.sh fuzz SECONDS does both.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-300}"
JOBS="${CORVALE_JOBS:-$(nproc)}"
OUT=build/fuzz/long
mkdir -p "$OUT"

run_one() { # run_one TARGET
  local name seeds=()
  name="$(basename "$1")"
  mkdir -p "build/fuzz/corpus/$name"
  [ -d "tests/fuzz/corpus/$name" ] && seeds=("tests/fuzz/corpus/$name")
  if "$1" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$OUT/$name-" "build/fuzz/corpus/$name" "${seeds[@]}" >"$OUT/$name.log" 2>&1; then
    echo "$name: no fault, $(grep -a -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$OUT/$name.log" | grep -o '[0-9]*$') runs"
  else
    echo "$name: FAULT, see $OUT/$name.log and $OUT/$name-*"
    return 1
  fi
}
export -f run_one
export SECONDS_EACH OUT

targets=$(find build/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' | sort)
[ -n "$targets" ] || { echo "no fuzz targets in build/fuzz: run tools/corvale.sh fuzz" >&2; exit 2; }
# shellcheck disable=SC2086
printf '%s\n' $targets | xargs -P "$JOBS" -I{} bash -c 'run_one {}'
