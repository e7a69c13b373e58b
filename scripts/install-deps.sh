#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -eu
# The console's built-in commands and default history need iproute2 (ip, ss),
# iputils-ping, iputils-tracepath, procps, util-linux (findmnt), hostname and systemd
# (hostnamectl); the scanner's MAC vendor names come from ieee-data. libqt6svg6 draws
# the program's icon; libcap2-bin (setcap) lets the install give the echo programs
# cap_net_raw; clang builds the sanitized suite and the fuzz targets. With "run"
# (make run) also what the running program needs on a desktop: xterm, the terminal
# the console opens its commands in.
packages=(build-essential cmake ninja-build qt6-base-dev libqt6svg6 libgl-dev iproute2 util-linux procps
          iputils-ping iputils-tracepath hostname systemd ieee-data libcap2-bin clang)
# The metrics endpoint: prometheus-cpp keeps and writes the figures, Qt HTTP Server
# serves them (its CMake files need the WebSockets module's); the tests scrape it
# with a real Prometheus and check its page with promtool (both in "prometheus").
packages+=(prometheus-cpp-dev qt6-httpserver-dev qt6-websockets-dev)
packages+=(prometheus)
# Outages: the tests start a session bus of their own (dbus-daemon, in "dbus") with a
# notification service of the test's, and make echoes go unanswered with an nftables
# drop rule in their own network namespace; the path tests drop a share of the ICMP a
# router namespace forwards the same way.
packages+=(dbus nftables)
[ "${1:-}" = run ] && packages+=(xterm)
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
