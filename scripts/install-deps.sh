#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -eu
packages=(build-essential cmake ninja-build qt6-base-dev libqt6svg6 libgl-dev iproute2 util-linux procps libcap2-bin)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
