#!/usr/bin/env bash
# Sets up a Debian 12 machine, then builds and plays, tests, benchmarks or fuzzes Corvale.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES="build-essential cmake pkg-config ccache zip \
  libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev libsdl2-mixer-dev libsdl2-net-dev libsdl2-gfx-dev \
  libphysfs-dev liblua5.4-dev nlohmann-json3-dev libgtest-dev libbenchmark-dev libboost-graph-dev fonts-jetbrains-mono \
  libvorbis-dev zlib1g-dev clang"

install_missing() {
  local missing=()
  for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  # Another apt run (unattended upgrades on a fresh machine) holds the lock for a while: wait for it.
  local wait=(-o DPkg::Lock::Timeout=600)
  $sudo apt-get "${wait[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

JOBS="${CORVALE_JOBS:-$(nproc)}"

build() { # build DIR CMAKE-ARGS...
  local dir="$1"; shift
  [ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

# The libFuzzer targets need clang; their tree holds only the library and the targets.
build_fuzz() {
  [ -f build/fuzz/CMakeCache.txt ] || CXX=clang++ cmake -S . -B build/fuzz -DCORVALE_FUZZ=ON >/dev/null
  cmake --build build/fuzz -j "$JOBS"
}

install_missing
case "${1:-}" in
  play)
    build build/release -DCMAKE_BUILD_TYPE=Release -DCORVALE_TESTS=OFF
    exec ./build/release/corvale ;;
  test)
    build build/test -DCMAKE_BUILD_TYPE=Debug -DCORVALE_SANITIZE=ON
    build_fuzz
    export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software
    (cd build/test && ctest --output-on-failure -j "$JOBS")
    cd build/fuzz && exec ctest --output-on-failure -j "$JOBS" ;;
  fuzz)
    build_fuzz
    exec ./tools/fuzz.sh "${@:2}" ;;
  bench)
    build build/bench -DCMAKE_BUILD_TYPE=Release -DCORVALE_TESTS=OFF -DCORVALE_BENCH=ON
    exec ./build/bench/corvale_bench "${@:2}" ;;
  *)
    echo "usage: tools/corvale.sh play|test|bench|fuzz [SECONDS]   (CORVALE_JOBS sets the job count)" >&2; exit 2 ;;
esac
