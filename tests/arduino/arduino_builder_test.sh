#!/bin/bash
# The board library as the Arduino IDE 1.8 takes and builds it: its library.properties has every
# field the IDE needs, and Debian's arduino-builder compiles every example sketch from a copy of
# the library's folder for the Uno, the Nano and the Mega 2560 with all warnings on, none of them
# from the library or its examples; a Leonardo and an 8 MHz Pro Mini must stop at the library's
# own #error. Prints each build's size lines. Exit 77 (skipped) without arduino-builder or the
# Arduino AVR core.
#
# usage: arduino_builder_test.sh LIBRARY_DIR WORK_DIR
set -u
library=$1
work=$2
hardware=/usr/share/arduino/hardware
if ! command -v arduino-builder >/dev/null || [ ! -f $hardware/arduino/avr/platform.txt ]; then
    echo "arduino-builder or the Arduino AVR core is missing (install arduino-builder)"
    exit 77
fi

# library.properties as the Arduino IDE 1.8 reads it: it skips a library that lacks one of its
# fields; the version is semantic, the category one of its list.
properties=$library/library.properties
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
for field in name version author maintainer sentence paragraph category url architectures \
    includes; do
    grep -qE "^$field=.+" "$properties" || fail "library.properties has no $field"
done
grep -qE "^version=[0-9]+\.[0-9]+\.[0-9]+$" "$properties" ||
    fail "the version is not MAJOR.MINOR.PATCH"
grep -qE "^category=(Display|Communication|Signal Input/Output|Sensors|Device Control|Timing|Data Storage|Data Processing|Other)$" \
    "$properties" || fail "the category is none of those the Arduino IDE offers"
grep -qE "^url=https?://" "$properties" || fail "the url is no web address"

rm -rf "$work" && mkdir -p "$work/libraries/Corvane" || exit 1
cp -r "$library/." "$work/libraries/Corvane/" && rm -f "$work/libraries/Corvane/CMakeLists.txt"

# Builds sketch $2 for board $1 into $work/out.txt; returns arduino-builder's status.
build() {
    local board=${1#arduino:avr:}
    board=${board%%:*}
    mkdir -p "$work/build-$board"
    # Debian's avr-gcc does not declare DECIMAL_DIG in C++, which the core's WString.cpp needs.
    arduino-builder -compile -hardware $hardware -hardware /usr/share/arduino-builder \
        -tools /usr/share/arduino-builder -libraries "$work/libraries" -fqbn "$1" \
        -build-path "$work/build-$board" -warnings all -ide-version 10819 \
        -prefs=compiler.cpp.extra_flags=-DDECIMAL_DIG=__DECIMAL_DIG__ "$2" >"$work/out.txt" 2>&1
}

# The boards with the chip the IDE's Tools > Processor menu offers first.
for fqbn in arduino:avr:uno arduino:avr:nano:cpu=atmega328 arduino:avr:mega:cpu=atmega2560; do
    for sketch in "$work"/libraries/Corvane/examples/*/*.ino; do
        name=$(basename "$sketch" .ino)
        if ! build $fqbn "$sketch"; then
            cat "$work/out.txt"
            fail "$name does not build for $fqbn"
            continue
        fi
        if grep -E "libraries/Corvane/.*(warning|error):" "$work/out.txt"; then
            fail "$name for $fqbn: warnings from the library"
        fi
        grep -E "^(Sketch uses|Global variables use)" "$work/out.txt" | sed "s/^/$fqbn $name: /"
    done
done

# Boards of another chip or clock stop at the library's #error, which names those it supports.
sketch=$work/libraries/Corvane/examples/CorvaneBoard/CorvaneBoard.ino
for case in "arduino:avr:leonardo|Corvane runs on the Arduino Uno, Nano (ATmega328P) and Mega 2560" \
    "arduino:avr:pro:cpu=8MHzatmega328|Corvane needs a 16 MHz clock"; do
    fqbn=${case%%|*}
    text=${case#*|}
    if build $fqbn "$sketch"; then
        fail "CorvaneBoard builds for $fqbn"
    elif ! grep -qF "#error \"$text" "$work/out.txt"; then
        cat "$work/out.txt"
        fail "$fqbn does not stop at the library's #error"
    else
        grep -m1 "#error" "$work/out.txt" | sed "s/^/$fqbn: /"
    fi
done
exit $((failures > 0))
