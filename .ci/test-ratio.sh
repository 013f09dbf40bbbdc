#!/usr/bin/env bash
# Prints the size of the C++ test code against the rest of the project's C++ and fails when the
# ratio leaves the band 0.25-0.35. A line counts when it is not blank and not only a // comment;
# every *.cpp and *.h file under the folders counts (the board library's firmware with the rest).
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null |
        xargs -0 -r cat | grep -cvE '^[[:space:]]*(//.*)?$' || true
}

tests=$(count tests)
code=$(count src host tools xplm bench fuzz firmware)
ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.3f", (c ? t / c : 0) }')
echo "test code: $tests lines; other code: $code lines; ratio $ratio (band 0.25-0.35)"
awk -v r="$ratio" 'BEGIN { exit !(r >= 0.25 && r <= 0.35) }' || {
    echo "the test code is outside the band 0.25-0.35 of the other code"
    exit 1
}
