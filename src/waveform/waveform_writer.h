#pragma once
// Waveform file writing: the encoders of every writable type and the instrument CSV header.
//
// Integer types write R(x * scale [+ 32768 for offset binary]), R rounding half away from zero,
// keeping the low 16 (or 32) bits so that values beyond full scale wrap. Text types use printf
// forms ("%+.6e", "%d", "0x%.4hx") in the C locale; they never write "inf" or "nan": an
// infinite sample is written as 1e38 with its sign (what the reader caps such numbers to) and
// NaN as 0. 418 chooses per sample the smallest shared
// exponent whose mantissas hold both I and Q, so each keeps as many bits as the format allows.

#include <cstdint>
#include <ctime>
#include <string>

// True for the file types SaveFile can write.
bool HasEncoder(int fileType);

// R(v): v + 0.5 when v > 0, else v - 0.5, truncated toward zero. NaN gives 0; values beyond
// the 64-bit range saturate.
int64_t RoundHalfAway(double v);

// The instrument CSV header (13 lines, each ending CR LF) for a rate in Hz, a centre frequency
// in kHz, an input range and the local time of writing.
std::string BuildInstrumentHeader(int64_t sampleRateHz, double centreFrequencyKHz,
                                  double inputRange, std::time_t now);

// The two words of one CPRI mantissa/exponent sample (big-endian on disk, I first).
void EncodeCpri(float i, float q, uint16_t& wordI, uint16_t& wordQ);
