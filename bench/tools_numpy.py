"""A single tone added to 100,000,000 complex samples in numpy, all in float32, as the
yardstick for BM_AddTone: I += A*np.cos(w*n+phi); Q += A*np.sin(w*n+phi), the same tone
(3.3 MHz at 122.88 Msps, -6 dBFS, 30 degrees). The index array is made before the clock
starts. Prints one JSON object {"tone": seconds} (best of three timings)."""
import json

import numpy as np

from numpy_timing import best_of


def main():
    count = 100_000_000
    n = np.arange(count, dtype=np.float32)
    I = np.zeros(count, np.float32)
    Q = np.zeros(count, np.float32)
    A = np.float32(10 ** (-6 / 20))
    w = np.float32(2 * np.pi * 3.3e6 / 122.88e6)
    phi = np.float32(np.deg2rad(30))
    def tone():
        I[:] += A * np.cos(w * n + phi)
        Q[:] += A * np.sin(w * n + phi)

    print(json.dumps({"tone": best_of(tone)}))


if __name__ == "__main__":
    main()
