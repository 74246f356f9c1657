// The transforms against a plain transcription of the textbook routine (bit for bit) and
// against closed-form transforms (within float tolerance).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/batch_fft.h"
#include "dsp/fft.h"
#include "dsp/fft_internal.h"
#include "reference_fft.h"

namespace {

constexpr double kPi = std::numbers::pi;

// The classic routine as written in the books: 1-based float positions, counter-based bit
// reversal, then the butterfly passes with the twiddle recurrence restarted for every stage.
void ReferenceComplexFFT(float* d, int64_t n, int sign) {
    float* data = d - 1;  // 1-based view; only data[1 .. 2n] is touched
    const int64_t nn = 2 * n;
    int64_t j = 1;
    for (int64_t i = 1; i < nn; i += 2) {
        if (j > i) {
            std::swap(data[j], data[i]);
            std::swap(data[j + 1], data[i + 1]);
        }
        int64_t k = n;
        while (k >= 2 && j > k) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
    int64_t mmax = 2;
    while (nn > mmax) {
        const int64_t istep = 2 * mmax;
        const double M = static_cast<double>(mmax);  // points per combined block
        const double wtemp = sign * std::sin(kPi / M);
        const double wpr = -2.0 * wtemp * wtemp;
        const double wpi = sign * std::sin(2.0 * kPi / M);
        double wr = 1.0, wi = 0.0;
        for (int64_t m = 1; m < mmax; m += 2) {
            for (int64_t i = m; i <= nn; i += istep) {
                const int64_t jj = i + mmax;
                const float tempr = static_cast<float>(wr * data[jj] - wi * data[jj + 1]);
                const float tempi = static_cast<float>(wr * data[jj + 1] + wi * data[jj]);
                data[jj] = data[i] - tempr;
                data[jj + 1] = data[i + 1] - tempi;
                data[i] += tempr;
                data[i + 1] += tempi;
            }
            const double wOld = wr;
            wr = wr * wpr - wi * wpi + wr;
            wi = wi * wpr + wOld * wpi + wi;
        }
        mmax = istep;
    }
}

void ReferenceRealFFT(float* d, int64_t n) {
    ReferenceComplexFFT(d, n / 2, +1);
    float* data = d - 1;
    const double theta = kPi / static_cast<double>(n >> 1);
    const double wtemp = std::sin(0.5 * theta);
    const double wpr = -2.0 * wtemp * wtemp;
    const double wpi = std::sin(theta);
    double wr = 1.0 + wpr, wi = wpi;
    const int64_t np3 = n + 3;
    for (int64_t i = 2; i <= (n >> 2); ++i) {
        const int64_t i1 = i + i - 1, i2 = 1 + i1, i3 = np3 - i2, i4 = 1 + i3;
        const float h1r = 0.5f * (data[i1] + data[i3]);
        const float h1i = 0.5f * (data[i2] - data[i4]);
        const float h2r = -0.5f * -(data[i2] + data[i4]);
        const float h2i = -0.5f * (data[i1] - data[i3]);
        data[i1] = static_cast<float>(h1r + wr * h2r - wi * h2i);
        data[i2] = static_cast<float>(h1i + wr * h2i + wi * h2r);
        data[i3] = static_cast<float>(h1r - wr * h2r + wi * h2i);
        data[i4] = static_cast<float>(-h1i + wr * h2i + wi * h2r);
        const double wOld = wr;
        wr = wr * wpr - wi * wpi + wr;
        wi = wi * wpr + wOld * wpi + wi;
    }
    const float h1r = data[1];
    data[1] = h1r + data[2];
    data[2] = h1r - data[2];
}

std::vector<float> RandomSignal(size_t floats, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> v(floats);
    for (auto& x : v)
        x = u(rng);
    // Signed zeros and exact small integers exercise the rounding of the twiddle products.
    for (size_t k = 0; k < floats; k += 97)
        v[k] = (k / 97) % 2 ? -0.0f : 0.0f;
    for (size_t k = 5; k < floats; k += 131)
        v[k] = static_cast<float>(static_cast<int>(k % 7) - 3);
    return v;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b, size_t* firstDiff) {
    for (size_t k = 0; k < a.size(); ++k) {
        if (std::memcmp(&a[k], &b[k], sizeof(float)) != 0) {
            *firstDiff = k;
            return false;
        }
    }
    return true;
}

// Signed zeros only: every result bit is the sign of a zero, which depends on how each
// zero twiddle product is signed.
std::vector<float> SignedZeros(size_t floats, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<float> v(floats);
    for (auto& x : v)
        x = rng() % 2 ? -0.0f : 0.0f;
    return v;
}

class ComplexFftBits : public ::testing::TestWithParam<int> {};

TEST_P(ComplexFftBits, MatchesTextbookRoutineForBothSignsAndBothPaths) {
    const int log2n = GetParam();
    const int64_t n = int64_t{1} << log2n;
    for (int sign : {-1, +1})
        for (int kind = 0; kind < 2; ++kind) {
            const std::vector<float> input =
                kind == 0 ? RandomSignal(static_cast<size_t>(2 * n), 1000u + log2n)
                          : SignedZeros(static_cast<size_t>(2 * n), 2000u + log2n);
            std::vector<float> expected = input;
            ReferenceComplexFFT(expected.data(), n, sign);
            for (bool vectorised : {true, false}) {
                std::vector<float> got = input;
                fft_detail::ComplexFFTPath(got.data(), n, sign, vectorised);
                size_t at = 0;
                EXPECT_TRUE(SameBits(expected, got, &at))
                    << "n=" << n << " sign=" << sign << " input=" << kind
                    << " vectorised=" << vectorised << " first difference at float " << at << ": "
                    << expected[at] << " vs " << got[at];
            }
        }
}

// Every size the trace uses, plus 2^21, whose last stage runs the recurrence instead of a table.
INSTANTIATE_TEST_SUITE_P(AllSizes, ComplexFftBits, ::testing::Range(3, 22));

class RealFftBits : public ::testing::TestWithParam<int> {};

TEST_P(RealFftBits, MatchesTextbookRoutine) {
    const int64_t n = int64_t{1} << GetParam();
    const std::vector<float> input = RandomSignal(static_cast<size_t>(n), 77u + GetParam());
    std::vector<float> expected = input, got = input;
    ReferenceRealFFT(expected.data(), n);
    RealFFT(got.data(), n);
    size_t at = 0;
    EXPECT_TRUE(SameBits(expected, got, &at)) << "n=" << n << " first difference at " << at;
}

INSTANTIATE_TEST_SUITE_P(AllSizes, RealFftBits, ::testing::Range(4, 22));

// The sign convention and the absence of scaling, against the sum itself.
TEST(ComplexFft, AgreesWithDirectSumAndRoundTripsToNTimesInput) {
    const int64_t n = 256;
    const std::vector<float> input = RandomSignal(2 * n, 5);
    std::vector<float> x = input;
    ComplexFFT(x.data(), n, -1);
    for (int64_t k = 0; k < n; k += 17) {
        std::complex<double> sum = 0;
        for (int64_t j = 0; j < n; ++j)
            sum += std::complex<double>(input[2 * j], input[2 * j + 1]) *
                   std::polar(1.0, -2 * kPi * double(j * k % n) / n);
        EXPECT_NEAR(x[2 * k], sum.real(), 1e-4);
        EXPECT_NEAR(x[2 * k + 1], sum.imag(), 1e-4);
    }
    ComplexFFT(x.data(), n, +1);
    for (int64_t j = 0; j < 2 * n; ++j)
        EXPECT_NEAR(x[j], n * input[j], 1e-3);
}

TEST(ComplexFft, SizesOutOfRangeOrNotPowersOfTwoLeaveDataUnchanged) {
    for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{2}, int64_t{4}, int64_t{12}, int64_t{100},
                      int64_t{1000}, int64_t{1} << 28, int64_t{-8}}) {
        std::vector<float> x = RandomSignal(64, 3);
        const std::vector<float> before = x;
        // Only the first 32 points exist; a size that is processed would be out of bounds, so
        // an unchanged buffer (and a clean sanitizer run) shows nothing was touched.
        ComplexFFT(x.data(), n, -1);
        EXPECT_EQ(x, before) << "n=" << n;
    }
    std::vector<float> x = RandomSignal(16, 4);
    const std::vector<float> before = x;
    ComplexFFT(x.data(), 8, 0);  // no valid sign
    EXPECT_EQ(x, before);
    RealFFT(x.data(), 8);  // real transform starts at 16
    EXPECT_EQ(x, before);
}

