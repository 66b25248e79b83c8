#!/usr/bin/env python3
"""What a user's own script gets through the same port: pyserial reads the
dongle's uplink and cuts it into frames (type, layer, opcode, u16 length,
payload, checksum), checking each checksum, until COUNT frames have come.

    uplink_script.py PORT COUNT

Prints "ready" once the port is open, then one line:
"frames N seconds S cpu C" (wall time from the first byte, CPU of the script).
"""
import sys
import time

import serial

RESET = bytes.fromhex("CC0002010000")


def main():
    port, count = sys.argv[1], int(sys.argv[2])
    link = serial.Serial(port, 460800, timeout=0.2)
    print("ready", flush=True)
    buffer = bytearray()
    frames = 0
    started = None
    idle = 0
    synced = False
    while frames < count:
        data = link.read(max(1, link.in_waiting))
        if not data:
            idle += 1
            if started is not None and idle > 25:
                break
            continue
        idle = 0
        if started is None:
            started = time.monotonic()
            cpu0 = time.process_time()
        buffer += data
        if not synced:
            at = buffer.find(RESET)
            if at < 0:
                continue
            del buffer[:at + len(RESET)]
            synced = True
        at = 0
        end = len(buffer)
        while end - at >= 6:
            length = 5 + (buffer[at + 3] | buffer[at + 4] << 8)
            if end - at < length + 1:
                break
            if (sum(buffer[at:at + length]) + buffer[at + length]) & 0xFF:
                at += 1  # a bad frame costs one byte, as in the program
                continue
            frames += 1
            at += length + 1
        del buffer[:at]
    seconds = time.monotonic() - started if started is not None else 0.0
    cpu = time.process_time() - cpu0 if started is not None else 0.0
    print("frames %d seconds %.6f cpu %.6f" % (frames, seconds, cpu), flush=True)


if __name__ == "__main__":
    main()
