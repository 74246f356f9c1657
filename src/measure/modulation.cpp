#include "measure/modulation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <thread>

#include "dsp/fft.h"

namespace {

using cd = std::complex<double>;
constexpr double kPi = std::numbers::pi;

int SquareSide(Modulation m) {
    switch (m) {
        case Modulation::Qpsk: return 2;
        case Modulation::Qam16: return 4;
        case Modulation::Qam64: return 8;
        case Modulation::Qam256: return 16;
        default: return 0;
    }
}

// The power the carrier recovery raises the symbols to: the smallest that maps every point of
// the constellation onto one phase (or, for square QAM, onto a nonzero mean).
int CarrierPower(Modulation m) {
    if (m == Modulation::Bpsk) return 2;
    if (m == Modulation::Psk8) return 8;
    return 4;
}

// Nearest ideal point, without searching the constellation.
class cDecider {
public:
    explicit cDecider(Modulation m) : side_(SquareSide(m)) {
        if (side_ > 0) {
            step_ = 1.0 / std::sqrt(2.0 * (side_ * side_ - 1) / 3.0);
            minDistance_ = 2 * step_;
        } else {
            phases_ = m == Modulation::Bpsk ? 2 : 8;
            minDistance_ = 2 * std::sin(kPi / phases_);
        }
    }
    cd operator()(cd z) const {
        if (side_ > 0) return {Level(z.real()), Level(z.imag())};
        const double k = std::round(std::arg(z) / (2 * kPi / phases_));
        return std::polar(1.0, k * 2 * kPi / phases_);
    }
    double MinDistance() const { return minDistance_; }

private:
    double Level(double v) const {
        const double a = std::clamp(std::round((v / step_ + side_ - 1) / 2), 0.0, side_ - 1.0);
        return (2 * a - (side_ - 1)) * step_;
    }
    int side_ = 0, phases_ = 0;
    double step_ = 0.0, minDistance_ = 0.0;
};

double Sinc(double x) { return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

// Root raised cosine of unit symbol period at t symbols (its peak 1 − β + 4β/π).
double RootRaisedCosine(double t, double beta) {
    if (t == 0.0) return 1 - beta + 4 * beta / kPi;
    if (beta > 0 && std::abs(std::abs(t) - 1 / (4 * beta)) < 1e-9)
        return beta / std::sqrt(2.0) *
               ((1 + 2 / kPi) * std::sin(kPi / (4 * beta)) +
                (1 - 2 / kPi) * std::cos(kPi / (4 * beta)));
    const double x = 4 * beta * t;
    return (std::sin(kPi * t * (1 - beta)) + x * std::cos(kPi * t * (1 + beta))) /
           (kPi * t * (1 - x * x));
}

// The receive filter as a function of continuous time: root raised cosine over ±16 symbols
// (the matched filter), or a Kaiser-windowed sinc over ±16 samples (band-limited
// interpolation, which keeps the samples themselves at whole instants). Tabulated finely
// enough that linear interpolation between entries stays below -100 dB.
class cReceiveFilter {
public:
    cReceiveFilter(const float* I, const float* Q, int64_t n, double sps, PulseShape shape,
                   double beta)
        : I_(I), Q_(Q), n_(n) {
        const bool matched = shape == PulseShape::RootRaisedCosine;
        halfWidth_ = matched ? 16 * sps : 16.0;
        step_ = halfWidth_ / kHalfTable;
        table_.resize(2 * kHalfTable + 2);
        const double kaiserNorm = std::cyl_bessel_i(0.0, kKaiserBeta);
        for (int i = 0; i <= 2 * kHalfTable; ++i) {
            const double u = (i - kHalfTable) * step_;
            if (matched) {
                table_[static_cast<size_t>(i)] = RootRaisedCosine(u / sps, beta);
            } else {
                const double r = u / halfWidth_;
                table_[static_cast<size_t>(i)] =
                    Sinc(u) * std::cyl_bessel_i(0.0, kKaiserBeta * std::sqrt(1 - r * r)) /
                    kaiserNorm;
            }
        }
        table_.back() = 0.0;
    }
    double HalfWidth() const { return halfWidth_; }
    // The filter's output at t samples (parts of the filter past the ends see zeros).
    cd At(double t) const {
        const int64_t first = std::max<int64_t>(0, static_cast<int64_t>(std::ceil(t - halfWidth_)));
        const int64_t last =
            std::min<int64_t>(n_ - 1, static_cast<int64_t>(std::floor(t + halfWidth_)));
        double re = 0, im = 0;
        const double inverse = 1.0 / step_;
        for (int64_t k = first; k <= last; ++k) {
            const double u = (t - static_cast<double>(k)) * inverse + kHalfTable;
            const int i = std::clamp(static_cast<int>(u), 0, 2 * kHalfTable);
            const double f = u - i;
            const double h =
                table_[static_cast<size_t>(i)] +
                f * (table_[static_cast<size_t>(i) + 1] - table_[static_cast<size_t>(i)]);
            re += I_[k] * h;
            im += Q_[k] * h;
        }
        return {re, im};
    }

    // The filter's taps for an instant fraction (0 … 1) past a whole sample s: taps[j] weighs
    // sample s − Reach() + j.
    int Reach() const { return static_cast<int>(std::ceil(halfWidth_)); }
    void Taps(double fraction, std::vector<double>& taps) const {
        taps.assign(static_cast<size_t>(2 * Reach() + 2), 0.0);
        for (size_t j = 0; j < taps.size(); ++j) {
            const double u = (fraction + Reach() - static_cast<double>(j)) / step_ + kHalfTable;
            if (u < 0 || u > 2 * kHalfTable) continue;
            const int i = static_cast<int>(u);
            taps[j] =
                table_[static_cast<size_t>(i)] +
                (u - i) * (table_[static_cast<size_t>(i) + 1] - table_[static_cast<size_t>(i)]);
        }
    }
    // The output at whole sample s plus the fraction the taps were made for; the same as At
    // within rounding. The taps must lie within the samples.
    bool Inside(int64_t s, size_t taps) const {
        return s - Reach() >= 0 && s - Reach() + static_cast<int64_t>(taps) <= n_;
    }
    cd Apply(int64_t s, const std::vector<double>& taps) const {
        const float* I = I_ + (s - Reach());
        const float* Q = Q_ + (s - Reach());
        double re = 0, im = 0;
        for (size_t j = 0; j < taps.size(); ++j) {
            re += I[j] * taps[j];
            im += Q[j] * taps[j];
        }
        return {re, im};
    }

private:
    static constexpr int kHalfTable = 16384;
    static constexpr double kKaiserBeta = 9.0;
    const float* I_;
    const float* Q_;
    int64_t n_;
    double halfWidth_ = 0.0, step_ = 0.0;
    std::vector<double> table_;
};

// Forward (sign -1) or inverse (+1, unscaled) transform of v, whose size is a power of two.
void Transform(std::vector<cd>& v, int sign) {
    std::vector<float> data(2 * v.size());
    for (size_t k = 0; k < v.size(); ++k) {
        data[2 * k] = static_cast<float>(v[k].real());
        data[2 * k + 1] = static_cast<float>(v[k].imag());
    }
    ComplexFFT(data.data(), static_cast<int64_t>(v.size()), sign);
    for (size_t k = 0; k < v.size(); ++k)
        v[k] = {data[2 * k], data[2 * k + 1]};
}

size_t PowerOfTwoAtLeast(size_t n) {
    size_t p = 8;
    while (p < n)
        p *= 2;
    return p;
}

// The peak of |v|² (v a spectrum of size K) to a fraction of a bin, by a parabola through the
// logarithms of the three bins around it; in bins, within ±K/2.
double PeakBin(const std::vector<cd>& v, size_t* at = nullptr) {
    size_t best = 0;
    for (size_t k = 1; k < v.size(); ++k)
        if (std::norm(v[k]) > std::norm(v[best])) best = k;
    if (at) *at = best;
    const size_t K = v.size();
    const double l = std::log(std::norm(v[(best + K - 1) % K]) + 1e-300);
    const double c = std::log(std::norm(v[best]) + 1e-300);
    const double r = std::log(std::norm(v[(best + 1) % K]) + 1e-300);
    const double denominator = l - 2 * c + r;
    const double delta = denominator < 0 ? std::clamp(0.5 * (l - r) / denominator, -0.5, 0.5) : 0;
    double bin = static_cast<double>(best) + delta;
    if (bin >= K / 2.0) bin -= static_cast<double>(K);
    return bin;
}

// The slope and intercept (radians per index and radians) of the phases of the sums of v over
// blocks of b, unwrapped from block to block and weighted by the sums' magnitudes; the
// phases are taken as they turn within ±π per block.
std::pair<double, double> PhaseLine(const std::vector<cd>& v, size_t b) {
    std::vector<double> x, y, w;
    double previous = 0;
    for (size_t s = 0; s + b <= v.size() || (s == 0 && !v.empty()); s += b) {
        const size_t e = std::min(v.size(), s + b);
        cd sum = 0;
        for (size_t k = s; k < e; ++k)
            sum += v[k];
        double phase = std::arg(sum);
        if (!y.empty()) phase = previous + std::remainder(phase - previous, 2 * kPi);
        previous = phase;
        x.push_back(0.5 * static_cast<double>(s + e - 1));
        y.push_back(phase);
        w.push_back(std::abs(sum));
        if (e == v.size()) break;
    }
    double sw = 0, sx = 0, sy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sw += w[i];
        sx += w[i] * x[i];
        sy += w[i] * y[i];
    }
    if (sw <= 0) return {0.0, 0.0};
    const double mx = sx / sw, my = sy / sw;
    double sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sxx += w[i] * (x[i] - mx) * (x[i] - mx);
        sxy += w[i] * (x[i] - mx) * (y[i] - my);
    }
    const double slope = sxx > 0 ? sxy / sxx : 0.0;
    return {slope, my - slope * mx};
}

