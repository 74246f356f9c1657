#include "dsp/remez.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// One frequency of the dense grid, with what the response should be there and how much its
// error counts (both already divided by / multiplied with cos(πf) for even tap counts).
struct GridPoint {
    double f, x, desired, weight;
};

// The response is a cosine polynomial in x = cos 2πf, interpolated through r points in
// barycentric form: exact at the points, stable between them.
class Interpolant {
public:
    Interpolant(const std::vector<double>& x, const std::vector<double>& y) : x_(x), y_(y) {
        const size_t m = x.size();
        beta_.assign(m, 1.0);
        for (size_t k = 0; k < m; ++k) {
            double product = 1.0;
            for (size_t j = 0; j < m; ++j)
                if (j != k) product *= x[k] - x[j];
            beta_[k] = 1.0 / product;
        }
    }
    double operator()(double x) const {
        double num = 0.0, den = 0.0;
        for (size_t k = 0; k < x_.size(); ++k) {
            const double d = x - x_[k];
            if (d == 0.0) return y_[k];
            const double t = beta_[k] / d;
            num += t * y_[k];
            den += t;
        }
        return num / den;
    }

private:
    std::vector<double> x_, y_, beta_;
};

bool ValidBands(const std::vector<RemezBand>& bands) {
    double previousHigh = -1.0;
    for (const RemezBand& b : bands) {
        if (!(b.low >= 0.0 && b.low < b.high && b.high <= 0.5 && b.low > previousHigh &&
              std::isfinite(b.gain) && b.weight > 0.0 && std::isfinite(b.weight)))
            return false;
        previousHigh = b.high;
    }
    return !bands.empty();
}

// The local extrema of the weighted error within each band (band edges count), reduced to an
// alternating sequence (of runs of one sign the largest stays) of at most `wanted` points
// (the smaller of the two ends goes first).
std::vector<int> Extrema(const std::vector<double>& error, const std::vector<int>& bandStart,
                         size_t wanted) {
    std::vector<int> found;
    for (size_t b = 0; b + 1 < bandStart.size(); ++b) {
        const int s = bandStart[b], e = bandStart[b + 1] - 1;
        for (int i = s; i <= e; ++i) {
            const double v = error[static_cast<size_t>(i)];
            if (v == 0.0) continue;
            const double left = i > s ? error[static_cast<size_t>(i - 1)] : v;
            const double right = i < e ? error[static_cast<size_t>(i + 1)] : v;
            if ((v > 0 && v >= left && v >= right) || (v < 0 && v <= left && v <= right))
                found.push_back(i);
        }
    }
    std::vector<int> alternating;
    for (int i : found) {
        const double v = error[static_cast<size_t>(i)];
        if (!alternating.empty() &&
            (error[static_cast<size_t>(alternating.back())] > 0) == (v > 0)) {
            if (std::fabs(v) > std::fabs(error[static_cast<size_t>(alternating.back())]))
                alternating.back() = i;
        } else {
            alternating.push_back(i);
        }
    }
    while (alternating.size() > wanted) {
        const double first = std::fabs(error[static_cast<size_t>(alternating.front())]);
        const double last = std::fabs(error[static_cast<size_t>(alternating.back())]);
        if (first < last)
            alternating.erase(alternating.begin());
        else
            alternating.pop_back();
    }
    return alternating;
}

}  // namespace

