#!/usr/bin/env bash
# Corvane at work, with no simulator and no hardware: a scripted one-minute flight.
#
# Installs the Debian packages it needs and the machine lacks (tools/install-packages.sh demo),
# builds only the plug-in, the headless host xphost and the board emulator boardsim (cmake preset
# "demo", into build-demo/; no tests), installs the plug-in with the demo configuration
# (examples/demo/) in a temporary X-Plane folder and runs it in xphost in real time, with three
# emulated boards:
#
#   [lan-board]  radio and autopilot panel, an Arduino board on the network (127.0.0.2)
#   [usb-board]  main panel, an Arduino board on a USB line (a pseudo-terminal)
#   [panel]      a Helvan panel on the network (127.0.0.3)
#
# The boards play the pilot (examples/demo/*.script), examples/demo/flight.txt plays the
# aircraft. At the end the demo checks, through xphost and the boards' decoded outputs, that
# the inputs reached their datarefs and commands and that the displays show what they should,
# and prints a summary. Exit status 0 when every check passed.
#
# Everything stays on loopback: the plug-in's address is 127.0.0.1 and its UDP port a free one.

set -u

usage() {
    cat <<'EOF'
usage: examples/demo.sh [--keep-running] [--no-build] [--keep-files]

Runs the Corvane plug-in in the headless host xphost with three emulated cockpit boards and
flies a scripted flight of about a minute, then checks the results and prints a summary.

  --keep-running  after the flight, keep the cockpit running until Ctrl-C; lines typed on the
                  terminal go to xphost as control lines (get NAME, window, trace, ...)
  --no-build      use the programs already built (in build-demo/, else build/) instead of
                  installing packages and building
  --keep-files    keep the temporary folder (plug-in folder, logs) and print its path
  --help          this text

Exit status: 0 when every check passed, 1 when a check failed or a part did not start,
130 when interrupted.
EOF
}

KEEP_RUNNING=0
BUILD=1
KEEP_FILES=0
for arg in "$@"; do
    case "$arg" in
        --keep-running) KEEP_RUNNING=1 ;;
        --no-build) BUILD=0 ;;
        --keep-files) KEEP_FILES=1 ;;
        -h | --help) usage; exit 0 ;;
        *) echo "demo.sh: unknown option $arg" >&2; usage >&2; exit 2 ;;
    esac
done

EXAMPLES=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$EXAMPLES/.." && pwd)
FILES=$EXAMPLES/demo
# The programs in a build folder: the demo's own, or with --no-build also the test build's.
use_build() {
    BIN=$1
    PLUGIN_BIN=$BIN/Corvane/lin_x64/Corvane.xpl
    XPHOST=$BIN/host/xphost
    BOARDSIM=$BIN/tools/boardsim/boardsim
}
use_build "$ROOT/build-demo"

LAN_ADDRESS=127.0.0.2
PANEL_ADDRESS=127.0.0.3

say() { printf '[demo] %s\n' "$*"; }