// Solves the N × N complex system A·x = y by elimination with partial pivoting; false when
// singular.
template <size_t N>
bool Solve(std::array<std::array<cd, N>, N> A, std::array<cd, N> y, std::array<cd, N>& x) {
    for (size_t c = 0; c < N; ++c) {
        size_t p = c;
        for (size_t r = c + 1; r < N; ++r)
            if (std::abs(A[r][c]) > std::abs(A[p][c])) p = r;
        if (std::abs(A[p][c]) < 1e-300) return false;
        std::swap(A[p], A[c]);
        std::swap(y[p], y[c]);
        for (size_t r = c + 1; r < N; ++r) {
            const cd f = A[r][c] / A[c][c];
            for (size_t k = c; k < N; ++k)
                A[r][k] -= f * A[c][k];
            y[r] -= f * y[c];
        }
    }
    for (size_t c = N; c-- > 0;) {
        cd s = y[c];
        for (size_t k = c + 1; k < N; ++k)
            s -= A[c][k] * x[k];
        x[c] = s / A[c][c];
    }
    return true;
}

// The least-squares fit of u to coefficients times the regressors rows(k) gives.
template <size_t N, typename Rows>
bool FitLeastSquares(const std::vector<cd>& u, Rows rows, std::array<cd, N>& x) {
    std::array<std::array<cd, N>, N> A{};
    std::array<cd, N> y{};
    for (size_t k = 0; k < u.size(); ++k) {
        const std::array<cd, N> r = rows(k);
        for (size_t i = 0; i < N; ++i) {
            for (size_t j = 0; j < N; ++j)
                A[i][j] += std::conj(r[i]) * r[j];
            y[i] += std::conj(r[i]) * u[k];
        }
    }
    return Solve(A, y, x);
}

