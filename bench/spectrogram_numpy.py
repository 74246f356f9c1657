"""qrvn spectrogram against numpy's framed FFT on the same cf32 capture: frames of 1024 every
512 samples, Hann window, np.fft.fft, |X|^2, the largest of each row's frames (1000 rows), read
in pieces as a streaming tool would. Usage: spectrogram_numpy.py QRVN FILE.
Prints one JSON object {"qrvn": seconds, "numpy": seconds} (best of two each)."""
import json
import subprocess
import sys
import tempfile

import numpy as np

from numpy_timing import best_of

N, HOP, ROWS = 1024, 512, 1000


def numpy_spectrogram(path):
    x = np.memmap(path, dtype=np.complex64, mode="r")
    per_row = len(x) // ROWS
    w = np.hanning(N).astype(np.float32)
    out = np.empty((ROWS, N), np.float32)
    for r in range(ROWS):
        seg = np.asarray(x[r * per_row: min(len(x), r * per_row + per_row + N)])
        starts = np.arange(0, per_row, HOP)
        starts = starts[starts + N <= len(seg)]
        frames = np.lib.stride_tricks.sliding_window_view(seg, N)[starts] * w
        p = np.abs(np.fft.fft(frames, axis=1)) ** 2
        out[r] = 10 * np.log10(np.fft.fftshift(p.max(axis=0)) / N ** 2 + 1e-30)
    return out


def main():
    qrvn, path = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as d:
        ours = best_of(lambda: subprocess.run(
            [qrvn, "spectrogram", path, "-o", d + "/s.npy", "--fft", str(N), "--rows", str(ROWS)],
            check=True, stdout=subprocess.DEVNULL), runs=2)
        ref = best_of(lambda: numpy_spectrogram(path), runs=2)
    print(json.dumps({"qrvn": ours, "numpy": ref}))


if __name__ == "__main__":
    main()
