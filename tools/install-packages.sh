#!/usr/bin/env bash
# Installs the Debian packages that the named set-ups need and this machine lacks, and says which
# and why: tools/install-packages.sh SETUP... with SETUP one of demo, tests, windows, ci (the list
# and the set-ups are in tools/packages.txt). Uses apt-get, through sudo when not run as root.
# Says and installs nothing when every package is there.
set -euo pipefail
list="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/packages.txt"
if [ $# -eq 0 ]; then
    echo "usage: tools/install-packages.sh SETUP... (demo, tests, windows, ci)" >&2
    exit 2
fi
if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
    echo "install-packages: no apt-get here; install what tools/packages.txt lists for $*" \
        "with your system's packages" >&2
    exit 0
fi

missing=()
reasons=()
while read -r package setups why; do
    case "$package" in '' | '#'*) continue ;; esac
    wanted=0
    for setup in "$@"; do
        case ",$setups," in *",$setup,"*) wanted=1 ;; esac
    done
    [ $wanted -eq 1 ] || continue
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    if [ "$status" != "install ok installed" ]; then
        missing+=("$package")
        reasons+=("$why")
    fi
done <"$list"
[ ${#missing[@]} -gt 0 ] || exit 0

echo "Installing the Debian packages that this machine lacks for $*:"
for k in "${!missing[@]}"; do printf '  %-27s %s\n' "${missing[$k]}" "${reasons[$k]}"; done
as_root() {
    if [ "$(id -u)" = 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}
if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "This needs root, and sudo is not installed. As root, run:" >&2
        echo "  apt-get update && apt-get install ${missing[*]}" >&2
        exit 1
    fi
    echo "(apt-get through sudo, which may ask for your password)"
fi
as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
