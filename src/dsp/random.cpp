#include "dsp/random.h"

#include <climits>
#include <cmath>

namespace {
constexpr int32_t kA = 16807;
constexpr int32_t kM = 2147483647;
constexpr int32_t kQ = 127773;  // kM / kA
constexpr int32_t kR = 2836;    // kM % kA
constexpr int kTable = 32;
constexpr int32_t kDiv = 1 + (kM - 1) / kTable;  // 67108864
constexpr double kMaxUniform = 1.0 - 1.2e-7;

// state * 16807 mod (2^31 - 1) without overflowing 32 bits (Schrage's factorisation).
int32_t Step(int32_t state) {
    const int32_t k = state / kQ;
    int32_t next = kA * (state - k * kQ) - kR * k;
    if (next < 0) next += kM;
    return next;
}
}  // namespace

void cRandom::Seed(int32_t seed) {
    state_ = seed;
    if (seed <= 0) haveSpare_ = false;
}

float cRandom::Uniform() {
    if (state_ <= 0 || last_ == 0) {
        // Restart from |seed| (a zero or a first positive seed starts from 1).
        state_ = (state_ >= 0 || state_ == INT32_MIN) ? 1 : -state_;
        // Eight warm-up draws, then the 32 that fill the table.
        for (int j = kTable + 7; j >= 0; --j) {
            state_ = Step(state_);
            if (j < kTable) table_[j] = state_;
        }
        last_ = table_[0];
    }
    state_ = Step(state_);
    const int j = last_ / kDiv;
    last_ = table_[j];
    table_[j] = state_;
    // The scale is applied in double and the result kept in single precision.
    const float u = static_cast<float>(last_ * (1.0 / kM));
    return u > kMaxUniform ? static_cast<float>(kMaxUniform) : u;
}

float cRandom::Gaussian() {
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    float v1, v2, r;
    do {
        v1 = static_cast<float>(2.0 * Uniform() - 1.0);
        v2 = static_cast<float>(2.0 * Uniform() - 1.0);
        r = v1 * v1 + v2 * v2;
    } while (r >= 1.0f || r == 0.0f);
    const float factor = static_cast<float>(std::sqrt(-2.0 * std::log(r) / r));
    spare_ = v1 * factor;
    haveSpare_ = true;
    return v2 * factor;
}
