// Writes the bundled example waveform: four tones and a -90 dBFS noise floor at 30.72 MHz,
// type 405, with the rate in its name. Usage: make_example OUT_FOLDER
#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <string>

#include "waveform/waveform.h"

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    const double fs = 30.72e6;
    const int n = 1 << 16;
    const struct { double hz, dbfs; } tones[] = {{3e6, -6}, {-7e6, -46}, {9e6, -56}, {-1e6, -66}};
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, std::sqrt(std::pow(10.0, -9.0) / 2));
    cWaveform w;
    w.AllocateScratch(n);
    for (int k = 0; k < n; ++k) {
        std::complex<double> x(noise(rng), noise(rng));
        for (const auto& t : tones)
            x += std::polar(std::pow(10.0, t.dbfs / 20), 2 * M_PI * t.hz * k / fs);
        w.scratchI[k] = static_cast<float>(x.real());
        w.scratchQ[k] = static_cast<float>(x.imag());
    }
    w.SwapScratch();
    w.fileType = kFileBin16BeTwos;
    const std::string path = folder + "/multitone_30.72MSPS.bin";
    if (w.SaveFile(path) != 1) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("wrote %s\n", path.c_str());
    return 0;
}
