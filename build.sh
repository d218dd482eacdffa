#!/usr/bin/env bash
# Builds the program on Debian 12, installing what it needs first.
#   ./build.sh run    build and start the program
#   ./build.sh test   build and run every test
#   ./build.sh bench  build and run the benchmarks
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
          libsqlite3-dev libemf2svg-dev libbenchmark-dev fonts-liberation2 fonts-dejavu-core)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE="$2" >/dev/null
    cmake --build "$1" -j "$(nproc)"
}

case "${1:-run}" in
    run)
        install_missing
        configure_and_build build-release RelWithDebInfo
        exec ./build-release/program/melvok-dokumenty "${@:2}"
        ;;
    test)
        install_missing
        configure_and_build build-test Debug
        cd build-test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
        ;;
    bench)
        install_missing
        configure_and_build build-release RelWithDebInfo
        ./build-release/bench/melvok-bench
        ./build-release/bench/melvok-bench-render
        ;;
    *)
        echo "usage: $0 [run|test|bench]" >&2
        exit 2
        ;;
esac