// v[k]·e^(−j(2π·c·(k + offset) + φ)) for every k, the phasor stepped by a product and set
// exactly every 1024 steps (sines and cosines of every sample would cost more than the rest).
void Unturn(const std::vector<cd>& v, std::vector<cd>& out, double c, double phase,
            double offset = 0.0) {
    out.resize(v.size());
    const cd step = std::polar(1.0, -2 * kPi * c);
    cd p = 1.0;
    for (size_t k = 0; k < v.size(); ++k) {
        if (k % 1024 == 0)
            p = std::polar(1.0, -(2 * kPi * c * (static_cast<double>(k) + offset) + phase));
        out[k] = v[k] * p;
        p *= step;
    }
}

// What carrier recovery and the fit of the symbols to their decisions found.
struct CarrierFit {
    double cyclesPerSymbol = 0.0, phase = 0.0;
    cd a = 1.0, b = 0.0, c = 0.0;
    double lineRatio = 0.0;   // the M-th power line over the mean of its spectrum
    double lineNeeded = 0.0;  // what noise alone stays below
    double errorPower = 0.0;  // mean |error vector|² (constellation power 1)
    std::vector<cd> corrected, decided;
};

// The symbol corrected for the fitted gain, imbalance and offset.
cd Corrected(const CarrierFit& f, cd u) {
    const cd v = u - f.c;
    return (std::conj(f.a) * v - f.b * std::conj(v)) / (std::norm(f.a) - std::norm(f.b));
}

CarrierFit RecoverCarrier(const std::vector<cd>& z, Modulation modulation, double lead) {
    CarrierFit fit;
    const cDecider decide(modulation);
    const int M = CarrierPower(modulation);
    const size_t K = z.size();
    double power = 0;
    for (const cd& v : z)
        power += std::norm(v);
    const double scale = 1.0 / std::sqrt(std::max(power / static_cast<double>(K), 1e-300));
    // |z|²·e^(jMθ): the M-th power of the phase, weighted towards the outer points.
    const size_t L = std::min<size_t>(PowerOfTwoAtLeast(2 * K), size_t{1} << 23);
    std::vector<cd> w(L, 0.0);
    for (size_t k = 0; k < K && k < L; ++k) {
        const cd u = z[k] * scale;
        const double m = std::sqrt(std::norm(u));
        cd v = m > 0 ? u / m : 0.0;
        for (int power = 1; power < M; power *= 2)
            v *= v;
        w[k] = v * (m * m);
    }
    std::vector<cd> spectrum = w;
    Transform(spectrum, -1);
    size_t at = 0;
    const double bin = PeakBin(spectrum, &at);
    double total = 0;
    for (const cd& v : spectrum)
        total += std::norm(v);
    fit.lineRatio = std::norm(spectrum[at]) / (total / static_cast<double>(L));
    fit.lineNeeded = 4 * std::log(static_cast<double>(L));
    // Twice zero-padded, the parabola finds the line within a few hundredths of a turn over the
    // capture; the decisions take it from there.
    const double nu = bin / static_cast<double>(L);
    cd line = 0, ideal = 0;
    std::vector<cd> turned;
    Unturn(std::vector<cd>(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(std::min(K, L))),
           turned, nu, 0.0);
    for (const cd& v : turned)
        line += v;
    for (const cd& p : ConstellationPoints(modulation))
        ideal += std::pow(p / std::abs(p), M) * std::norm(p);
    fit.cyclesPerSymbol = nu / M;
    // Of the M phases that fit, the one that puts the carrier's phase at the capture's first
    // sample (lead symbols before the first one here) nearest none: blind, a rotation of the
    // constellation by 2π/M cannot be told, and this choice gives the imbalance's sign whenever
    // that phase is within π/M of the constellation's.
    const double turn = 2 * kPi * fit.cyclesPerSymbol * lead;
    fit.phase = std::remainder((std::arg(line) - std::arg(ideal)) / M - turn, 2 * kPi / M) + turn;
    fit.a = 1.0 / scale;
    std::vector<cd> u(K);
    fit.corrected.resize(K);
    fit.decided.resize(K);
    for (int round = 0; round < 4; ++round) {
        Unturn(z, u, fit.cyclesPerSymbol, fit.phase);
        for (size_t k = 0; k < K; ++k)
            fit.decided[k] = decide(Corrected(fit, u[k]));
        // Decision-directed: what phase and frequency are left.
        std::vector<cd> q(K);
        for (size_t k = 0; k < K; ++k)
            q[k] = u[k] * std::conj(fit.decided[k]);
        const auto [slope, intercept] = PhaseLine(q, 64);
        fit.cyclesPerSymbol += slope / (2 * kPi);
        fit.phase += intercept;
        Unturn(z, u, fit.cyclesPerSymbol, fit.phase);
        // u = a·d + b·conj(d) + c, least squares (BPSK's d is its own conjugate: no b).
        const std::vector<cd>& d = fit.decided;
        if (modulation == Modulation::Bpsk) {
            std::array<cd, 2> x{};
            if (!FitLeastSquares<2>(
                    u,
                    [&](size_t k) {
                        return std::array<cd, 2>{d[k], 1.0};
                    },
                    x))
                break;
            fit.a = x[0];
            fit.c = x[1];
        } else {
            std::array<cd, 3> x{};
            if (!FitLeastSquares<3>(
                    u,
                    [&](size_t k) {
                        return std::array<cd, 3>{d[k], std::conj(d[k]), 1.0};
                    },
                    x) ||
                std::norm(x[0]) <= std::norm(x[1]))
                break;
            fit.a = x[0];
            fit.b = x[1];
            fit.c = x[2];
        }
    }
    double error = 0;
    for (size_t k = 0; k < K; ++k) {
        fit.corrected[k] = Corrected(fit, u[k]);
        error += std::norm(fit.corrected[k] - fit.decided[k]);
    }
    fit.errorPower = error / static_cast<double>(K);
    return fit;
}

