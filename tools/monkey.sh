#!/usr/bin/env bash
# Plays the random player of the test program seed after seed (from SEED, default 1) for SECONDS in all (default
# 600), each seed for FRAMES frames (CORVALE_MONKEY_FRAMES, default 5000), and names each seed that faults.
# Build the sanitized test tree first: cmake --build build/test --target corvale_tests (CORVALE_MONKEY_PROGRAM
# names another copy of the test program).
set -uo pipefail
cd "$(dirname "$0")/.."
TOTAL="${1:-600}"
seed="${2:-1}"
FRAMES="${CORVALE_MONKEY_FRAMES:-5000}"
PROGRAM="${CORVALE_MONKEY_PROGRAM:-build/test/corvale_tests}"
OUT=build/test/monkey
[ -x "$PROGRAM" ] || { echo "no $PROGRAM: build the test tree first" >&2; exit 2; }
mkdir -p "$OUT"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software
faults=0
end=$((SECONDS + TOTAL))
while [ "$SECONDS" -lt "$end" ]; do
  log="$OUT/seed-$seed.log"
  if CORVALE_MONKEY_SEED="$seed" CORVALE_MONKEY_FRAMES="$FRAMES" timeout 900 "$PROGRAM" \
      --gtest_filter=LongMonkey.PlaysTheSeedTheEnvironmentNames >"$log" 2>&1; then
    echo "seed $seed: no fault in $FRAMES frames"
    rm -f "$log"
  else
    echo "seed $seed: FAULT, see $log"
    faults=$((faults + 1))
  fi
  seed=$((seed + 1))
done
[ "$faults" -eq 0 ]
