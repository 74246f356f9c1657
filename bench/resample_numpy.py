"""The yardsticks for bench/resample_bench.cpp, in numpy on the same kind of input (complex64
Gaussian samples, numpy transforming in complex128 as it does):
- fft_interpolate: FFT interpolation by 2 of 2^24 samples as tool 532 does it: X = fft(x) / N,
  the N/2 non-negative and N/2 negative bins at the two ends of 2N zeros, ifft(Y) * 2N;
- fir_255: the circular convolution of 10^7 samples with 255 taps through the FFT,
  ifft(fft(x) * fft(h placed circularly, centred on tap 127)).
Prints one JSON object {"fft_interpolate": seconds, "fir_255": seconds} (best of three each)."""
import json

import numpy as np

from numpy_timing import best_of



def gaussian(n, seed):
    rng = np.random.default_rng(seed)
    return (rng.normal(0, 0.1, n) + 1j * rng.normal(0, 0.1, n)).astype(np.complex64)


def main():
    result = {}
    n = 1 << 24
    x = gaussian(n, 7)

    def interpolate():
        X = np.fft.fft(x) / n
        Y = np.zeros(2 * n, np.complex128)
        Y[: n // 2] = X[: n // 2]
        Y[-(n // 2):] = X[n // 2:]
        return (np.fft.ifft(Y) * (2 * n)).astype(np.complex64)

    result["fft_interpolate"] = best_of(interpolate)
    del x

    n = 10_000_000
    x = gaussian(n, 8)
    t = np.arange(255) - 127
    h = 0.5 * np.sinc(0.2 * t) * (0.54 + 0.46 * np.cos(np.pi * t / 128))

    def fir():
        hp = np.zeros(n)
        hp[(np.arange(255) - 127) % n] = h
        return np.fft.ifft(np.fft.fft(x) * np.fft.fft(hp)).astype(np.complex64)

    result["fir_255"] = best_of(fir)
    print(json.dumps(result))


if __name__ == "__main__":
    main()