// The symbols at t0, t0 + T, … (count of them).
// (Long runs on two cores.)
std::vector<cd> SymbolsAt(const cReceiveFilter& filter, double t0, double T, size_t count) {
    std::vector<cd> z(count);
    // Where the instants fall on a few fractions of a sample (a whole or simple ratio of
    // samples a symbol), each fraction's taps are made once.
    const auto run = [&](size_t from, size_t to) {
        std::vector<std::pair<int64_t, std::vector<double>>> made;
        for (size_t k = from; k < to; ++k) {
            const double t = t0 + T * static_cast<double>(k);
            const double whole = std::floor(t);
            const auto key = static_cast<int64_t>(std::llround((t - whole) * 1048576.0));
            const auto s = static_cast<int64_t>(whole) + key / 1048576;
            size_t at = 0;
            while (at < made.size() && made[at].first != key)
                ++at;
            if (at == made.size()) {
                if (made.size() >= 64) {
                    z[k] = filter.At(t);
                    continue;
                }
                made.emplace_back(key, std::vector<double>());
                filter.Taps(static_cast<double>(key % 1048576) / 1048576.0, made.back().second);
            }
            const std::vector<double>& taps = made[at].second;
            z[k] = filter.Inside(s, taps.size()) ? filter.Apply(s, taps) : filter.At(t);
        }
    };
    if (count < 8192) {
        run(0, count);
    } else {
        std::thread other(run, count / 2, count);
        run(0, count / 2);
        other.join();
    }
    return z;
}

}  // namespace

std::vector<std::complex<double>> ConstellationPoints(Modulation m) {
    std::vector<cd> points;
    if (const int side = SquareSide(m); side > 0) {
        const double step = 1.0 / std::sqrt(2.0 * (side * side - 1) / 3.0);
        for (int i = 0; i < side; ++i)
            for (int q = 0; q < side; ++q)
                points.emplace_back((2 * i - (side - 1)) * step, (2 * q - (side - 1)) * step);
    } else {
        const int count = m == Modulation::Bpsk ? 2 : 8;
        for (int k = 0; k < count; ++k)
            points.push_back(std::polar(1.0, 2 * kPi * k / count));
    }
    return points;
}

bool ParseModulation(const std::string& name, Modulation& m) {
    static const std::array<std::pair<const char*, Modulation>, 10> names = {{
        {"bpsk", Modulation::Bpsk},
        {"qpsk", Modulation::Qpsk},
        {"8psk", Modulation::Psk8},
        {"psk8", Modulation::Psk8},
        {"qam16", Modulation::Qam16},
        {"16qam", Modulation::Qam16},
        {"qam64", Modulation::Qam64},
        {"64qam", Modulation::Qam64},
        {"qam256", Modulation::Qam256},
        {"256qam", Modulation::Qam256},
    }};
    for (const auto& [text, value] : names)
        if (name == text) {
            m = value;
            return true;
        }
    return false;
}

const char* ModulationName(Modulation m) {
    switch (m) {
        case Modulation::Bpsk: return "BPSK";
        case Modulation::Qpsk: return "QPSK";
        case Modulation::Psk8: return "8PSK";
        case Modulation::Qam16: return "16QAM";
        case Modulation::Qam64: return "64QAM";
        case Modulation::Qam256: return "256QAM";
    }
    return "";
}

