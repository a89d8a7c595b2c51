"""The conversion as a user would script it with numpy: same inputs, same WAV layout."""
import struct
import sys

import numpy as np


def main():
    base = (sys.argv[1] if len(sys.argv) > 1 else "fftdata").split(".")[0] or "fftdata"
    with open("sr.txt") as f:
        rate, decimation, length, centre = [float(v) for v in f.read().replace("\n", ",").split(",") if v.strip()]
    spacing = np.float32(rate / decimation / length)
    with open(base + ".txt") as f:
        header = f.readline().split(",")
    pairs = np.loadtxt(base + ".txt", delimiter=",", skiprows=1, dtype=np.float32, ndmin=2)
    pairs.astype("<f4").tofile("fft.dat")
    n = 16
    while len(pairs) >= 2 * n:
        n *= 2
    spectrum = np.zeros(n, dtype=np.complex64)
    used = pairs[:n]
    spectrum[: len(used)] = used[:, 0] + 1j * used[:, 1]
    signal = np.fft.fft(np.conj(np.roll(spectrum, -(n // 2)))).astype(np.complex64)
    out_rate = np.float32(spacing * n)
    info = ("sr=%.7g rf=%.16g ut=%.16g" % (out_rate, centre, float(header[1]))).encode()
    info += b"\0" * (-len(info) % 4)
    fmt = struct.pack("<hHIIHHHHI", -2, 2, round(out_rate), 8 * round(out_rate), 8, 32, 22, 32, 0)
    fmt += bytes.fromhex("0300000000001000800000aa00389b71")
    body = (b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"fact" + struct.pack("<II", 4, n)
            + b"inf1" + struct.pack("<I", len(info)) + info + b"data" + struct.pack("<I", 8 * n))
    with open(base + ".wav", "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + len(body) + 8 * n) + b"WAVE" + body)
        f.write(signal.view(np.float32).astype("<f4").tobytes())
    print(base + ".txt", len(pairs), "pairs,", n, "bins")


if __name__ == "__main__":
    main()
