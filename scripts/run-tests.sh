#!/usr/bin/env bash
# Runs the test suite inside a private network namespace with only loopback up, so
# that no test packet can leave this machine.
set -u
build=${1:-build}
cd "$build" || exit 1
run_ctest='ip link set lo up && exec ctest --output-on-failure --timeout 300'
if [ "$(id -u)" = 0 ] && unshare -n true 2>/dev/null; then
    echo "running tests in a private network namespace (unshare -n)"
    exec unshare -n sh -c "$run_ctest"
elif unshare -r -n true 2>/dev/null; then
    echo "running tests in a private user and network namespace (unshare -r -n)"
    exec unshare -r -n sh -c "$run_ctest"
else
    echo "WARNING: cannot create a private network namespace here (needs root or user namespaces);"
    echo "WARNING: running the tests on the host network. They only address 127.0.0.0/8."
    exec ctest --output-on-failure --timeout 300
fi
