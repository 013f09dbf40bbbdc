#!/usr/bin/env bash
# Corvane Studio with no simulator and no hardware: the plug-in in the headless host xphost, a
# virtual Arduino Uno (corvane-avr-board, the board library's firmware on an emulated ATmega328P)
# on a USB line, and the guide's first board (docs/examples/first-board.cfg) as data.cfg. It
# prints the Studio's address: open it in a browser and click through. Lines typed here go to
# the virtual board (press 5, release 5, pin 13, turn 8 9 1, analog 0 512; --help of
# corvane-avr-board lists them); Ctrl-C or quit ends everything.
#
# Installs the Debian packages it needs and the machine lacks (tools/install-packages.sh
# studio), builds the plug-in, xphost and corvane-avr-board (cmake preset demo, build-demo/) and
# the firmware (preset firmware, build-firmware/). Everything stays on loopback: IP_ADDRESS is
# 127.0.0.1, the UDP port and the Studio's port are free ones.
set -u

usage() {
    cat <<'EOF'
usage: examples/studio.sh [--no-build] [--keep-files]

Starts the Corvane plug-in in the headless host with a virtual Arduino Uno and prints the
address of Corvane Studio. Lines typed on the terminal go to the virtual board.

  --no-build    use the programs already built (build-demo/ or build/, build-firmware/ or
                build/avr/) instead of installing packages and building
  --keep-files  keep the temporary X-Plane folder (data.cfg, backups, Log) and print its path
  --help        this text
EOF
}

BUILD=1
KEEP_FILES=0
for arg in "$@"; do
    case "$arg" in
        --no-build) BUILD=0 ;;
        --keep-files) KEEP_FILES=1 ;;
        -h | --help) usage; exit 0 ;;
        *) echo "studio.sh: unknown option $arg" >&2; usage >&2; exit 2 ;;
    esac
done

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
say() { printf '[studio] %s\n' "$*"; }
fail() { say "FAILED: $*"; exit 1; }

WORK=""
declare -a PIDS=()
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    local pid
    for pid in "${PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    if [ -n "$WORK" ] && [ -d "$WORK" ]; then
        if [ $KEEP_FILES -eq 1 ]; then say "files kept in $WORK"; else rm -rf "$WORK"; fi
    fi
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ $BUILD -eq 1 ]; then
    "$ROOT/tools/install-packages.sh" studio || fail "could not install the packages"
    say "building the plug-in, xphost and corvane-avr-board (build-demo/) and the firmware (build-firmware/)"
    (cd "$ROOT" && cmake --preset demo >/dev/null &&
        cmake --build build-demo --target corvane_plugin xphost corvane-avr-board -j2 >/dev/null &&
        cmake --workflow --preset firmware >/dev/null) || fail "the build failed"
fi
pick() { for f in "$@"; do [ -e "$f" ] && { echo "$f"; return; }; done; }
PLUGIN=$(pick "$ROOT/build-demo/Corvane/lin_x64/Corvane.xpl" "$ROOT/build/Corvane/lin_x64/Corvane.xpl")
XPHOST=$(pick "$ROOT/build-demo/host/xphost" "$ROOT/build/host/xphost")
BOARD=$(pick "$ROOT/build-demo/tools/avrboard/corvane-avr-board" "$ROOT/build/tools/avrboard/corvane-avr-board")
FIRMWARE=$(pick "$ROOT/build-firmware/firmware/corvane-uno.elf" "$ROOT/build/avr/firmware/corvane-uno.elf")
[ -n "$PLUGIN" ] && [ -n "$XPHOST" ] || fail "no plug-in or xphost built"
[ -n "$BOARD" ] || fail "corvane-avr-board was not built: it needs libsimavr-dev and libelf-dev"
[ -n "$FIRMWARE" ] || fail "no firmware built: it needs gcc-avr, avr-libc, binutils-avr, arduino-core-avr"

free_port() {
    python3 -c 'import socket,sys; s=socket.socket(socket.AF_INET, getattr(socket, sys.argv[1])); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' "$1"
}
WORK=$(mktemp -d /tmp/corvane-studio.XXXXXX)
FOLDER=$WORK/Resources/plugins/Corvane
mkdir -p "$FOLDER/lin_x64" "$WORK/dev"
cp "$PLUGIN" "$FOLDER/lin_x64/Corvane.xpl"
cp -r "$ROOT/studio" "$FOLDER/studio"
cp "$ROOT/docs/examples/first-board.cfg" "$FOLDER/data.cfg"
printf 'IP_ADDRESS = 127.0.0.1\nPORT = %s\nUSB_DEVICE_COUNT = 1\nSTUDIO_PORT = %s\n' \
    "$(free_port SOCK_DGRAM)" "$(free_port SOCK_STREAM)" >"$FOLDER/config.ini"

# The board first (its port must exist when the plug-in looks), its control lines on a pipe.
mkfifo "$WORK/board.in"
"$BOARD" --mcu atmega328p --board-id 1 --firmware "$FIRMWARE" --link "$WORK/dev/ttyACM0" \
    <"$WORK/board.in" &
PIDS+=($!)
exec {BOARDIN}>"$WORK/board.in"
for _ in $(seq 100); do [ -e "$WORK/dev/ttyACM0" ] && break; sleep 0.1; done
[ -e "$WORK/dev/ttyACM0" ] || fail "the virtual board did not start"

(cd "$WORK" && CORVANE_DEVICE_DIR="$WORK/dev" exec "$XPHOST" --plugin "$FOLDER/lin_x64/Corvane.xpl" \
    --realtime --fps 40 --echo-log --datarefs "$ROOT/examples/datarefs.txt" \
    </dev/null >"$WORK/xphost.out" 2>"$WORK/plugin.log") &
PIDS+=($!)

ADDRESS=""
for _ in $(seq 300); do
    ADDRESS=$(grep -o 'Studio at http://127\.0\.0\.1:[0-9]*/?token=[0-9a-f]*' "$WORK/plugin.log" 2>/dev/null | tail -n 1)
    [ -n "$ADDRESS" ] && break
    sleep 0.1
done
[ -n "$ADDRESS" ] || fail "the plug-in gave no Studio address; its log: $WORK/plugin.log"
say "Corvane Studio: ${ADDRESS#Studio at }"
say "the board is board ID 1 on ttyACM0, with data.cfg the guide's first board (a switch on pin 5,"
say "its lamp on pin 13). Type board lines here: press 5, release 5, pin 13, quit. Ctrl-C ends."
if [ -t 0 ]; then
    while IFS= read -r line; do
        [ "$line" = quit ] && break
        printf '%s\n' "$line" >&"$BOARDIN"
    done
else
    wait "${PIDS[1]}"
fi
