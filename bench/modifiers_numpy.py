"""Scale, frequency shift and DC removal of 100,000,000 float32 samples in numpy, as the
yardstick for bench/modifiers_bench.cpp. I and Q are float32 arrays changed in place (numpy's
fastest form of these operations); the frequency shift works on a complex64 array in blocks of
2^22 samples, its phase formed in float64 and reduced before the complex64 exponential.
Prints one JSON object {"scale": seconds, ...} (best of three timings each)."""
import json

import numpy as np

from numpy_timing import best_of

N = 100_000_000
BLOCK = 1 << 22



def main():
    rng = np.random.default_rng(7)
    i = rng.normal(0.1, 0.05, N).astype(np.float32)
    q = rng.normal(0.1, 0.05, N).astype(np.float32)
    result = {}

    def scale():
        np.multiply(i, np.float32(0.5), out=i)
        np.multiply(q, np.float32(0.5), out=q)

    result["scale"] = best_of(scale)

    def remove_dc():
        np.subtract(i, i.mean(), out=i)
        np.subtract(q, q.mean(), out=q)

    result["remove_dc"] = best_of(remove_dc)
    del q
    x = (i + 1j * i).astype(np.complex64)
    del i
    omega = 2 * np.pi * 1.7e6 / 122.88e6

    def frequency_shift():
        for s in range(0, N, BLOCK):
            e = min(N, s + BLOCK)
            phase = np.remainder(omega * np.arange(s + 1, e + 1, dtype=np.float64), 2 * np.pi)
            x[s:e] *= np.exp(1j * phase.astype(np.float32))

    result["frequency_shift"] = best_of(frequency_shift)
    print(json.dumps(result))


if __name__ == "__main__":
    main()
