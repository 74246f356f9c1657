"""The FFT low-pass of 2^24 complex samples in numpy, as the yardstick for
bench/filters_bench.cpp: np.fft.fft, a multiply by the gain mask (built beforehand from the bin
frequencies: pass edge 10 MHz, Gaussian roll-off over 2 MHz at 61.44 MHz, both sides), and
np.fft.ifft. numpy's FFT works in complex128 whatever the input. Prints one JSON object
{"fft_low_pass": seconds} (best of three timings)."""
import json

import numpy as np

from numpy_timing import best_of

N = 1 << 24
FS = 61.44e6



def main():
    rng = np.random.default_rng(7)
    x = (rng.normal(0, 0.05, N) + 1j * rng.normal(0, 0.05, N)).astype(np.complex64)
    f = np.abs(np.fft.fftfreq(N, 1 / FS))
    t = np.clip((f - 10e6) / 2e6, 0, None)
    mask = np.where(t < 1, np.exp(-4 * np.pi * t * t), 0.0)

    def low_pass():
        spectrum = np.fft.fft(x)
        spectrum *= mask
        return np.fft.ifft(spectrum)

    print(json.dumps({"fft_low_pass": best_of(low_pass)}))


if __name__ == "__main__":
    main()