std::string AnalyseModulation(const float* I, const float* Q, int64_t n, double sampleRate,
                              const ModulationSettings& s, ModulationResult& result,
                              const WorkControl& control) {
    if (!(sampleRate > 0)) return "the sample rate is not known";
    if (!(s.symbolRateHz > 0) || s.symbolRateHz > sampleRate)
        return "the symbol rate must be above 0 and at most the sample rate";
    if (s.symbolRateHz < sampleRate / 1000)
        return "the symbol rate must be at least 1/1000 of the sample rate";
    if (s.shape != PulseShape::None && !(s.rollOff > 0 && s.rollOff <= 1))
        return "the roll-off must be above 0 and at most 1";
    const double T = sampleRate / s.symbolRateHz;  // samples per symbol
    const cReceiveFilter filter(I, Q, n, T, s.shape, s.rollOff);
    // Symbols whose filter lies wholly inside the capture.
    const double first = std::min(filter.HalfWidth(), static_cast<double>(n - 1));
    const double span = static_cast<double>(n - 1) - 2 * first;
    const int64_t available = span >= 0 ? static_cast<int64_t>(std::floor(span / T)) : 0;
    if (available < 100)
        return "the capture holds " + std::to_string(std::max<int64_t>(available, 0)) +
               " whole symbols; the analysis needs at least 100";
    control.Progress(5);

    // Timing: the symbol-rate line of |y|², four points a symbol, over a part of the capture.
    const size_t part = static_cast<size_t>(std::min<int64_t>(available, 20000));
    double t0 = first;
    {
        cd line = 0;
        double total = 0;
        for (size_t m = 0; m < 4 * part; ++m) {
            const double p = std::norm(filter.At(first + T * static_cast<double>(m) / 4));
            line += p * std::polar(1.0, -kPi / 2 * static_cast<double>(m % 4));
            total += p;
        }
        const double strength = total > 0 ? std::abs(line) / total : 0.0;
        if (strength > 0.02) {
            t0 = first + std::fmod(-std::arg(line) / (2 * kPi) * T + T, T);
        } else {
            // No line (an unshaped or sinc-like pulse): the instant of least error.
            double best = INFINITY;
            for (int c = 0; c < 8; ++c) {
                const double t = first + T * c / 8;
                const double e =
                    RecoverCarrier(SymbolsAt(filter, t, T, part), s.modulation, t / T).errorPower;
                if (e < best) {
                    best = e;
                    t0 = t;
                }
            }
        }
    }
    if (control.StopRequested()) return "stopped";
    control.Progress(25);
    // Refined to the least error vector power: a parabola through three instants, twice.
    const size_t shortPart = std::min<size_t>(part, 5000);
    for (const double delta : {0.08 * T, 0.02 * T}) {
        double e[3];
        for (int i = 0; i < 3; ++i)
            e[i] = RecoverCarrier(SymbolsAt(filter, t0 + (i - 1) * delta, T, shortPart),
                                  s.modulation, (t0 + (i - 1) * delta) / T)
                       .errorPower;
        const double curvature = e[0] - 2 * e[1] + e[2];
        if (curvature > 0) t0 += std::clamp(0.5 * (e[0] - e[2]) / curvature, -1.0, 1.0) * delta;
        if (control.StopRequested()) return "stopped";
    }
    if (t0 < first) t0 += T;
    control.Progress(50);

    // Memory grows with the symbols (about 100 bytes each): a long capture is analysed over its
    // first kMaxAnalysedSymbols.
    const size_t K = std::min<size_t>(
        kMaxAnalysedSymbols,
        static_cast<size_t>(std::floor((static_cast<double>(n - 1) - first - t0) / T)) + 1);
    const std::vector<cd> z = SymbolsAt(filter, t0, T, K);
    if (control.StopRequested()) return "stopped";
    control.Progress(80);
    CarrierFit fit = RecoverCarrier(z, s.modulation, t0 / T);
    if (s.equalise && fit.lineRatio >= fit.lineNeeded) {
        // Nine taps half a symbol apart, least squares against the decisions, carrier removed
        // at each tap's own instant; then carrier and fit again on what it gives.
        constexpr size_t kTaps = 9;
        std::vector<std::array<cd, kTaps>> taps(K);
        for (size_t k = 0; k < K; ++k)
            for (size_t j = 0; j < kTaps; ++j) {
                const double at = static_cast<double>(k) + (static_cast<double>(j) - 4) / 2;
                taps[k][j] = filter.At(t0 + at * T) *
                             std::polar(1.0, -(2 * kPi * fit.cyclesPerSymbol * at + fit.phase));
            }
        std::array<cd, kTaps> w{};
        if (control.StopRequested()) return "stopped";
        if (FitLeastSquares<kTaps>(
                fit.decided, [&](size_t k) { return taps[k]; }, w)) {
            std::vector<cd> equalised(K);
            for (size_t k = 0; k < K; ++k)
                for (size_t j = 0; j < kTaps; ++j)
                    equalised[k] += w[j] * taps[k][j];
            const double cycles = fit.cyclesPerSymbol;
            fit = RecoverCarrier(equalised, s.modulation, t0 / T);
            fit.cyclesPerSymbol += cycles;
        }
    }
    if (!std::isfinite(fit.errorPower) || !std::isfinite(fit.lineRatio))
        return "the samples hold values that are not finite numbers";
    if (fit.lineRatio < fit.lineNeeded)
        return "the carrier could not be found: no " + std::string(ModulationName(s.modulation)) +
               " symbols at this symbol rate";
    const cDecider decide(s.modulation);
    // Beyond this the decisions go wrong on more than about one symbol axis in 2000 and the
    // error reads low: half the distance to a neighbour is under 3.5 deviations of the noise.
    const double reliablePower = decide.MinDistance() * decide.MinDistance() / 24;
    if (fit.errorPower > reliablePower) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "the symbols cannot be decided reliably: the error vector (%.1f %% rms) is "
                      "too large for %s; measure against a reference instead",
                      100 * std::sqrt(fit.errorPower), ModulationName(s.modulation));
        return text;
    }

    result = {};
    result.symbols = static_cast<int64_t>(K);
    result.firstSymbolSample = t0;
    result.timingOffsetSymbols = std::remainder(t0 / T, 1.0);
    result.frequencyErrorHz = fit.cyclesPerSymbol * s.symbolRateHz;
    const cd uI = fit.a + fit.b, uQ = fit.a - fit.b;
    // BPSK has no Q axis to compare.
    const bool axes = s.modulation != Modulation::Bpsk;
    result.gainImbalanceDb = axes ? 20 * std::log10(std::abs(uI) / std::abs(uQ)) : NAN;
    result.quadratureErrorDeg = axes ? std::arg(uQ / uI) * 180 / kPi : NAN;
    result.originOffsetDb =
        10 * std::log10(std::norm(fit.c) / (std::norm(fit.a) + std::norm(fit.b)) + 1e-30);
    double error = 0, ideal = 0, magnitude = 0, phase = 0, peak = 0;
    result.measured.resize(K);
    result.ideal.resize(K);
    result.evmPercent.resize(K);
    for (size_t k = 0; k < K; ++k) {
        const cd c = fit.corrected[k], d = fit.decided[k];
        const double e = std::norm(c - d);
        error += e;
        ideal += std::norm(d);
        magnitude += (std::abs(c) - std::abs(d)) * (std::abs(c) - std::abs(d));
        const double p = std::arg(c * std::conj(d));
        phase += p * p;
        result.measured[k] = std::complex<float>(c);
        result.ideal[k] = std::complex<float>(d);
        result.evmPercent[k] = static_cast<float>(100 * std::sqrt(e));
        if (e > peak) {
            peak = e;
            result.evmPeakSymbol = static_cast<int64_t>(k);
        }
    }
    const double count = static_cast<double>(K);
    result.evmRmsPercent = 100 * std::sqrt(error / count);
    result.evmRmsDb = 10 * std::log10(error / count + 1e-30);
    result.evmPeakPercent = 100 * std::sqrt(peak);
    result.merDb = 10 * std::log10(ideal / std::max(error, 1e-300));
    result.magnitudeErrorRmsPercent = 100 * std::sqrt(magnitude / count);
    result.phaseErrorRmsDeg = std::sqrt(phase / count) * 180 / kPi;
    control.Progress(100);
    return "";
}

