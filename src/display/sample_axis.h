#pragma once
// Division count of an X axis that counts samples (the time-domain views).

// Vertical divisions for a displayed span of sampleSpan samples (end − start):
//   span > 100: 10;  20 < span <= 100: span/k for the smallest whole k >= 2 with span/k < 20
//   (a fractional count such as 50/3 is returned as it is);  1 <= span <= 20: span (one
//   division per sample);  span < 1 or NaN: 2.
double SampleAxisDivisions(double sampleSpan);
