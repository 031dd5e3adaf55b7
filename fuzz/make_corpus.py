#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (small binary files) into fuzz/corpus/.

receive/: programs for receive_fuzz (see the op list at the top of receive_fuzz.cpp) that play
whole uploads as a meter sends them: enquiry, header, data messages, stuffing, split chunks, a
line error, the watchdog, a data message without a header, and an upload long enough to need a
continuation file.

field_reader/: inputs for field_reader_fuzz: a byte that picks the kind of the first field (the
kinds then take turns) and may mark the content as cut, then the content of a raw data file.

raw_reader/: whole raw data files for raw_reader_fuzz, one per logging mode and header form.

Run it from anywhere; it replaces the files it writes and leaves others alone.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
DLE, SOH, STX, ETX, ETB, EOT, ENQ = 16, 1, 2, 3, 23, 4, 5


def frame(kind, body, terminator):
    """A message as it travels: DLE, type, stuffed body, stuffed checksum, DLE, terminator."""
    out = bytearray([DLE, kind])
    for b in body:
        out.append(b)
        if b == DLE:
            out.append(DLE)
    checksum = sum(body) % 256
    out.append(checksum)
    if checksum == DLE:
        out.append(DLE)
    out += bytes([DLE, terminator])
    return bytes(out)


def header(stamp, probe=3, mode=1, rate=2, elapsed=False, data_format=1, move_ave=0,
           period=None):
    mode_word = (probe << 12) | (mode << 10) | (rate << 6) | (16 if elapsed else 0)
    body = struct.pack(">IHHH", stamp, mode_word, data_format, move_ave)
    if period is not None:
        body += struct.pack(">II", *period)
    return frame(SOH, body, ETX)


def value(mantissa, exponent):
    return struct.pack(">H", (exponent << 13) | mantissa)


def stamp(day_number, seconds):
    return (day_number << 19) | (seconds << 2)


# ---- receive_fuzz program steps ----
def deliver(data):
    """One notification per chunk of at most 255 bytes."""
    out = bytearray()
    for at in range(0, len(data), 255):
        chunk = data[at:at + 255]
        out += bytes([0, len(chunk)]) + chunk
    return bytes(out)


def event(index):
    """Index into 1001..1011, 1..7, 0 (1004 is index 3, receive (2) is index 12)."""
    return bytes([3, index])


def wait(tenths):
    return bytes([4, tenths])


def quiet():
    return bytes([5])


def last_message():
    """The user asks for the last message."""
    return bytes([8])


def repeat(times, data):
    assert len(data) <= 255 and 1 <= times <= 64
    return bytes([6, times - 1, len(data)]) + data


def trickle(data):
    assert len(data) <= 255
    return bytes([7, len(data)]) + data


def hexbytes(text):
    return bytes(int(t, 16) for t in text.split())


ENQUIRY = bytes([DLE, ENQ])
WORKED_HEADER = hexbytes("10 01 01 23 45 67 34 80 00 01 00 00 85 10 03")
WORKED_DATA = hexbytes("10 02 81 02 23 E8 8E 10 04")
STUFFED_DATA = hexbytes("10 02 81 10 10 23 E8 9C 10 04")


def records(count, columns, move_ave, stamped, start=0):
    body = bytearray()
    for n in range(count):
        body += bytes([0x80 | ((start + n) % 128), 2])
        if stamped:
            body += struct.pack(">I", stamp(8000, 3600 + start + n))
        if move_ave:
            body += value(1234 + n, 2)
        for c in range(columns):
            body += value((100 * c + n) % 8192, 1)
    return bytes(body)