namespace {

// The capture's samples from first, count of them, as complex numbers turned back by the
// frequency f (cycles per sample, counted from sample 0).
std::vector<cd> Turned(const float* I, const float* Q, int64_t first, int64_t count, double f) {
    std::vector<cd> v(static_cast<size_t>(count));
    for (int64_t k = 0; k < count; ++k)
        v[static_cast<size_t>(k)] = cd(I[first + k], Q[first + k]) *
                                    std::polar(1.0, -2 * kPi * f * static_cast<double>(first + k));
    return v;
}

// Power spectrum averaged over Hann-windowed frames of W points (up to 256 frames spread over
// the samples), bins in transform order.
std::vector<double> AveragedSpectrum(const float* I, const float* Q, int64_t n, size_t W) {
    std::vector<double> sum(W, 0.0);
    const int64_t frames =
        std::min<int64_t>(256, std::max<int64_t>(1, n / static_cast<int64_t>(W)));
    const int64_t stride = frames > 1 ? (n - static_cast<int64_t>(W)) / (frames - 1) : 0;
    std::vector<cd> v(W);
    for (int64_t f = 0; f < frames; ++f) {
        const int64_t s = f * stride;
        for (size_t k = 0; k < W; ++k) {
            const double w = 0.5 - 0.5 * std::cos(2 * kPi * static_cast<double>(k) / W);
            v[k] = cd(I[s + static_cast<int64_t>(k)], Q[s + static_cast<int64_t>(k)]) * w;
        }
        Transform(v, -1);
        for (size_t k = 0; k < W; ++k)
            sum[k] += std::norm(v[k]);
    }
    return sum;
}

// Frequency of x over r (cycles per sample) from the shift that best lines up their spectra,
// within a quarter of the band; 0 unless a shift lines them up clearly better than none.
double SpectralShift(const float* xI, const float* xQ, int64_t n, const float* rI, const float* rQ,
                     int64_t m) {
    size_t W = 64;
    while (W < 4096 && static_cast<int64_t>(2 * W) <= std::min(n, m))
        W *= 2;
    const std::vector<double> X = AveragedSpectrum(xI, xQ, n, W);
    const std::vector<double> R = AveragedSpectrum(rI, rQ, m, W);
    const int reach = static_cast<int>(W / 4);
    std::vector<double> c(static_cast<size_t>(2 * reach + 1), 0.0);
    for (int s = -reach; s <= reach; ++s) {
        double sum = 0;
        for (size_t k = 0; k < W; ++k)
            sum += X[(k + W + static_cast<size_t>(s + static_cast<int>(W))) % W] * R[k];
        c[static_cast<size_t>(s + reach)] = sum;
    }
    const size_t best = static_cast<size_t>(std::max_element(c.begin(), c.end()) - c.begin());
    if (c[best] < 1.05 * c[static_cast<size_t>(reach)]) return 0.0;
    double delta = 0;
    if (best > 0 && best + 1 < c.size()) {
        const double l = c[best - 1], m0 = c[best], r = c[best + 1];
        if (l - 2 * m0 + r < 0) delta = std::clamp(0.5 * (l - r) / (l - 2 * m0 + r), -0.5, 0.5);
    }
    return (static_cast<double>(best) - reach + delta) / static_cast<double>(W);
}

// Signed frequency of bin k of a transform of P points, in cycles per sample.
double BinFrequency(size_t k, size_t P) {
    return (k < P / 2 ? static_cast<double>(k) : static_cast<double>(k) - static_cast<double>(P)) /
           static_cast<double>(P);
}

// The reference's spectrum, zero-padded to P points (room for its length and the capture's
// block), computed once: every delayed copy and the lag search start from it.
class cReferenceSpectrum {
public:
    cReferenceSpectrum(const float* I, const float* Q, int64_t m, int64_t room) : m_(m) {
        spectrum_.assign(PowerOfTwoAtLeast(static_cast<size_t>(m + room)), 0.0);
        for (int64_t k = 0; k < m; ++k)
            spectrum_[static_cast<size_t>(k)] = cd(I[k], Q[k]);
        Transform(spectrum_, -1);
    }
    size_t Size() const { return spectrum_.size(); }
    const std::vector<cd>& Spectrum() const { return spectrum_; }
    // r delayed by D samples (r(k − D), band-limited, zeros beyond its ends) at k = from …
    // from + count − 1.
    std::vector<cd> Delayed(double D, int64_t from, int64_t count) const {
        const size_t P = spectrum_.size();
        const double whole = std::floor(D), fraction = D - whole;
        std::vector<cd> v(P);
        for (size_t k = 0; k < P; ++k)
            v[k] = spectrum_[k] * std::polar(1.0 / static_cast<double>(P),
                                             -2 * kPi * BinFrequency(k, P) * fraction);
        Transform(v, +1);
        std::vector<cd> out(static_cast<size_t>(count), 0.0);
        for (int64_t k = 0; k < count; ++k) {
            const int64_t j = from + k - static_cast<int64_t>(whole);
            if (j >= 0 && j < m_) out[static_cast<size_t>(k)] = v[static_cast<size_t>(j)];
        }
        return out;
    }

private:
    int64_t m_;
    std::vector<cd> spectrum_;
};

// The delay of x behind y (both count samples, lined up to within a sample) to a fraction of a
// sample, from the slope of the phase of their cross spectrum.
double FractionalDelay(const std::vector<cd>& x, const std::vector<cd>& y) {
    const size_t P = PowerOfTwoAtLeast(x.size());
    std::vector<cd> X(P, 0.0), Y(P, 0.0);
    std::copy(x.begin(), x.end(), X.begin());
    std::copy(y.begin(), y.end(), Y.begin());
    Transform(X, -1);
    Transform(Y, -1);
    cd mean = 0;
    for (size_t k = 0; k < P; ++k) {
        X[k] *= std::conj(Y[k]);
        mean += X[k];
    }
    const cd unturn = std::polar(1.0, -std::arg(mean));
    double sxy = 0, sxx = 0;
    for (size_t k = 0; k < P; ++k) {
        const double w = std::abs(X[k]), f = BinFrequency(k, P);
        sxy += w * f * std::arg(X[k] * unturn);
        sxx += w * f * f;
    }
    return sxx > 0 ? -sxy / sxx / (2 * kPi) : 0.0;
}

}  // namespace

