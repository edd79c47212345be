#!/usr/bin/env python3
"""Compares two renders sample by sample: WAV files of 16/24/32-bit PCM or 32/64-bit float.

Usage: compare-renders.py A.wav B.wav MAX_DIFFERENCE
Prints the largest difference (absolute, in units of full scale, and in steps of the
files' resolution) and how many samples differ; exits 1 when the largest difference is
above MAX_DIFFERENCE or the files differ in shape.
"""
import struct
import sys


def read_wav(path):
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit(f"{path}: not a WAV file")
    pos, fmt = 12, None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            code, channels, rate = struct.unpack("<HHI", body[:8])
            bits = struct.unpack("<H", body[14:16])[0]
            if code == 0xFFFE:
                code = struct.unpack("<H", body[24:26])[0]
            fmt = (code, channels, rate, bits)
        elif tag == b"data":
            code, channels, rate, bits = fmt
            width = bits // 8
            count = len(body) // width
            if code == 3:
                samples = struct.unpack(f"<{count}{'f' if bits == 32 else 'd'}", body[:count * width])
                step = 2.0 ** -24 if bits == 32 else 2.0 ** -53
            else:
                scale = float(1 << (bits - 1))
                samples = [int.from_bytes(body[i:i + width], "little", signed=True) / scale
                           for i in range(0, count * width, width)]
                step = 1.0 / scale
            return fmt, samples, step
        pos += 8 + size + (size & 1)
    sys.exit(f"{path}: no data")


def main():
    a_path, b_path, limit = sys.argv[1], sys.argv[2], float(sys.argv[3])
    fa, a, step = read_wav(a_path)
    fb, b, _ = read_wav(b_path)
    if fa != fb or len(a) != len(b):
        print(f"the renders differ in shape: {fa} {len(a)} samples, {fb} {len(b)} samples")
        return 1
    worst, differing = 0.0, 0
    for x, y in zip(a, b):
        d = abs(x - y)
        if d:
            differing += 1
            worst = max(worst, d)
    peak = max(max(abs(x) for x in a), 1e-30)
    print(f"{len(a)} samples ({fa[1]} channels, {fa[2]} Hz, {fa[3]}-bit); {differing} differ; "
          f"largest difference {worst:.3g} ({worst / step:.2f} steps of the format, "
          f"{worst / peak:.3g} of the peak {peak:.3g})")
    return 0 if worst <= limit else 1


sys.exit(main())