TEST(RealFft, PackedLayoutAndPositiveExponent) {
    const int64_t n = 64;
    std::vector<float> x(n);
    for (int64_t j = 0; j < n; ++j)
        x[j] = static_cast<float>(std::cos(2 * kPi * 5 * j / n));
    RealFFT(x.data(), n);
    EXPECT_NEAR(x[10], 32.0f, 1e-4);
    EXPECT_NEAR(x[11], 0.0f, 1e-4);
    EXPECT_NEAR(x[0], 0.0f, 1e-4);
    EXPECT_NEAR(x[1], 0.0f, 1e-4);

    std::fill(x.begin(), x.end(), 1.0f);
    RealFFT(x.data(), n);
    EXPECT_FLOAT_EQ(x[0], 64.0f);
    EXPECT_FLOAT_EQ(x[1], 0.0f);

    // sin has a negative imaginary part under e^{-i}, so a positive one here.
    for (int64_t j = 0; j < n; ++j)
        x[j] = static_cast<float>(std::sin(2 * kPi * 7 * j / n));
    RealFFT(x.data(), n);
    EXPECT_NEAR(x[14], 0.0f, 1e-4);
    EXPECT_NEAR(x[15], 32.0f, 1e-4);

    // Nyquist: alternating +-1 lands in position 1.
    for (int64_t j = 0; j < n; ++j)
        x[j] = j % 2 ? -1.0f : 1.0f;
    RealFFT(x.data(), n);
    EXPECT_FLOAT_EQ(x[0], 0.0f);
    EXPECT_FLOAT_EQ(x[1], 64.0f);
}

