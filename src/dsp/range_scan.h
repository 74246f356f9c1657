#pragma once
// Scans of long power traces (a 524,289-point trace is scanned several times per drawing).
// Each keeps independent partial results so the loop is not one long dependency chain and the
// compiler can vectorise it; results equal those of the plain loops (the sum up to rounding
// order).

#include <cstdint>

// Largest value of p[begin, end) and the first index holding it (ties go to the lowest
// index, as a strictly-greater scan finds). False, with nothing written, for an empty range.
bool FirstMax(const float* p, int64_t begin, int64_t end, float& value, int64_t& index);

// Smallest and largest value of p[begin, end) (a non-empty range).
void MinMax(const float* p, int64_t begin, int64_t end, float& lo, float& hi);

// Sum of p[begin, end) in double precision.
double Sum(const float* p, int64_t begin, int64_t end);
