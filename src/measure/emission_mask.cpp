#include "measure/emission_mask.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kMHz = 1e6, kKHz = 1e3;

int RoundHalfAway(double v) { return static_cast<int>(v < 0 ? v - 0.5 : v + 0.5); }

// Limit levels T0 .. T9 (dBm) of mask 5 by channel bandwidth, for distances from the channel
// edge of 0-1, 1-2.5, 2.5-2.8, 2.8-5, 5-6, 6-10, 10-15, 15-20, 20-25 MHz and beyond 25 MHz.
const double* Mask5Levels(int bandwidthMHz) {
    static const double k3[10] = {-13, -10, -10, -10, -25, -30, -30, -30, -30, -30};
    static const double k5[10] = {-15, -10, -10, -10, -13, -25, -30, -30, -30, -30};
    static const double k10[10] = {-18, -10, -10, -10, -13, -13, -25, -25, -30, -30};
    static const double k15[10] = {-20, -10, -10, -10, -13, -13, -13, -25, -30, -30};
    static const double k20[10] = {-21, -10, -10, -10, -13, -13, -13, -13, -25, -30};
    static const double kOther[10] = {-10, -10, -25, -30, -30, -30, -30, -30, -30, -30};
    switch (bandwidthMHz) {
        case 3: return k3;
        case 5: return k5;
        case 10: return k10;
        case 15: return k15;
        case 20: return k20;
        default: return kOther;
    }
}

// The right half mirrored from a left half given from the far end to the channel edge.
std::vector<cEmissionMask::Point> Symmetric(const std::vector<cEmissionMask::Point>& left, double h,
                                            double carrier) {
    std::vector<cEmissionMask::Point> all = left;
    all.push_back({-h, carrier});
    all.push_back({h, carrier});
    for (auto it = left.rbegin(); it != left.rend(); ++it)
        all.push_back({-it->x, it->y});
    return all;
}
}  // namespace

int MaskNumberForType(int maskType) {
    switch (maskType) {
        case kMaskType706: return 1;
        case kMaskType705: return 2;
        case kMaskType707: return 3;
        case kMaskType40128: return 4;
        case kMaskType1016: return 5;
        default: return 0;
    }
}

double cEmissionMask::Evaluate(const std::vector<Point>& t, double f) {
    if (t.empty()) return 0.0;
    if (t.size() == 1) return t[0].y;
    size_t i = 0;
    while (i < t.size() && t[i].x < f)
        ++i;
    if (i == t.size()) return t.back().y;
    const Point& b = t[i];
    const Point& a = i == 0 ? t[1] : t[i - 1];
    if (b.x == a.x) return b.y;
    return a.y + (b.y - a.y) * (f - a.x) / (b.x - a.x);
}

std::optional<double> ChannelPowerLinear(const std::vector<float>& power, int pointCount, int c,
                                         int h) {
    if (h < 0 || c < h || c >= pointCount - h) return std::nullopt;
    double sum = 0.0;
    for (int i = c - h; i <= c + h; ++i)
        sum += power[static_cast<size_t>(i)];
    return sum;
}

void cEmissionMask::AdjacentChannelPower(const std::vector<float>& power, int pointCount, float df,
                                         double spacingHz, double widthRatio) {
    aclrDb.clear();
    if (df <= 0.0f || spacingHz <= 0.0 || pointCount <= 0) return;
    const double offsets[5] = {0.0, -spacingHz, spacingHz, -2 * spacingHz, 2 * spacingHz};
    const double x = pointCount * static_cast<double>(df) / spacingHz;
    const int channels = x < 3 ? 1 : (x < 5 ? 3 : 5);
    const int h = RoundHalfAway(spacingHz * widthRatio / df / 2.0);
    const int c0 = pointCount / 2;
    for (int k = 0; k < channels; ++k) {
        const int c = RoundHalfAway(offsets[k] / df) + c0;
        if (const std::optional<double> sum = ChannelPowerLinear(power, pointCount, c, h))
            aclrDb.push_back(static_cast<float>(10.0 * std::log10(*sum)));
    }
}