// One combine stage of M = 2^log2M points over every block of x, with the recurrence run here.
void ReferenceStage(std::vector<float>& x, int log2M, int sign) {
    const int64_t M = int64_t{1} << log2M, h = M / 2;
    const double wtemp = sign * std::sin(kPi / double(M));
    const double wpr = -2.0 * wtemp * wtemp;
    const double wpi = sign * std::sin(2.0 * kPi / double(M));
    for (size_t base = 0; base < x.size() / 2; base += M) {
        double wr = 1.0, wi = 0.0;
        for (int64_t k = 0; k < h; ++k) {
            float* a = &x[2 * (base + k)];
            float* b = &x[2 * (base + k + h)];
            const float tr = static_cast<float>(wr * b[0] - wi * b[1]);
            const float ti = static_cast<float>(wr * b[1] + wi * b[0]);
            b[0] = a[0] - tr;
            b[1] = a[1] - ti;
            a[0] += tr;
            a[1] += ti;
            const double wOld = wr;
            wr = wr + (wr * wpr - wi * wpi);
            wi = wi + (wi * wpr + wOld * wpi);
        }
    }
}

// Signed zeros mostly vanish in a whole transform (+0 absorbs -0), so each stage kernel is
// checked on its own: the k = 0 factor is (1, +0) for both signs, never (1, -0).
TEST(ComplexFft, EveryStageKernelMatchesTheRecurrenceOnSignedZeros) {
    const int64_t n = 1024;
    std::mt19937 rng(9);
    std::vector<float> input(2 * n);
    for (auto& v : input)
        v = rng() % 3 == 0 ? 0.5f : (rng() % 2 ? -0.0f : 0.0f);
    for (int sign : {-1, +1}) {
        for (int log2M = 1; log2M <= 10; ++log2M) {
            std::vector<float> expected = input;
            ReferenceStage(expected, log2M, sign);
            std::vector<float> scalar = input;
            const int64_t h = int64_t{1} << (log2M - 1);
            for (int64_t base = 0; base < n; base += 2 * h)
                fft_detail::ButterflyRangeScalar(&scalar[2 * base], &scalar[2 * (base + h)],
                                                 fft_detail::TwiddleTable(log2M), h, sign, true);
            size_t at = 0;
            EXPECT_TRUE(SameBits(expected, scalar, &at))
                << "scalar M=2^" << log2M << " sign " << sign;
            if (!fft_detail::HaveAvx512()) continue;
            if (log2M >= 3) {
                std::vector<float> one = input;
                fft_detail::StagesAvx512(one.data(), n, log2M, log2M, sign);
                EXPECT_TRUE(SameBits(expected, one, &at))
                    << "vector M=2^" << log2M << " sign " << sign;
            }
            if (log2M >= 3 && log2M < 10) {
                std::vector<float> two = input, expected2 = expected;
                ReferenceStage(expected2, log2M + 1, sign);
                fft_detail::StagesAvx512(two.data(), n, log2M, log2M + 1, sign);
                EXPECT_TRUE(SameBits(expected2, two, &at))
                    << "paired M=2^" << log2M << " sign " << sign;
            }
        }
        if (!fft_detail::HaveAvx512()) continue;
        std::vector<float> expected = input, first = input;
        for (int s = 1; s <= 3; ++s)
            ReferenceStage(expected, s, sign);
        fft_detail::FirstStagesAvx512(first.data(), n, sign);
        size_t at = 0;
        EXPECT_TRUE(SameBits(expected, first, &at)) << "first stages, sign " << sign;
    }
}

TEST(ComplexFft, TwiddleTablesMatchTheRecurrenceTheyReplace) {
    // Stage 2^10: table entries equal a freshly run recurrence, and the last one is close to
    // e^{-i pi (M/2-1)/(M/2)}.
    const int log2M = 10;
    const double* t = fft_detail::TwiddleTable(log2M);
    ASSERT_NE(t, nullptr);
    const int64_t half = int64_t{1} << (log2M - 1);
    const double M = 2.0 * half;
    for (int64_t k : {int64_t{0}, int64_t{1}, half / 2, half - 1}) {
        EXPECT_NEAR(fft_detail::TwiddleRe(t, k), std::cos(2 * kPi * k / M), 1e-12);
        EXPECT_NEAR(fft_detail::TwiddleIm(t, k), -std::sin(2 * kPi * k / M), 1e-12);
    }
    EXPECT_EQ(fft_detail::TwiddleTable(fft_detail::kMaxTableLog2 + 1), nullptr);
}