std::string MeasureEvmAgainstReference(const float* xI, const float* xQ, int64_t n, const float* rI,
                                       const float* rQ, int64_t m, double sampleRate,
                                       ReferenceEvmResult& result, const WorkControl& control) {
    constexpr int64_t kEnds = 64;  // left out at each end of the overlap: the delay's ringing
    if (!(sampleRate > 0)) return "the sample rate is not known";
    // Memory grows with the samples (the reference's padded spectrum and the aligned copies):
    // the first kMaxComparedSamples of each are compared.
    n = std::min(n, kMaxComparedSamples);
    m = std::min(m, kMaxComparedSamples);
    if (n < 4 * kEnds || m < 4 * kEnds)
        return "the capture and the reference need at least " + std::to_string(4 * kEnds) +
               " samples each";
    // Frequency from the spectra's shapes, then the lag from a block of the capture.
    double f = SpectralShift(xI, xQ, n, rI, rQ, m);
    control.Progress(10);
    const int64_t L = std::min<int64_t>(n, 8192);
    const int64_t start = (n - L) / 2;
    const cReferenceSpectrum spectrum(rI, rQ, m, std::max<int64_t>(L, 256));
    const size_t P = spectrum.Size();
    std::vector<cd> a(P, 0.0);
    const std::vector<cd> block = Turned(xI, xQ, start, L, f);
    std::copy(block.begin(), block.end(), a.begin());
    Transform(a, -1);
    for (size_t k = 0; k < P; ++k)
        a[k] = std::conj(a[k]) * spectrum.Spectrum()[k];
    Transform(a, +1);  // a[j]: block against the reference from j
    size_t at = 0;
    for (size_t k = 1; k < P; ++k)
        if (std::norm(a[k]) > std::norm(a[at])) at = k;
    const int64_t j = at < P - static_cast<size_t>(L)
                          ? static_cast<int64_t>(at)
                          : static_cast<int64_t>(at) - static_cast<int64_t>(P);
    int64_t lag = start - j;  // capture sample k holds reference sample k − lag
    if (control.StopRequested()) return "stopped";
    control.Progress(30);
    const int64_t from = std::max<int64_t>(0, lag) + kEnds;
    const int64_t to = std::min<int64_t>(n, lag + m) - kEnds;
    if (to - from < 2 * kEnds) return "the capture and the reference overlap by too few samples";
    const int64_t count = to - from;
    // Frequency from the phase of their product, then the delay to a fraction of a sample,
    // twice over; then phase and gain.
    double D = static_cast<double>(lag);
    std::vector<cd> x, y;
    for (int round = 0; round < 2; ++round) {
        x = Turned(xI, xQ, from, count, f);
        y = spectrum.Delayed(D, from, count);
        std::vector<cd> q(static_cast<size_t>(count));
        for (size_t k = 0; k < q.size(); ++k)
            q[k] = x[k] * std::conj(y[k]);
        if (round == 0) {
            // Coarse first: the product's spectrum (summed over short blocks when long).
            const size_t sum = std::max<size_t>(1, q.size() / (size_t{1} << 20));
            std::vector<cd> s(PowerOfTwoAtLeast(2 * (q.size() / sum + 1)), 0.0);
            for (size_t k = 0; k < q.size(); ++k)
                s[k / sum] += q[k];
            Transform(s, -1);
            f += PeakBin(s) / static_cast<double>(s.size()) / static_cast<double>(sum);
            x = Turned(xI, xQ, from, count, f);
            for (size_t k = 0; k < q.size(); ++k)
                q[k] = x[k] * std::conj(y[k]);
        }
        f += PhaseLine(q, 256).first / (2 * kPi);
        // The delay from the middle 2^18 samples at most: plenty for a fraction of a sample.
        const size_t middle = std::min<size_t>(x.size(), size_t{1} << 18);
        const size_t skip = (x.size() - middle) / 2;
        const std::vector<cd> xm =
            Turned(xI, xQ, from + static_cast<int64_t>(skip), static_cast<int64_t>(middle), f);
        const std::vector<cd> ym(y.begin() + static_cast<std::ptrdiff_t>(skip),
                                 y.begin() + static_cast<std::ptrdiff_t>(skip + middle));
        D += FractionalDelay(xm, ym);
        if (control.StopRequested()) return "stopped";
        control.Progress(40 + 20 * round);
    }
    x = Turned(xI, xQ, from, count, f);
    y = spectrum.Delayed(D, from, count);
    cd xy = 0;
    double yy = 0;
    for (size_t k = 0; k < x.size(); ++k) {
        xy += x[k] * std::conj(y[k]);
        yy += std::norm(y[k]);
    }
    if (!(yy > 0)) return "the reference is silent where it overlaps the capture";
    const cd g = xy / yy;
    result = {};
    result.samples = count;
    result.firstSample = from;
    result.delaySamples = D;
    result.frequencyOffsetHz = f * sampleRate;
    result.phaseDeg = std::arg(g) * 180 / kPi;
    result.gainDb = 20 * std::log10(std::abs(g) + 1e-300);
    double error = 0, reference = 0, peak = 0;
    for (size_t k = 0; k < x.size(); ++k) {
        const double e = std::norm(x[k] - g * y[k]);
        error += e;
        reference += std::norm(g * y[k]);
        if (e > peak) {
            peak = e;
            result.evmPeakSample = from + static_cast<int64_t>(k);
        }
    }
    if (!std::isfinite(error) || !std::isfinite(reference))
        return "the samples hold values that are not finite numbers";
    if (!(reference > 0)) return "the reference is silent where it overlaps the capture";
    const double meanReference = reference / static_cast<double>(count);
    result.evmRmsPercent = 100 * std::sqrt(error / reference);
    result.evmRmsDb = 10 * std::log10(error / reference + 1e-30);
    result.evmPeakPercent = 100 * std::sqrt(peak / meanReference);
    result.blockSamples = std::max<int64_t>(1, count / 4096);
    for (int64_t s = 0; s < count; s += result.blockSamples) {
        const int64_t e = std::min(count, s + result.blockSamples);
        double sum = 0;
        for (int64_t k = s; k < e; ++k)
            sum += std::norm(x[static_cast<size_t>(k)] - g * y[static_cast<size_t>(k)]);
        result.evmPercentPerBlock.push_back(
            static_cast<float>(100 * std::sqrt(sum / static_cast<double>(e - s) / meanReference)));
    }
    control.Progress(100);
    return "";
}
