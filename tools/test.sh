#!/usr/bin/env bash
# The project's test command: installs the Debian packages that the tests need and this machine
# lacks (tools/packages.txt), then builds everything and runs every test with
# `cmake --workflow --preset default`, the Windows build under Wine included.
#   --no-windows  leaves the Windows build, its tests under Wine and their packages out
set -euo pipefail
cd "$(dirname "$0")/.."
windows=ON
setups=(tests windows)
for arg in "$@"; do
    case "$arg" in
        --no-windows)
            windows=OFF
            setups=(tests)
            ;;
        -h | --help)
            sed -n '2,5s/^# \{0,1\}//p' "$0"
            exit 0
            ;;
        *)
            echo "tools/test.sh: unknown option $arg" >&2
            exit 2
            ;;
    esac
done
tools/install-packages.sh "${setups[@]}"
# The choice of the Windows tests is kept in build/'s cache, which the workflow then configures.
cmake --preset default -DCORVANE_WINDOWS_TESTS=$windows >/dev/null
cmake --workflow --preset default
