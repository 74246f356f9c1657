#pragma once
// Annotation panels: lines of text at a fixed x, one pitch apart, recorded in the engine so
// tests and tools can read what the plot says.

#include <QPainter>
#include <optional>
#include <string>
#include <vector>

#include "display/anchored_text.h"
#include "display/plot_engine.h"

inline constexpr int kPanelLinePitch = 15;  // pixels between panel lines

class Panel {
public:
    // background: the text cell colour when it differs from the plot's text background.
    Panel(QPainter& p, const PlotStyle& s, std::vector<PanelLine>& out, int x, int y,
          TextAnchor anchor, QColor colour, std::optional<QColor> background = std::nullopt)
        : p_(p),
          s_(s),
          out_(out),
          x_(x),
          y_(y),
          anchor_(anchor),
          colour_(colour),
          background_(background) {
        out_.clear();
    }
    void Line(const std::string& text) {
        Draw(text, colour_);
        y_ += kPanelLinePitch;
    }
    // Text at the current place without moving on (the SNR warning overprints its line).
    void Overprint(const std::string& text, QColor colour) { Draw(text, colour); }
    void Advance() { y_ += kPanelLinePitch; }
    int y() const { return y_; }

private:
    void Draw(const std::string& text, QColor colour) {
        const QPoint at(x_, y_);
        // The text cells let the trace show through: a peak under a panel stays visible.
        QColor cell = background_ ? *background_ : p_.background().color();
        cell.setAlpha(kPanelCellAlpha);
        DrawAnchoredTextOnCell(p_, s_.panelFont, colour, at, anchor_, QString::fromStdString(text),
                               cell);
        out_.push_back({text, colour, at});
    }
    static constexpr int kPanelCellAlpha = 110;
    QPainter& p_;
    const PlotStyle& s_;
    std::vector<PanelLine>& out_;
    int x_, y_;
    TextAnchor anchor_;
    QColor colour_;
    std::optional<QColor> background_;
};
