#pragma once
// A pen path of move-to and line-to steps, as the plot traces are described, rasterised in
// one go when it ends. Traces step at most one pixel column per segment; on a plain 32-bit
// image such segments become one vertical span per column (a step between neighbouring
// columns splits at its midpoint), several times faster than the general line drawer for
// thousands of strokes. Longer segments, and other devices, go through the painter.

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <vector>

class TracePath {
public:
    TracePath(QPainter& painter, const QPen& pen) : painter_(painter), pen_(pen) {
        points_.reserve(4096);
    }
    ~TracePath() { Flush(); }
    TracePath(const TracePath&) = delete;
    TracePath& operator=(const TracePath&) = delete;

    void MoveTo(int x, int y) { points_.push_back({QPoint(x, y), true}); }
    void LineTo(int x, int y) { points_.push_back({QPoint(x, y), points_.empty()}); }
    // Draws what was collected and starts empty.
    void Flush();

private:
    struct Step {
        QPoint at;
        bool move;
    };
    QPainter& painter_;
    QPen pen_;
    std::vector<Step> points_;
};
