"""The averaged spectrum of 2^26 complex samples in numpy, as the yardstick for
BM_AveragedRecompute: reshape into frames, window, np.fft.fft, mean of |X|^2.
Prints one JSON object {"N": seconds, ...} (best of three timings per size)."""
import json

import numpy as np

from numpy_timing import best_of


def blackman_harris(L):
    x = np.arange(L) / (L - 1)
    w = 0.35875 - 0.48829 * np.cos(2 * np.pi * x) + 0.14128 * np.cos(4 * np.pi * x) - 0.01168 * np.cos(6 * np.pi * x)
    return (w / 0.507927).astype(np.float32)


def main():
    rng = np.random.default_rng(7)
    n = 1 << 26
    x = (rng.normal(0, 0.05, n).astype(np.float32) + 1j * rng.normal(0, 0.05, n).astype(np.float32)).astype(np.complex64)
    result = {}
    for N in (16384, 524288):
        w = blackman_harris(N)
        def averaged(w=w, N=N):
            frames = x[: (n // N) * N].reshape(-1, N) * w
            np.mean(np.abs(np.fft.fft(frames, axis=1)) ** 2, axis=0)

        result[str(N)] = best_of(averaged)
    print(json.dumps(result))


if __name__ == "__main__":
    main()