int cEmissionMask::BuildMask(int maskNumber, int bandwidthMHz, double pc, double o) {
    const double h = bandwidthMHz * kMHz / 2.0;
    const double lc = pc + o;
    const double far = 500 * kMHz;
    limit.clear();
    bandwidth.clear();
    switch (maskNumber) {
        case 1:
        case 2: {
            limit = Symmetric({{-h - far, -13 + o},
                               {-h - 10 * kMHz, -13 + o},
                               {-h - 10 * kMHz, -12.5 + o},
                               {-h - 5 * kMHz, -12.5 + o},
                               {-h, -5.5 + o}},
                              h, lc);
            if (maskNumber == 1) {
                bandwidth = {{-h - far, 100 * kKHz}, {h + far, 100 * kKHz}};
            } else {
                const double e = h + 10 * kMHz;
                bandwidth = {{-h - far, kMHz}, {-e, kMHz}, {-e, 100 * kKHz},
                             {e, 100 * kKHz},  {e, kMHz},  {h + far, kMHz}};
            }
            break;
        }
        case 3: {
            limit = Symmetric({{-h - far, -15 + o},
                               {-h - 10.5 * kMHz, -15 + o},
                               {-h - 10.5 * kMHz, -11.5 + o},
                               {-h - 1.5 * kMHz, -11.5 + o},
                               {-h - 1.5 * kMHz, -24.5 + o},
                               {-h - 1.015 * kMHz, -24.5 + o},
                               {-h - 215 * kKHz, -12.5 + o},
                               {-h, -12.5 + o}},
                              h, lc);
            const double e = h + 1.515 * kMHz;
            bandwidth = {{-h - far, kMHz}, {-e, kMHz}, {-e, 30 * kKHz},
                         {e, 30 * kKHz},   {e, kMHz},  {h + far, kMHz}};
            break;
        }
        case 4: {
            // Absolute levels, independent of the bandwidth and the carrier.
            const std::vector<Point> left = {
                {-far, -88},        {-6 * kMHz, -88},   {-6 * kMHz, -83},   {-1.8 * kMHz, -83},
                {-1.8 * kMHz, -81}, {-1.2 * kMHz, -81}, {-1.2 * kMHz, -78}, {-600 * kKHz, -78},
                {-400 * kKHz, -68}, {-250 * kKHz, -41}, {-200 * kKHz, -38}, {-100 * kKHz, -7.5}};
            limit = Symmetric(left, 100 * kKHz, 0.0);
            const double e = 1.8 * kMHz;
            bandwidth = {{-far, 100 * kKHz}, {-e, 100 * kKHz}, {-e, 30 * kKHz},
                         {e, 30 * kKHz},     {e, 100 * kKHz},  {far, 100 * kKHz}};
            break;
        }
        case 5: {
            const double* T = Mask5Levels(bandwidthMHz);
            const double edges[9] = {25, 20,  15,  10, 6,
                                     5,  2.8, 2.5, 1};  // MHz from the channel edge
            std::vector<Point> left = {{-h - far, T[9] + o}};
            for (int band = 9, e = 0; band >= 1; --band, ++e) {
                left.push_back({-h - edges[e] * kMHz, T[band] + o});
                left.push_back({-h - edges[e] * kMHz, T[band - 1] + o});
            }
            left.push_back({-h, T[0] + o});
            limit = Symmetric(left, h, lc);
            const double e = h + kMHz;
            bandwidth = {{-h - far, kMHz}, {-e, kMHz}, {-e, 30 * kKHz},
                         {e, 30 * kKHz},   {e, kMHz},  {h + far, kMHz}};
            break;
        }
        default: return kErrUnknownMask;
    }
    return 0;
}

int cEmissionMask::CheckMask(const std::vector<float>& power, int nb, float df) {
    integrated.clear();
    double narrowest = 1e300;
    for (const Point& p : bandwidth)
        narrowest = std::min(narrowest, p.y);
    if (bandwidth.empty() || narrowest < df) return kErrResolutionTooCoarse;
    const int c = nb / 2;
    std::vector<float>& m = integrated;
    m.assign(static_cast<size_t>(nb), 0.0f);
    m[c] = power[c];
    for (int i = 0; i < c; ++i) {
        const double b = MeasurementBandwidth(static_cast<float>(i * df));
        const int k = static_cast<int>(b / df);
        if (k < 1) continue;
        const double scale = b / (k * static_cast<double>(df));
        int j0 = i - k / 2;
        if (j0 > c - k) j0 = c - k;
        // Both windows must lie inside the trace.
        if (c + j0 < 0 || c + j0 + k - 1 > nb - 1 || c - j0 > nb - 1 || c - (j0 + k - 1) < 0)
            continue;
        double upper = 0.0, lower = 0.0;
        for (int j = j0; j < j0 + k; ++j) {
            upper += power[c + j];
            lower += power[c - j];
        }
        m[c + i] = static_cast<float>(upper * scale);
        m[c - i] = static_cast<float>(lower * scale);
    }
    if (nb >= 2) {
        m[0] = m[1];
        m[nb - 1] = m[nb - 2];
    }
    pass = true;
    smallestMarginDb = 100.0f;
    smallestMarginFrequencyHz = 0.0;
    for (int j = 0; j < nb; ++j) {
        const double f = j * static_cast<double>(df) - nb * static_cast<double>(df) / 2.0;
        const float margin = static_cast<float>(Limit(f) - 10.0 * std::log10(m[j]));
        if (margin < 0.0f) pass = false;
        if (margin < smallestMarginDb) {
            smallestMarginDb = margin;
            smallestMarginFrequencyHz = f;
        }
    }
    return 0;
}
