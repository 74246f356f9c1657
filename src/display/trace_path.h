#pragma once
// A pen path of move-to and line-to steps drawn as polylines: one drawPolyline per unbroken
// run instead of one call per segment, which matters for traces of thousands of columns.

#include <QPainter>
#include <QPoint>
#include <vector>

class TracePath {
public:
    explicit TracePath(QPainter& painter) : painter_(painter) { points_.reserve(4096); }
    ~TracePath() { Flush(); }
    void MoveTo(int x, int y) {
        Flush();
        points_.emplace_back(x, y);
    }
    void LineTo(int x, int y) {
        if (points_.empty()) points_.emplace_back(x, y);  // the pen starts where it is sent
        points_.emplace_back(x, y);
    }
    void Flush() {
        if (points_.size() == 1) points_.push_back(points_.back());  // a lone point is a dot
        if (!points_.empty()) painter_.drawPolyline(points_.data(), static_cast<int>(points_.size()));
        points_.clear();
    }

private:
    QPainter& painter_;
    std::vector<QPoint> points_;
};
