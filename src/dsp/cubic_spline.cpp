#include "dsp/cubic_spline.h"

void cSpline::AddKnot(double x, double y) {
    x_.push_back(static_cast<float>(x));
    y_.push_back(static_cast<float>(y));
    prepared_ = false;
}

void cSpline::Prepare() {
    const std::size_t n = x_.size();
    y2_.assign(n, 0.0f);
    if (n < 2) {
        prepared_ = true;
        return;
    }
    std::vector<double> u(n, 0.0);
    if (startSlope_ > kNaturalEnd) {
        y2_[0] = 0.0f;
        u[0] = 0.0;
    } else {
        y2_[0] = -0.5f;
        u[0] = (3.0 / (x_[1] - x_[0])) * ((y_[1] - y_[0]) / (x_[1] - x_[0]) - startSlope_);
    }
    // Decomposition sweep of the tridiagonal system.
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double sig = (static_cast<double>(x_[i]) - x_[i - 1]) / (x_[i + 1] - x_[i - 1]);
        const double p = sig * y2_[i - 1] + 2.0;
        y2_[i] = static_cast<float>((sig - 1.0) / p);
        const double slopeRight = (static_cast<double>(y_[i + 1]) - y_[i]) / (x_[i + 1] - x_[i]);
        const double slopeLeft = (static_cast<double>(y_[i]) - y_[i - 1]) / (x_[i] - x_[i - 1]);
        u[i] = (6.0 * (slopeRight - slopeLeft) / (x_[i + 1] - x_[i - 1]) - sig * u[i - 1]) / p;
    }
    double qn = 0.0, un = 0.0;
    if (endSlope_ <= kNaturalEnd) {
        qn = 0.5;
        un = (3.0 / (x_[n - 1] - x_[n - 2])) *
             (endSlope_ - (static_cast<double>(y_[n - 1]) - y_[n - 2]) / (x_[n - 1] - x_[n - 2]));
    }
    y2_[n - 1] = static_cast<float>((un - qn * u[n - 2]) / (qn * y2_[n - 2] + 1.0));
    // Back substitution.
    for (std::size_t k = n - 1; k-- > 0;)
        y2_[k] = static_cast<float>(static_cast<double>(y2_[k]) * y2_[k + 1] + u[k]);
    prepared_ = true;
}

double cSpline::Evaluate(double x) {
    const std::size_t n = x_.size();
    if (n < 2) return 0.0;
    if (!prepared_) Prepare();
    std::size_t lo = 0, hi = n - 1;
    while (hi - lo > 1) {
        const std::size_t mid = (hi + lo) / 2;
        if (x_[mid] > x)
            hi = mid;
        else
            lo = mid;
    }
    const double h = static_cast<double>(x_[hi]) - x_[lo];
    if (h == 0.0) return y_[lo];
    const double a = (x_[hi] - x) / h;
    const double b = (x - x_[lo]) / h;
    return a * y_[lo] + b * y_[hi] +
           ((a * a * a - a) * y2_[lo] + (b * b * b - b) * y2_[hi]) * (h * h) / 6.0;
}
