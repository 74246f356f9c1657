#pragma once
// Vectorised decoders of the 16-bit binary formats. Each value is (double)v * (1/32767)
// rounded to float, the same arithmetic as the portable loops.

#include <cstdint>

namespace decode_detail {

bool HaveAvx512Bw();

// Interleaved I/Q words; returns how many samples were decoded (a multiple of 16); the caller
// decodes the rest.
int DecodeInterleaved16Avx512(const uint8_t* raw, int count, float* I, float* Q, bool bigEndian,
                              bool offset);
// Real words into I; returns how many were decoded (a multiple of 32).
int DecodeReal16Avx512(const uint8_t* raw, int count, float* I, bool bigEndian, bool offset);

}  // namespace decode_detail