// The watched transform (long transforms that report progress and stop): the same bits as
// ComplexFFT, fractions rising through (0, 1) once per pass, and a poll that says stop ends it.
TEST(ComplexFft, AWatchedTransformGivesTheSameBitsAndStopsWhenAsked) {
    const int64_t n = int64_t{1} << 22;  // four 2^20-point blocks, then two more stages
    const std::vector<float> input = RandomSignal(2 * n, 9);
    for (int sign : {-1, +1}) {
        std::vector<float> expected = input, got = input;
        ComplexFFT(expected.data(), n, sign);
        std::vector<double> fractions;
        EXPECT_TRUE(ComplexFFT(got.data(), n, sign, [&](double f) {
            fractions.push_back(f);
            return true;
        }));
        size_t at = 0;
        EXPECT_TRUE(SameBits(expected, got, &at)) << "first difference at " << at;
        // The bit reversal (1 of 23 passes), then each block (20 passes each over a quarter).
        ASSERT_EQ(fractions.size(), 6u);
        EXPECT_DOUBLE_EQ(fractions[0], 1.0 / 23);
        EXPECT_DOUBLE_EQ(fractions[4], 21.0 / 23);
        EXPECT_DOUBLE_EQ(fractions[5], 22.0 / 23);
        EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    }
    std::vector<float> x = input;
    int polls = 0;
    EXPECT_FALSE(ComplexFFT(x.data(), n, -1, [&](double) { return ++polls < 3; }));
    EXPECT_EQ(polls, 3);
    // Sizes the transform does not run: false, data untouched; small sizes poll once.
    std::vector<float> small = RandomSignal(64, 3);
    const std::vector<float> before = small;
    EXPECT_FALSE(ComplexFFT(small.data(), 12, -1, [](double) { return true; }));
    EXPECT_EQ(small, before);
    polls = 0;
    EXPECT_TRUE(ComplexFFT(small.data(), 32, -1, [&](double) { return ++polls > 0; }));
    EXPECT_EQ(polls, 1);
}

// Eight different frames at once, each against the double-precision reference to single
// precision: whole frames under one window (transposed eight by eight), and frames with and
// without a window and zero padding; the plain and the wide paths give the same bits.
TEST(BatchFft, EveryLaneIsItsOwnTransform) {
    std::mt19937 g(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int n : {8, 64, 1024, 4096})
        for (bool mixed : {false, true}) {
            cBatchFft fft(n), plain(n);
            std::vector<std::vector<float>> I(8, std::vector<float>(n)), Q = I;
            std::vector<float> window(n);
            for (int j = 0; j < n; ++j)
                window[j] = 0.5f + 0.5f * static_cast<float>(j) / n;
            auto count = [&](int lane) { return mixed && lane == 7 ? n / 2 : n; };
            auto windowed = [&](int lane) { return !mixed || lane % 2 == 1; };
            for (int lane = 0; lane < 8; ++lane) {
                for (int j = 0; j < n; ++j) {
                    I[lane][j] = u(g);
                    Q[lane][j] = u(g);
                }
                const float* w = windowed(lane) ? window.data() : nullptr;
                fft.Load(lane, I[lane].data(), Q[lane].data(), w, count(lane));
                plain.Load(lane, I[lane].data(), Q[lane].data(), w, count(lane));
            }
            fft.Run();
            plain.Run(false);
            for (int lane = 0; lane < 8; ++lane) {
                std::vector<cd> x(n);
                for (int j = 0; j < count(lane); ++j)
                    x[j] = cd(I[lane][j], Q[lane][j]) * (windowed(lane) ? double(window[j]) : 1.0);
                const auto X = ReferenceFft(x, -1);
                std::vector<float> p(n), q(n);
                fft.Powers(lane, 1.0f, p.data());
                plain.Powers(lane, 1.0f, q.data());
                const double tolerance = 2e-6 * std::sqrt(double(n)) * std::log2(n);
                for (int k = 0; k < n; ++k) {
                    ASSERT_NEAR(fft.Re(lane, k), X[k].real(), tolerance) << n << " " << mixed;
                    ASSERT_NEAR(fft.Im(lane, k), X[k].imag(), tolerance) << n << " " << mixed;
                    ASSERT_EQ(p[k], q[k]);
                }
            }
        }
}

}  // namespace