RemezResult RemezDesign(int n, const std::vector<RemezBand>& bands, int density,
                        int maxIterations) {
    RemezResult result;
    if (n < 3 || n > 1024 || density < 1 || maxIterations < 1 || !ValidBands(bands)) return result;
    const bool odd = n % 2 == 1;
    const size_t r = static_cast<size_t>(n / 2 + (odd ? 1 : 0));  // cosine terms

    // The dense grid, band by band. An even count has a zero at fs/2 (the response carries a
    // factor cos πf), so the grid stops just short of it.
    std::vector<GridPoint> grid;
    std::vector<int> bandStart;
    const double step = 0.5 / (static_cast<double>(r) * density);
    for (const RemezBand& b : bands) {
        bandStart.push_back(static_cast<int>(grid.size()));
        const double high = !odd && b.high > 0.5 - step ? 0.5 - step : b.high;
        if (high <= b.low) continue;
        const int points = std::max(
            2, static_cast<int>(2.0 * static_cast<double>(r) * density * (high - b.low) + 0.5));
        for (int i = 0; i < points; ++i) {
            const double f = b.low + (high - b.low) * i / (points - 1);
            const double c = odd ? 1.0 : std::cos(kPi * f);
            grid.push_back({f, std::cos(2.0 * kPi * f), b.gain / c, b.weight * c});
        }
    }
    bandStart.push_back(static_cast<int>(grid.size()));
    if (grid.size() < r + 1) return result;

    // Start from equally spaced grid points.
    std::vector<int> extremal(r + 1);
    for (size_t k = 0; k <= r; ++k)
        extremal[k] = static_cast<int>(k * (grid.size() - 1) / r);

    std::vector<double> error(grid.size());
    std::vector<double> x(r + 1), y(r);
    double delta = 0.0;
    auto solve = [&] {
        // δ from all r + 1 points; the response through the first r of them.
        for (size_t k = 0; k <= r; ++k)
            x[k] = grid[static_cast<size_t>(extremal[k])].x;
        double num = 0.0, den = 0.0;
        for (size_t k = 0; k <= r; ++k) {
            double product = 1.0;
            for (size_t j = 0; j <= r; ++j)
                if (j != k) product *= x[k] - x[j];
            const double a = 1.0 / product;
            const GridPoint& g = grid[static_cast<size_t>(extremal[k])];
            num += a * g.desired;
            den += a * (k % 2 == 0 ? 1.0 : -1.0) / g.weight;
        }
        delta = num / den;
        for (size_t k = 0; k < r; ++k) {
            const GridPoint& g = grid[static_cast<size_t>(extremal[k])];
            y[k] = g.desired - (k % 2 == 0 ? 1.0 : -1.0) * delta / g.weight;
        }
        return Interpolant(std::vector<double>(x.begin(), x.begin() + static_cast<long>(r)), y);
    };

    Interpolant response = solve();
    double largestError = 0.0;
    for (int iteration = 1; iteration <= maxIterations; ++iteration) {
        result.iterations = iteration;
        largestError = 0.0;
        for (size_t i = 0; i < grid.size(); ++i) {
            error[i] = grid[i].weight * (grid[i].desired - response(grid[i].x));
            largestError = std::max(largestError, std::fabs(error[i]));
        }
        const std::vector<int> next = Extrema(error, bandStart, r + 1);
        if (next.size() < r + 1) {
            // The exchange broke down: keep the last response. When δ has sunk to double
            // precision and the error is already below 1e-6 (-120 dB) everywhere, the extrema
            // are rounding noise: that design is as settled as this exchange can make it.
            if (std::fabs(delta) < 1e-12 && largestError < 1e-6)
                result.converged = result.atPrecision = true;
            break;
        }
        if (next == extremal) {
            result.converged = true;
            break;
        }
        extremal = next;
        response = solve();
        if (!std::isfinite(delta)) return RemezResult{};
    }

    // Taps by sampling the zero-phase response at n equally spaced frequencies.
    const double centre = (n - 1) / 2.0;
    const int samples = odd ? (n - 1) / 2 : n / 2 - 1;
    std::vector<double> H(static_cast<size_t>(samples) + 1);
    for (int k = 0; k <= samples; ++k) {
        const double f = static_cast<double>(k) / n;
        H[static_cast<size_t>(k)] =
            response(std::cos(2.0 * kPi * f)) * (odd ? 1.0 : std::cos(kPi * f));
    }
    result.taps.resize(static_cast<size_t>(n));
    for (int m = 0; m < n; ++m) {
        double sum = H[0];
        for (int k = 1; k <= samples; ++k)
            sum += 2.0 * H[static_cast<size_t>(k)] * std::cos(2.0 * kPi * k * (m - centre) / n);
        result.taps[static_cast<size_t>(m)] = sum / n;
    }
    for (double t : result.taps)
        if (!std::isfinite(t)) return RemezResult{};
    result.deviation = std::fabs(delta);
    if (result.atPrecision) {
        // The interpolant is as rough as δ here: the taps themselves say what was achieved.
        result.deviation = 0.0;
        for (const GridPoint& g : grid) {
            double h = 0.0;
            for (int m = 0; m < n; ++m)
                h += result.taps[static_cast<size_t>(m)] * std::cos(2.0 * kPi * g.f * (m - centre));
            const double c = odd ? 1.0 : std::cos(kPi * g.f);
            result.deviation =
                std::max(result.deviation, std::fabs(g.weight * (g.desired - h / c)));
        }
    }
    for (size_t k = 0; k <= r; ++k) {
        result.extremalFrequencies.push_back(grid[static_cast<size_t>(extremal[k])].f);
        result.extremalSigns.push_back((k % 2 == 0) == (delta > 0) ? 1 : -1);
    }
    return result;
}

LowPassFigures MeasureLowPass(const std::vector<double>& taps, double pass, double stop) {
    LowPassFigures figures;
    if (taps.empty()) return figures;
    const double centre = (taps.size() - 1) / 2.0;
    const int points = 32 * static_cast<int>(taps.size());
    double passMax = 0.0, passMin = 1e300, stopMax = 0.0;
    for (int i = 0; i <= points; ++i) {
        const double f = 0.5 * i / points;
        if (f > pass && f < stop) continue;
        double h = 0.0;
        for (size_t m = 0; m < taps.size(); ++m)
            h += taps[m] * std::cos(2.0 * kPi * f * (static_cast<double>(m) - centre));
        const double g = std::fabs(h);
        if (f <= pass) {
            passMax = std::max(passMax, g);
            passMin = std::min(passMin, g);
        } else {
            stopMax = std::max(stopMax, g);
        }
    }
    figures.passbandRippleDb = passMin > 0.0 ? 20.0 * std::log10(passMax / passMin) : 1e300;
    figures.stopbandAttenuationDb = -20.0 * std::log10(stopMax + 1e-300);
    return figures;
}
