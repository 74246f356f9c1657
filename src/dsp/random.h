#pragma once
// The random numbers of the generator tools: the minimal-standard multiplicative congruential
// generator (16807 mod 2^31 - 1) behind a 32-entry Bays-Durham shuffle table, filled after 8
// warm-up draws, and normal deviates by the polar Box-Muller method, one per call with the
// second kept for the next. Sequences are fixed by the seed, so runs can be repeated exactly.

#include <cstdint>

class cRandom {
public:
    // A negative seed (or 0) restarts the generator from |seed| (1 for 0) and drops a kept
    // normal deviate; a positive one continues the current sequence.
    void Seed(int32_t seed);
    // Uniform in (0, 1): state / 2147483647 in single precision, at most 0.99999988.
    float Uniform();
    // Standard normal deviate (mean 0, variance 1) in single precision.
    float Gaussian();

private:
    int32_t state_ = -1;  // the congruential state; <= 0 asks for a restart
    int32_t last_ = 0;    // the previous output, which picks the next table entry (0: unset)
    int32_t table_[32] = {};
    bool haveSpare_ = false;
    float spare_ = 0.0f;
};
