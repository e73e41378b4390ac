#!/usr/bin/env bash
# Installs the given Debian packages that are not installed yet (as root or through sudo).
# Usage: scripts/install-packages.sh PACKAGE...
# Another apt-get at work (a test installing its tools beside another) is waited for, not failed.
set -euo pipefail
missing=()
for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
((${#missing[@]})) || exit 0
echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
apt=($sudo env DEBIAN_FRONTEND=noninteractive apt-get -qq -o DPkg::Lock::Timeout=900)
# The package lists' lock is not waited for: when another apt-get holds it, it is updating them.
"${apt[@]}" update || echo "apt-get update failed; installing from the package lists at hand"
"${apt[@]}" install -y "${missing[@]}" >/dev/null
