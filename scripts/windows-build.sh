#!/usr/bin/env bash
# Cross-builds I2C_DLN.dll, i2cdln.dll, our dln.dll, dln-sim.exe and dln-vcd.exe for 64-bit Windows
# with Debian's mingw-w64, which it installs when missing.
# Usage: scripts/windows-build.sh BUILD_DIR [extra cmake options...]
# With -DDLN_VENDOR_LIBRARY=path/to/dln.lib it builds I2C_DLN.dll against the adapter maker's
# library instead. Everything lands in BUILD_DIR/bin. Exits 77 when mingw-w64 cannot be installed.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    echo "Installing mingw-w64"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo -n"
    apt=(env DEBIAN_FRONTEND=noninteractive $sudo apt-get -qq -o DPkg::Lock::Timeout=120)
    if ! { "${apt[@]}" update && "${apt[@]}" install -y g++-mingw-w64-x86-64-posix \
            binutils-mingw-w64-x86-64; } >/dev/null 2>&1 ||
        ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
        echo "mingw-w64 is not installed and could not be installed with apt-get" \
             "(package g++-mingw-w64-x86-64-posix); no Windows build." >&2
        exit 77
    fi
fi

# dln-sim.exe is built with the build machine's header-only libraries.
scripts/install-packages.sh nlohmann-json3-dev libasio-dev

build_dir=$1
shift
export JAVA_HOME=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
cmake --no-warn-unused-cli -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build_dir" -j 2
