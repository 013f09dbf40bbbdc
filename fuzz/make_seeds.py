#!/usr/bin/env python3
"""Writes the seed corpora of the inbound, entry_points and check fuzz targets into corpus/.

Each seed is a short program in the operation codes that the target's source file lists at its
top; the comments below name what each one reaches. Run it again after changing the codes.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


def word(n):
    return [n >> 8 & 255, n & 255]


# ---- inbound ----
def datagram(sender, payload):
    return [0, sender, len(payload)] + list(payload)


def pattern_datagram(sender, length, pattern):
    return [2, sender] + word(length) + [len(pattern)] + list(pattern)


def panel_text(sender, length, line=b""):
    return [3, sender] + word(length) + [len(line)] + list(line)


def serial(port, payload, framed):
    return [4, port + (3 if framed else 0), len(payload)] + list(payload)


def serial_pattern(port, length, pattern, framed):
    return [5, port + (3 if framed else 0)] + word(length) + [len(pattern)] + list(pattern)


def lan_input(board, sender, text):
    return [6, board, sender, len(text)] + list(text)


def serial_input(port, board, text):
    return [7, port, board, len(text)] + list(text)


def frames(count):
    return [8, (count - 1) % 4]


def frame_period(k):
    return [9, k]


# SetDataref: dataref, element (arrays), how (0 double bits, 1 float bits, 2 hard value k = how/3)
DATAREFS = ["fuzz/int", "fuzz/float", "fuzz/double", "fuzz/heading", "fuzz/floats", "fuzz/ints",
            "fuzz/int_float", "fuzz/bytes"]
ARRAYS = {"fuzz/floats", "fuzz/ints", "fuzz/bytes"}


def hard_value(name, k, element=0):
    ops = [10, DATAREFS.index(name)]
    if name in ARRAYS:
        ops.append(element)
    return ops + [3 * k + 2]


def float_value(name, value, element=0):
    ops = [10, DATAREFS.index(name)]
    if name in ARRAYS:
        ops.append(element)
    return ops + [1] + list(struct.pack("<f", value))


def double_value(name, value):
    return [10, DATAREFS.index(name), 0] + list(struct.pack("<d", value))


def inbound():
    for profile in range(6):
        write("inbound", "profile_%d" % profile, [profile] + frames(4) * 6)
    seven = [0]
    for v in [0.0, 0.5, 1.0, 12.34, -7.25, 1e9]:
        seven += float_value("fuzz/float", v) + double_value("fuzz/double", v) + frames(2)
    write("inbound", "seven_segment_and_steppers", seven)
    hard = [0]
    for k in range(28):
        for name in ["fuzz/float", "fuzz/double", "fuzz/heading", "fuzz/int", "fuzz/int_float"]:
            hard += hard_value(name, k)
        hard += hard_value("fuzz/floats", k, k % 8) + hard_value("fuzz/ints", k, k % 8)
        hard += frames(1)
    write("inbound", "hard_values", hard)
    write("inbound", "frame_periods", [0] + sum([frame_period(k) + frames(1) for k in range(11)], []))
    write("inbound", "largest_datagrams",
          [0] + pattern_datagram(4, 65507, b"x") + frames(1) + pattern_datagram(0, 65507, b"\x01D")
          + frames(1) + pattern_datagram(6, 60000, b"|") + frames(2))
    # Panel texts of 6000 bytes: a text ten times that long takes one call far beyond the limit
    # (see findings-notes.md).
    write("inbound", "panel_flood",
          [0] + sum([panel_text(3, 6000, b"D9 13L") + panel_text(5, 6000) + frames(1)
                     for _ in range(3)], []) + frames(2))
    write("inbound", "empty_datagrams",
          [0] + datagram(0, b"") * 5 + datagram(0, b"\x00abc") + lan_input(1, 0, b"B3") + frames(1))
    write("inbound", "serial_noise",
          [0] + serial_pattern(0, 65535, b"{\x01D4+}noise", False) + frames(3)
          + serial_pattern(1, 8000, b"~", True) + serial_pattern(2, 5000, b"{", False) + frames(4))
    write("inbound", "vanishing_ports",
          [2] + frames(2) + [11, 0] + frames(2) + serial_input(0, 7, b"D5+") + [11, 1] + frames(4)
          + frames(4) + frames(4) + frames(4) + [11, 2] + frames(2) + [11, 3] + frames(3))
    tags = [b"B3", b"D4+", b"D4-", b"D5+", b"D5-", b"D6", b"D7+", b"E3 \x03", b"E3/1 \x02",
            b"A1 750", b"A2/5 300", b"R4 \x05", b"M12", b"P12", b"D8", b"D9", b"D10", b"D11",
            b"D12", b"D13", b"B14"]
    lan = [0]
    for board in (1, 2, 3):
        for t in tags:
            lan += lan_input(board, board - 1, t)
        lan += frames(2)
    write("inbound", "lan_inputs", lan)
    usb = [0]
    for port in (0, 1, 2):
        for t in tags:
            usb += serial_input(port, 5 + port, t)
        usb += frames(2)
    write("inbound", "serial_inputs", usb)
    write("inbound", "strangers_and_own_address",
          [0] + lan_input(1, 4, b"B3") + lan_input(1, 6, b"D4+") + datagram(5, b"|\x7c1abcdefghij")
          + datagram(6, b"~d") + datagram(4, b"~a") + frames(2))


# ---- entry_points ----
def entry_points():
    msg = lambda m, t: [3, m, t]
    calls = lambda k: [8, k]
    write("entry_points", "airport_loaded",
          msg(0, 0) + calls(0) + msg(1, 2) + msg(0, 3) + msg(0, 4) + msg(0, 6) + msg(1, 7)
          + msg(0, 8) + msg(2, 0) + msg(9, 1) + calls(2))
    write("entry_points", "disable_enable",
          calls(0) + [0] + calls(0) + [1] + calls(4) + [0, 0, 1, 1] + calls(6) + [0] + msg(0, 0)
          + [1] + msg(0, 0))
    write("entry_points", "reloads",
          [2, 0] + calls(6) * 12 + [2, 1] + calls(6) * 12 + [0, 2, 1] + calls(6) * 12)
    write("entry_points", "menu_and_window",
          [4, 0, 5, 1] + calls(0) + [5, 2] + calls(0) + [5, 0] + calls(2) + [5, 3, 4, 0, 4, 1]
          + calls(0) + [4, 2] + calls(6))
    write("entry_points", "own_datarefs",
          [6, 0, 0] + calls(0) + sum([[6, 2 + 3 * s, v] + calls(0) for s in range(3)
                                       for v in range(28)], []) + [6, 1, 5, 6, 4, 200])
    write("entry_points", "own_commands",
          [7, 4] + calls(2) + [0, 7, 8, 1, 7, 5] + calls(2) + [2, 1, 7, 9, 7, 0, 7, 3, 7, 7]
          + calls(0))
    write("entry_points", "board_held_inputs",
          [9, 0] + calls(2) + [0, 1, 9, 1] + calls(2) + [9, 4] + calls(0) + [2, 1, 9, 5]
          + [9, 2, 9, 3] + calls(4))
    write("entry_points", "frame_periods", sum([calls(2 * k + 1) + calls(0) for k in range(7)], []))


# ---- check ----
def check():
    for name in sorted(os.listdir(os.path.join(HERE, "corpus", "datacfg"))):
        with open(os.path.join(HERE, "corpus", "datacfg", name), "rb") as f:
            write("check", name, f.read())
    with open(os.path.join(ROOT, "examples", "install", "data.cfg"), "rb") as f:
        write("check", "install_example", f.read())
    write("check", "panel_text",
          b"[I]\nB1 sim/x\nD2+ sim/y 1,0,1\n[O]\n13L 0 sim/z\n7N 0 sim/w 1 0,1 0,1 4 2\n")


inbound()
entry_points()
check()