# Microseconds since the epoch.
now_us() {
    if [ -n "${EPOCHREALTIME:-}" ]; then
        local t=${EPOCHREALTIME//[!0-9]/}
        echo $((10#$t))
    else
        date +%s%6N
    fi
}
START_US=$(now_us)
elapsed() { echo $((($(now_us) - START_US) / 1000000)); }

# Sleeps SECONDS (may be fractional) in a way a signal can interrupt.
pause() {
    sleep "$1" &
    wait $! 2>/dev/null
}

# ---- Clean-up: child processes by their ids, then the temporary folder ----

WORK=""
XPIN=""
XP_PID=""
declare -a CHILD_PIDS=()  # programs: xphost and the boards
declare -a PIPE_PIDS=()   # the line prefixers that read their output
INTERRUPTED=0
RESULT=""  # the checks' exit status, once known

alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }

# Waits up to SECONDS for the processes to end.
wait_gone() {
    local seconds=$1 pid left
    shift
    local deadline=$(($(now_us) + seconds * 1000000))
    while :; do
        left=0
        for pid in "$@"; do alive "$pid" && left=1; done
        [ $left -eq 0 ] && return 0
        [ "$(now_us)" -ge $deadline ] && return 1
        sleep 0.1
    done
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [ $INTERRUPTED -eq 1 ]; then
        # Ctrl-C is the way to end --keep-running: the status is then that of the checks.
        status=${RESULT:-130}
        [ -n "$RESULT" ] || say "interrupted: stopping"
    fi
    if [ -n "$XPIN" ]; then exec {XPIN}>&-; fi
    local pid
    for pid in "${CHILD_PIDS[@]}"; do alive "$pid" && kill -TERM "$pid" 2>/dev/null; done
    if ! wait_gone 5 "${CHILD_PIDS[@]}"; then
        for pid in "${CHILD_PIDS[@]}"; do alive "$pid" && kill -KILL "$pid" 2>/dev/null; done
    fi
    # The prefixers end by themselves once their program has closed its output.
    if ! wait_gone 2 "${PIPE_PIDS[@]}"; then
        for pid in "${PIPE_PIDS[@]}"; do alive "$pid" && kill -TERM "$pid" 2>/dev/null; done
    fi
    wait 2>/dev/null
    if [ -n "$WORK" ] && [ -d "$WORK" ]; then
        if [ $KEEP_FILES -eq 1 ]; then
            say "temporary files kept in $WORK"
        else
            rm -rf "$WORK"
        fi
    fi
    exit $status
}
trap cleanup EXIT
trap 'INTERRUPTED=1; exit 130' INT TERM
trap '' PIPE

fail() {
    say "FAILED: $*"
    exit 1
}

# ---- Build ----

WORK=$(mktemp -d "${TMPDIR:-/tmp}/corvane-demo.XXXXXX") || { WORK=""; fail "no temporary folder"; }
LOGS=$WORK/logs
mkdir -p "$LOGS"

if [ $BUILD -eq 1 ]; then
    "$ROOT/tools/install-packages.sh" demo 2>&1 | sed 's/^/[setup] /'
    [ "${PIPESTATUS[0]}" -eq 0 ] || fail "the packages the demo needs could not be installed"
    say "building the plug-in, xphost and boardsim (cmake preset demo, into build-demo/;" \
        "about a minute the first time)"
    jobs=$(nproc 2>/dev/null || echo 2)
    if ! (cd "$ROOT" && cmake --preset demo && cmake --build --preset demo -j "$jobs") \
        >"$LOGS/build.log" 2>&1; then
        tail -n 30 "$LOGS/build.log" | sed 's/^/[build] /'
        fail "the build failed (the last lines of its output are above)"
    fi
    say "build done ($(elapsed) s)"
elif [ ! -f "$PLUGIN_BIN" ] && [ -f "$ROOT/build/Corvane/lin_x64/Corvane.xpl" ]; then
    use_build "$ROOT/build"
fi
for program in "$PLUGIN_BIN" "$XPHOST" "$BOARDSIM"; do
    [ -f "$program" ] || fail "$program is missing: run without --no-build"
done

# ---- The example X-Plane folder, the device folder and the settings ----

XPLANE=$WORK/X-Plane
PLUGIN_DIR=$XPLANE/Resources/plugins/Corvane
DEVICES=$WORK/dev
mkdir -p "$PLUGIN_DIR/lin_x64" "$DEVICES"
cp "$PLUGIN_BIN" "$PLUGIN_DIR/lin_x64/Corvane.xpl"
cp "$FILES/data.cfg" "$PLUGIN_DIR/data.cfg"

# A UDP port that is free on every local address (never the default 5080).
free_port() {
    local port=""
    if command -v python3 >/dev/null; then
        port=$(python3 -c '
import socket
for _ in range(100):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("0.0.0.0", 0))
    port = s.getsockname()[1]
    s.close()
    if port != 5080:
        print(port)
        break
' 2>/dev/null)
    fi
    if [ -z "$port" ]; then
        local k candidate
        for k in $(seq 1 100); do
            candidate=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
            if command -v ss >/dev/null &&
                ss -Hlun 2>/dev/null | awk '{print $4}' | grep -q ":$candidate\$"; then
                continue
            fi
            port=$candidate
            break
        done
    fi
    echo "$port"
}
PORT=$(free_port)
case "$PORT" in '' | *[!0-9]* | 5080) fail "no free UDP port found" ;; esac

# The settings: the demo's config.ini with the port, and nothing but loopback.
{
    grep -v '^[[:space:]]*PORT[[:space:]]*=' "$FILES/config.ini"
    echo "PORT = $PORT"
} >"$PLUGIN_DIR/config.ini"
ip_lines=$(grep -c '^[[:space:]]*IP_ADDRESS[[:space:]]*=' "$PLUGIN_DIR/config.ini")
if [ "$ip_lines" != 1 ] ||
    ! grep -q '^[[:space:]]*IP_ADDRESS[[:space:]]*=[[:space:]]*127\.0\.0\.1[[:space:]]*$' \
        "$PLUGIN_DIR/config.ini"; then
    fail "examples/demo/config.ini must set IP_ADDRESS = 127.0.0.1, once"
fi

# The board scripts; the boards stay connected after them, so that the status window read
# after the flight shows them, until the demo ends them (with --keep-running, until Ctrl-C).
for board in lan-board usb-board panel; do
    cp "$FILES/$board.script" "$WORK/$board.script"
    echo "wait 31536000" >>"$WORK/$board.script"
done

# ---- Processes and their output ----

# Names of datarefs that flight.txt ramps: their set answers are not printed.
RAMPED=$(awk '$1 !~ /^#/ && $2 == "ramp" { print $4 }' "$FILES/flight.txt" | sort -u |
    sed 's/[][\.*^$]/\\&/g' | paste -sd '|' -)

# Starts a reader that prefixes every line of a program's output with [NAME] on the terminal
# and keeps it in logs/NAME.log. Lines matching HIDE go to the log only.
start_output() {
    local name=$1 hide=${2:-}
    mkfifo "$WORK/$name.out"
    (
        exec 3>"$LOGS/$name.log"
        while IFS= read -r line || [ -n "$line" ]; do
            line=${line%$'\r'}
            printf '%s\n' "$line" >&3
            [[ $line =~ ^[[:space:]]*$ ]] && continue
            [ -n "$hide" ] && [[ $line =~ $hide ]] && continue
            [ ${#line} -gt 200 ] && line="${line:0:190} ..."
            printf '[%s] %s\n' "$name" "$line"
        done
    ) <"$WORK/$name.out" &
    PIPE_PIDS+=($!)
}

# Waits up to SECONDS for a line matching PATTERN in logs/NAME.log while PID lives.
wait_line() {
    local name=$1 pattern=$2 seconds=$3 pid=$4
    local deadline=$(($(now_us) + seconds * 1000000))
    while ! grep -q -- "$pattern" "$LOGS/$name.log" 2>/dev/null; do
        alive "$pid" || return 2
        [ "$(now_us)" -ge $deadline ] && return 1
        sleep 0.1
    done
    return 0
}

BOARD_HIDE='^(-> input |<- ping |<- empty-frame)'
start_output usb-board "$BOARD_HIDE"
start_output lan-board "$BOARD_HIDE"
start_output panel "$BOARD_HIDE"
# xphost: no "ok" answers, no set answers of ramps, and of the trace no "continue" events (a
# held command has one every frame).
start_output xphost "^(ok|bye)\$| continue [a-z]+\$${RAMPED:+|^($RAMPED) = }"
start_output plugin

say "plug-in folder $PLUGIN_DIR, UDP port $PORT, USB devices in $DEVICES"
say "lines: [xphost] the simulator's answers, [plugin] the plug-in's messages, [lan-board]" \
    "[usb-board] [panel] the boards (<- received, -> sent), [flight] what happens"

# The boards first, so that they answer the plug-in's first search.
"$BOARDSIM" --serial "$DEVICES/ttyUSB0" --id 2 --config "$FILES/data.cfg" \
    --script "$WORK/usb-board.script" >"$WORK/usb-board.out" 2>&1 &
USB_PID=$!
"$BOARDSIM" --lan "$LAN_ADDRESS:$PORT" --id 1 --config "$FILES/data.cfg" \
    --script "$WORK/lan-board.script" >"$WORK/lan-board.out" 2>&1 &
LAN_PID=$!
"$BOARDSIM" --lan "$PANEL_ADDRESS:$PORT" --panel "$FILES/panel.cfg" \
    --script "$WORK/panel.script" >"$WORK/panel.out" 2>&1 &
PANEL_PID=$!
CHILD_PIDS+=("$USB_PID" "$LAN_PID" "$PANEL_PID")
BOARDS=(usb-board lan-board panel)
BOARD_PIDS=("$USB_PID" "$LAN_PID" "$PANEL_PID")

for k in 0 1 2; do
    wait_line "${BOARDS[$k]}" '^ready ' 15 "${BOARD_PIDS[$k]}" ||
        fail "the ${BOARDS[$k]} emulator did not start (see its lines above)"
done

# xphost with the plug-in; its control lines come through a named pipe.
mkfifo "$WORK/xphost.in"
(
    cd "$XPLANE" || exit 1
    export CORVANE_DEVICE_DIR=$DEVICES
    exec "$XPHOST" --plugin "$PLUGIN_DIR/lin_x64/Corvane.xpl" --realtime \
        --datarefs "$ROOT/examples/datarefs.txt"
) <"$WORK/xphost.in" >"$WORK/xphost.out" 2>"$WORK/plugin.out" &
XP_PID=$!
CHILD_PIDS+=("$XP_PID")
# Read-write, so that the open never waits for xphost, whatever has become of it.
exec {XPIN}<>"$WORK/xphost.in"

# Sends one control line to xphost.
send() {
    alive "$XP_PID" || fail "xphost has stopped (see its lines above)"
    printf '%s\n' "$1" >&"$XPIN" || fail "xphost does not take control lines"
}

# ---- The flight ----

# flight.txt as one event a line: milliseconds, a tab, the control line; "-" lines first.
EVENTS=$(awk '
    /^[ \t]*(#|$)/ { next }
    {
        time = $1
        line = $0
        sub(/^[ \t]*[^ \t]+[ \t]+/, "", line)
        if (line ~ /^ramp[ \t]/) {
            n = split(line, a, /[ \t]+/)
            seconds = a[2] + 0; name = a[3]; step = (n >= 6) ? a[6] + 0 : 0.5
            steps = int(seconds / step + 0.5); if (steps < 1) steps = 1
            count = split(a[4], from, ","); split(a[5], to, ",")
            for (k = 0; k <= steps; k++) {
                value = ""
                for (i = 1; i <= count; i++)
                    value = value (i > 1 ? "," : "") \
                            sprintf("%.6g", from[i] + (to[i] - from[i]) * k / steps)
                at = (time == "-") ? -1 : int((time + seconds * k / steps) * 1000 + 0.5)
                printf "%d\t%d\tset %s %s\n", at, NR * 1000 + k, name, value
            }
        } else {
            at = (time == "-") ? -1 : int(time * 1000 + 0.5)
            printf "%d\t%d\t%s\n", at, NR * 1000, line
        }
    }' "$FILES/flight.txt" | sort -t "$(printf '\t')" -k1,1n -k2,2n | cut -f1,3)

run_events() {  # $1: "setup" for the "-" lines, "flight" for the timed ones
    local at line target delay
    local t0
    t0=$(now_us)
    while IFS=$'\t' read -r at line; do
        [ -z "$line" ] && continue
        if [ "$1" = setup ]; then
            [ "$at" -lt 0 ] || continue
        else
            [ "$at" -ge 0 ] || continue
            target=$((t0 + at * 1000))
            delay=$((target - $(now_us)))
            if [ $delay -gt 0 ]; then
                pause "$((delay / 1000000)).$(printf '%06d' $((delay % 1000000)))"
            fi
            for k in 0 1 2; do
                alive "${BOARD_PIDS[$k]}" ||
                    fail "the ${BOARDS[$k]} emulator stopped during the flight (see above)"
            done
        fi
        case "$line" in
            "say "*) printf '[flight] %s\n' "${line#say }" ;;
            *) send "$line" ;;
        esac
    done <<<"$EVENTS"
}

run_events setup

deadline=$(($(now_us) + 40000000))
for k in 0 1 2; do
    while ! grep -q '^configured' "$LOGS/${BOARDS[$k]}.log"; do
        alive "$XP_PID" || fail "xphost has stopped (see its lines above)"
        alive "${BOARD_PIDS[$k]}" ||
            fail "the ${BOARDS[$k]} emulator stopped before it was configured (see above)"
        [ "$(now_us)" -ge $deadline ] &&
            fail "the ${BOARDS[$k]} was not configured by the plug-in within 40 s"
        sleep 0.1
    done
done

run_events flight

for k in 0 1 2; do
    wait_line "${BOARDS[$k]}" '^board finished' 20 "${BOARD_PIDS[$k]}" ||
        fail "the ${BOARDS[$k]} did not finish its script (see its lines above)"
done

# ---- Checks ----

# Datarefs that the boards' inputs set, with the value they must hold now.
EXPECT_DATAREFS=(
    "sim/cockpit2/switches/landing_lights_on 1"
    "sim/cockpit2/switches/taxi_light_on 0"
    "sim/cockpit2/controls/flap_ratio 0"
    "sim/cockpit2/engine/actuators/throttle_ratio_all 0.75"
    "sim/cockpit2/radios/actuators/com1_frequency_hz_833 124850"
    "sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 90"
    "sim/cockpit2/autopilot/altitude_dial_ft 4500"
    "sim/cockpit2/autopilot/vvi_dial_fpm 500"
    "sim/cockpit2/switches/beacon_on 1"
    "sim/cockpit2/switches/navigation_lights_on 1"
    "sim/cockpit2/switches/strobe_lights_on 1"
)
# Commands the boards' inputs ran (as xphost's trace shows them: NAME PHASE).
EXPECT_COMMANDS=(
    "corvane/starter_ignition_1 begin"
    "corvane/starter_ignition_1 end"
    "sim/starters/engage_starter_1 begin"
    "sim/starters/engage_starter_1 end"
    "sim/igniters/igniter_contin_on_1 begin"
    "sim/igniters/igniter_contin_off_1 begin"
    "sim/flight_controls/landing_gear_up begin"
    "sim/autopilot/servos_toggle begin"
    "sim/autopilot/heading begin"
    "sim/autopilot/altitude_hold begin"
    "sim/annunciator/test_all_annunciators begin"
    "sim/annunciator/test_all_annunciators end"
)
# What the boards show at the end: BOARD LINE TOKEN, TOKEN in the last LINE of its state.
EXPECT_OUTPUTS=(
    'lan-board displays: 30="124.850"'
    'lan-board displays: 31="090"'
    'lan-board leds: 40=on'
    'lan-board leds: 41=on'
    'lan-board leds: 42=off'
    'lan-board leds: 43=on'
    'lan-board modes: 44=on'
    'lan-board modes: 45=off'
    'lan-board modes: 46=off'
    'usb-board displays: 40=" 4500"'
    'usb-board leds: 22=off'
    'usb-board leds: 23=off'
    'usb-board leds: 24=off'
    'usb-board leds: 25=off'
    'usb-board leds: 26=off'
    'usb-board leds: 27=off'
    'usb-board leds: 28=off'
    'usb-board leds: 29=off'
    'usb-board leds: 30=on'
    'usb-board steppers: 44=(1024,'
    'usb-board floats: 11=600'
    'panel panel: 1L=1'
    'panel panel: 2L=1'
    'panel panel: 3L=1'
    'panel panel: 4L=0'
    'panel panel: 10D=120'
    'panel panel: 11D=4500'
    'panel panel: 12D=0,0,0'
    'panel panel: 13D=124850'
)

say "the flight is over: reading back what the boards changed"
for entry in "${EXPECT_DATAREFS[@]}"; do send "get ${entry%% *}"; done
send "trace"
send "window"  # while the boards are still connected
if [ $KEEP_RUNNING -eq 0 ]; then
    send "quit"
    wait_gone 15 "$XP_PID" || fail "xphost did not quit"
    wait "$XP_PID"
    rc=$?
    [ $rc -eq 0 ] || fail "xphost ended with status $rc"
    # Then the boards, which end their last wait with status 0.
    for k in 0 1 2; do
        alive "${BOARD_PIDS[$k]}" || fail "the ${BOARDS[$k]} emulator stopped before the end"
        kill -TERM "${BOARD_PIDS[$k]}"
        wait "${BOARD_PIDS[$k]}"
        rc=$?
        [ $rc -eq 0 ] || fail "the ${BOARDS[$k]} emulator ended with status $rc"
    done
    wait_gone 5 "${PIPE_PIDS[@]}"
else
    markers=$(grep -c '^time ' "$LOGS/xphost.log")
    send "time"
    deadline=$(($(now_us) + 10000000))
    while [ "$(grep -c '^time ' "$LOGS/xphost.log")" -le "$markers" ]; do
        [ "$(now_us)" -ge $deadline ] && fail "xphost did not answer"
        sleep 0.1
    done
fi

FAILED=()

datarefs_ok=0
for entry in "${EXPECT_DATAREFS[@]}"; do
    name=${entry%% *}
    want=${entry##* }
    got=$(awk -v n="$name" 'index($0, n " = ") == 1 { v = substr($0, length(n) + 4) } END { print v }' \
        "$LOGS/xphost.log")
    if awk -v a="$got" -v b="$want" 'BEGIN { d = a - b; exit !(a != "" && d < 0.001 && d > -0.001) }'
    then
        datarefs_ok=$((datarefs_ok + 1))
    else
        FAILED+=("$name is ${got:-unknown}, expected $want")
    fi
done

commands_ok=0
for entry in "${EXPECT_COMMANDS[@]}"; do
    if grep -q "^$entry " "$LOGS/xphost.log"; then
        commands_ok=$((commands_ok + 1))
    else
        FAILED+=("no command event \"$entry\" in the trace")
    fi
done

# The last "LINE:" line of a board's log (its final state).
state_line() { grep "^$2:" "$LOGS/$1.log" | tail -n 1; }

outputs_ok=0
for entry in "${EXPECT_OUTPUTS[@]}"; do
    board=${entry%% *}
    rest=${entry#* }
    line=${rest%% *}
    token=${rest#* }
    if state_line "$board" "${line%:}" | grep -qF " $token"; then
        outputs_ok=$((outputs_ok + 1))
    else
        FAILED+=("$board shows \"$(state_line "$board" "${line%:}")\", expected $token")
    fi
done

memory_file=$(cd "$PLUGIN_DIR" && ls memory*.txt 2>/dev/null | head -n 1)
memory_line=""
[ -n "$memory_file" ] && memory_line=$(tr -d '\r' <"$PLUGIN_DIR/$memory_file" | grep '^12 ')
[ "$memory_line" = "12 124850,119100" ] ||
    FAILED+=("frequency memory holds \"${memory_line:-nothing}\", expected 12 124850,119100")

# Board lines of the status window, from its last showing; a board whose link went away is
# marked " - disconnected".
status_lines=$(awk '/^Corvane v/ { n = 0; delete lines } /^   [0-9]+\. (USB|LAN) / { lines[++n] = $0 }
    END { for (k = 1; k <= n; k++) print lines[k] }' "$LOGS/xphost.log")
boards_connected=$(printf '%s\n' "$status_lines" | grep '[0-9]' | grep -vc -- ' - disconnected$')
[ "$boards_connected" -eq 3 ] ||
    FAILED+=("the status window shows $boards_connected boards connected, expected 3")

# ---- Summary ----

display() { state_line "$1" displays | grep -o " $2=\"[^\"]*\"" | sed 's/^ [0-9]*=//'; }
echo
say "-------------------------------- summary --------------------------------"
say "boards connected: $boards_connected of 3"
printf '%s\n' "$status_lines" | sed 's/^ */[demo]     /'
say "inputs applied: $datarefs_ok of ${#EXPECT_DATAREFS[@]} datarefs hold the value the boards set," \
    "$commands_ok of ${#EXPECT_COMMANDS[@]} commands ran"
say "displays: COM1 $(display lan-board 30), heading $(display lan-board 31)," \
    "altitude $(display usb-board 40)"
stepper=$(state_line usb-board steppers | grep -o '44=([^)]*)' | sed 's/^44=(//; s/,.*//')
servo=$(state_line usb-board floats | grep -o ' 11=[^ ]*' | sed 's/^ 11=//')
say "gauges: airspeed needle at step ${stepper:-?} (120 kt; 2048 steps a turn), flap servo at" \
    "${servo:-?} us (flaps up)"
say "Helvan panel: $(state_line panel panel | sed 's/^panel: //')"
say "frequency memory ($memory_file): ${memory_line:-empty}"
say "outputs: $outputs_ok of ${#EXPECT_OUTPUTS[@]} lights and displays as expected"
if [ ${#FAILED[@]} -gt 0 ]; then
    for text in "${FAILED[@]}"; do say "FAILED: $text"; done
    say "result: ${#FAILED[@]} checks failed ($(elapsed) s)"
    RESULT=1
else
    say "result: every check passed ($(elapsed) s)"
    RESULT=0
fi
[ $KEEP_RUNNING -eq 0 ] && exit $RESULT

say "the cockpit keeps running; type xphost control lines (get NAME, window, trace;" \
    "xphost --help lists them); Ctrl-C ends"
while alive "$XP_PID"; do
    if [ -t 0 ]; then
        if IFS= read -r -t 1 line; then send "$line"; fi
    else
        pause 1
    fi
done
fail "xphost has stopped"