def receive_seeds():
    seeds = {}
    seeds["enquiry"] = deliver(ENQUIRY)
    seeds["worked_upload"] = deliver(ENQUIRY) + deliver(WORKED_HEADER) + deliver(WORKED_DATA)
    seeds["stuffed_upload"] = deliver(ENQUIRY) + deliver(WORKED_HEADER) + deliver(STUFFED_DATA)

    # Mode 1, two columns and a moving average, three data messages.
    h = header(stamp(8000, 45296), mode=1, data_format=3, move_ave=4)
    msgs = [frame(STX, records(8, 2, True, False, 8 * k), ETB if k < 2 else EOT) for k in range(3)]
    seeds["mode1_two_columns"] = deliver(ENQUIRY) + deliver(h) + b"".join(deliver(m) for m in msgs)

    # Mode 0: every record carries its own time stamp; long header with periods.
    h = header(stamp(7000, 100), mode=0, data_format=1, period=(30, 60))
    msgs = [frame(STX, records(6, 1, False, True, 6 * k), ETB if k < 1 else EOT) for k in range(2)]
    seeds["mode0_stamped"] = deliver(h) + b"".join(deliver(m) for m in msgs)

    # Elapsed-time header (a file number in place of the stamp), mode field 2, long form.
    h = header(7, probe=1, mode=2, elapsed=True, data_format=1, period=(10, 20))
    seeds["elapsed_mode2"] = deliver(h) + deliver(frame(STX, records(4, 1, False, False), EOT))

    # The worked upload in pieces, byte by byte, with the status timer running out between and
    # a look at the last message while it is incomplete.
    seeds["split_chunks"] = (trickle(ENQUIRY) + deliver(WORKED_HEADER[:5]) + last_message() +
                             wait(25) + deliver(WORKED_HEADER[5:]) + trickle(WORKED_DATA))

    # A framing error in the middle of a message, then the meter sends it again.
    seeds["line_error"] = (deliver(WORKED_HEADER) + deliver(WORKED_DATA[:4]) + event(3) +
                           deliver(WORKED_DATA))

    # The meter falls silent after the header: the watchdog gives up after ten seconds.
    seeds["watchdog"] = (deliver(WORKED_HEADER) + quiet() + wait(101) +
                         deliver(WORKED_DATA))

    # Data with no header since start, and noise in front of a message.
    seeds["no_header"] = deliver(b"\x00\xffnoise" + WORKED_DATA) + event(12)

    # A long upload: enough two-byte records (no columns, no moving average) to overflow one
    # file and continue in the next.
    h = header(stamp(8000, 7200), mode=1, data_format=0, move_ave=0)
    body = records(120, 0, False, False)
    middle = frame(STX, body, ETB)
    seeds["continuation"] = (deliver(h) + repeat(64, middle) + repeat(64, middle) +
                             repeat(10, middle) + deliver(frame(STX, body, EOT)))
    return seeds


# ---- field_reader_fuzz inputs ----
TEXT, INT16, INT32, SINGLE = range(4)
CUT = 0x80


def field_reader_seeds():
    worked = b'"02/05/1997","2:53:13 PM",3,1\r\n2,1,0\r\n1,2\r\n100\r\n'
    long_header = b'"12/31/2024","23:59:59",17,5\r\n2,2,4,30,60\r\n1,16\r\n0.00001\r\n81.91\r\n'
    return {
        "worked_file": bytes([TEXT]) + worked,
        "long_header": bytes([INT16]) + long_header,
        "cut_head": bytes([CUT | TEXT]) + worked[:37],
        "odd_numbers": bytes([SINGLE]) + b" -1.5e3 , 32767,\n-2147483648, 3.4e38\r,\"\",,\r\n",
        "long_field": bytes([SINGLE]) + b" " * 60 + b"1.25\r\n",
    }


# ---- raw_reader_fuzz inputs ----
def raw_reader_seeds():
    rec = b"1,0\r\n12.4\r\n12.5\r\n12.2\r\n"
    return {
        "worked_file": b'"01/15/2006","02:05:09 PM",0,1\r\n2,9,60\r\n' + rec * 3,
        "periodic": b'"2006/01/15"," 14:05:09",10,2\r\n0,3,0,3,10\r\n' + b"1,1\r\n1.5\r\n-.25\r\n" * 5,
        "stamped": b'"15-Jan-2006","2:05:09 PM",16,4\r\n4,1,600\r\n'
                   + b'1,3\r\n"01/15/2006","02:05:09 PM"\r\n1\r\n2E-3\r\n' * 2,
        "header_only": b'"31/12/2006","11:59:59 PM",18,3\r\n8,65535,65534\r\n',
        "cut_record": b'"01/15/2006","02:05:09 PM",0,1\r\n2,9,60\r\n' + rec + b"1,0\r\n12",
        "long_field": b'"01/15/2006","02:05:09 PM",0,1\r\n2,1,0\r\n1,0\r\n' + b"7" * 70 + b"\r\n",
    }


def write(folder, seeds):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write("receive", receive_seeds())
    write("field_reader", field_reader_seeds())
    write("raw_reader", raw_reader_seeds())
