#!/usr/bin/env bash
# Builds the program on Debian 12, installing what it needs first.
#   ./build.sh run    build and start the program
#   ./build.sh test   build and run every test
#   ./build.sh bench  build and run the benchmarks
#   ./build.sh package  build the Debian package build-release/melvok-dokumenty_*.deb
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
          libsqlite3-dev libssl-dev libemf2svg-dev libbenchmark-dev fonts-liberation2 fonts-dejavu-core
          qt6-translations-l10n xdg-utils libcups2-dev cups printer-driver-cups-pdf poppler-utils ghostscript
          libfile-mimeinfo-perl desktop-file-utils appstream shared-mime-info dpkg-dev file
          clang-format lintian libxcb1-dev xvfb xauth)

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

# The end-to-end printing test prints through two local CUPS queues on the cups-pdf
# backend: "MelvokPDF" without a duplexer and "MelvokDuplex" (generic PostScript driver,
# duplexer installed). Safe to run again; when CUPS cannot be set up the test says it
# skipped. cups-pdf writes the jobs into the "Out" folder of /etc/cups/cups-pdf.conf,
# ${HOME}/PDF of the user who printed.
setup_cups() {
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if sudo -n true 2>/dev/null; then sudo="sudo"; else
            echo "No root rights: CUPS queues not set up, the CUPS printing test will be skipped."
            return 0
        fi
    fi
    if ! lpstat -r 2>/dev/null | grep -q "scheduler is running"; then
        # No service manager in CI: the scheduler runs as its own daemon.
        $sudo cupsd || true
        for _ in $(seq 1 20); do
            lpstat -r 2>/dev/null | grep -q "scheduler is running" && break
            sleep 0.5
        done
    fi
    if ! lpstat -r 2>/dev/null | grep -q "scheduler is running"; then
        echo "cupsd does not run: the CUPS printing test will be skipped."
        return 0
    fi
    local pdf_ppd
    pdf_ppd=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt\.ppd/ { print $1; exit }')
    [ -n "$pdf_ppd" ] || pdf_ppd=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF.*\.ppd/ { print $1; exit }')
    add_queue() {
        local out
        out=$($sudo lpadmin -p "$1" -E -v cups-pdf:/ -m "$2" "${@:3}" 2>&1) ||
            echo "CUPS queue $1 not added: $out" >&2
    }
    add_queue MelvokPDF "$pdf_ppd"
    add_queue MelvokDuplex drv:///sample.drv/generic.ppd -o Option1=True
}

configure_and_build() {
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE="$2" "${launcher[@]}" "${@:3}" >/dev/null
    cmake --build "$1" -j "$(nproc)"
}

# The release build (the one that is run, measured and packaged) is hardened the way
# Debian builds its own packages: the flags of dpkg-buildflags, with fortified library
# calls, stack protection, and read-only relocations bound at start-up.
release_build() {
    local get="env DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get"
    configure_and_build build-release RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="$($get CPPFLAGS) $($get CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$($get LDFLAGS)"
}

case "${1:-run}" in
    run)
        install_missing
        release_build
        exec ./build-release/program/melvok-dokumenty "${@:2}"
        ;;
    test)
        install_missing
        setup_cups
        configure_and_build build-test Debug
        cd build-test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
        ;;
    bench)
        install_missing
        release_build
        ./build-release/bench/melvok-bench
        ./build-release/bench/melvok-bench-render
        ./build-release/bench/melvok-bench-print
        ./build-release/bench/melvok-bench-import
        ./build-release/bench/melvok-bench-batch-print
        ./build-release/bench/melvok-bench-filter
        # Needs an X display; without one it starts itself under xvfb-run.
        ./build-release/bench/melvok-bench-startup
        ./build-release/bench/melvok-killtest kill 300
        ./build-release/bench/melvok-killtest fuzz 2049
        ;;
    package)
        install_missing
        release_build
        cd build-release && cpack -G DEB
        ;;
    *)
        echo "usage: $0 [run|test|bench|package]" >&2
        exit 2
        ;;
esac
