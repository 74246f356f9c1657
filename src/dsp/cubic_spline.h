#pragma once
// Natural cubic spline through knots given in ascending x: the reference curve of the CCDF
// plot. Knots and second derivatives are stored as floats; arithmetic is double.

#include <cstddef>
#include <vector>

class cSpline {
public:
    // End slopes above this mean a natural end (second derivative 0).
    static constexpr double kNaturalEnd = 0.99e30;

    explicit cSpline(double startSlope = 1e32, double endSlope = 1e32)
        : startSlope_(startSlope), endSlope_(endSlope) {}

    // Adds a knot (x ascending across calls); the derivative table is rebuilt on next use.
    void AddKnot(double x, double y);
    // Solves the tridiagonal system for the second derivatives.
    void Prepare();
    // Value at x, by the cubic of the bracketing interval (extrapolated by the end cubics
    // outside the knots). Needs at least two knots; 0 otherwise.
    double Evaluate(double x);

    int KnotCount() const { return static_cast<int>(x_.size()); }
    double KnotX(int i) const { return x_[static_cast<std::size_t>(i)]; }

private:
    double startSlope_, endSlope_;
    std::vector<float> x_, y_, y2_;
    bool prepared_ = false;
};
