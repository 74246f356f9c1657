#include "dsp/range_scan.h"

namespace {
constexpr int kLanes = 16;
}

bool FirstMax(const float* p, int64_t begin, int64_t end, float& value, int64_t& index) {
    if (end <= begin) return false;
    float lanes[kLanes];
    for (float& l : lanes) l = p[begin];
    int64_t k = begin;
    for (; k + kLanes <= end; k += kLanes)
        for (int i = 0; i < kLanes; ++i) lanes[i] = p[k + i] > lanes[i] ? p[k + i] : lanes[i];
    float best = lanes[0];
    for (int i = 1; i < kLanes; ++i) best = lanes[i] > best ? lanes[i] : best;
    for (; k < end; ++k) best = p[k] > best ? p[k] : best;
    // The first place holding it.
    int64_t at = begin;
    while (at < end && !(p[at] == best)) ++at;
    if (at == end) {  // NaN-only ranges: fall back to the plain scan's answer
        at = begin;
        best = p[begin];
    }
    value = best;
    index = at;
    return true;
}

void MinMax(const float* p, int64_t begin, int64_t end, float& lo, float& hi) {
    float los[kLanes], his[kLanes];
    for (int i = 0; i < kLanes; ++i) los[i] = his[i] = p[begin];
    int64_t k = begin;
    for (; k + kLanes <= end; k += kLanes)
        for (int i = 0; i < kLanes; ++i) {
            los[i] = p[k + i] < los[i] ? p[k + i] : los[i];
            his[i] = p[k + i] > his[i] ? p[k + i] : his[i];
        }
    lo = los[0];
    hi = his[0];
    for (int i = 1; i < kLanes; ++i) {
        lo = los[i] < lo ? los[i] : lo;
        hi = his[i] > hi ? his[i] : hi;
    }
    for (; k < end; ++k) {
        lo = p[k] < lo ? p[k] : lo;
        hi = p[k] > hi ? p[k] : hi;
    }
}

double Sum(const float* p, int64_t begin, int64_t end) {
    double partial[kLanes] = {};
    int64_t k = begin;
    for (; k + kLanes <= end; k += kLanes)
        for (int i = 0; i < kLanes; ++i) partial[i] += p[k + i];
    double sum = 0.0;
    for (double s : partial) sum += s;
    for (; k < end; ++k) sum += p[k];
    return sum;
}
