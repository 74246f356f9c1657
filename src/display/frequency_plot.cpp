#include "display/frequency_plot.h"

#include <QPolygon>
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "display/anchored_text.h"
#include "display/axis_labels.h"
#include "display/level_marker.h"
#include "display/panel_writer.h"
#include "display/pixel_round.h"
#include "display/plot_engine.h"
#include "display/plot_frame.h"
#include "display/trace_path.h"
#include "display/value_format.h"
#include "display/value_to_pixel.h"
#include "dsp/range_scan.h"
#include "measure/shown_spectrum.h"
#include "waveform/number_format.h"

namespace {

constexpr int kLinePitch = kPanelLinePitch;
constexpr int kMaxMaskPoints = 64;
const QColor kNegativeSnrColour(255, 50, 50);

std::string F2(double v) { return Fixed(v, 2); }
std::string F3(double v) { return Fixed(v, 3); }

// Where things land on the plot: frequency to x, level to y, both clamped when asked.
struct PlotGeometry {
    int left, top, pw, ph;
    double f0, f1;
    const AxisScale* axis;

    double X(double f) const { return left + (f - f0) * pw / (f1 - f0); }
    int XClamped(double f) const { return std::clamp(RoundHalfAwayPixel(X(f)), left, left + pw); }
    int YClamped(double levelDb) const {
        return std::clamp(RoundHalfAwayPixel(DbLevelToY(*axis, levelDb, top, ph)), top, top + ph);
    }
};

void DrawAclrBars(QPainter& p, const cPlotEngine& e, const PlotGeometry& g) {
    const MeasurementSettings& s = e.measurements.settings;
    const auto& levels = e.measurements.results.aclrDb;
    const bool wcdma = s.aclrBandwidthHz == kWcdmaBandwidthHz;
    const double S = wcdma ? 5e6 : s.aclrBandwidthHz;
    const double m = (wcdma ? 0.116 : 0.0485) * S;
    const double leftEdges[5] = {-0.5 * S, -1.5 * S, 0.5 * S, -2.5 * S, 1.5 * S};
    for (size_t k = 0; k < levels.size() && k < 5; ++k) {
        const int x0 = g.XClamped(leftEdges[k] + m), x1 = g.XClamped(leftEdges[k] + S - m);
        const int y0 = g.YClamped(levels[k]), y1 = g.top + g.ph;
        const QRect bar(QPoint(x0, y0), QPoint(x1, y1));
        p.fillRect(bar, e.style.blueBrush);
        p.setPen(k == 0 ? e.style.lightBluePen : e.style.lightBluePen2);
        p.drawRect(bar);
    }
}

void DrawMaskLine(QPainter& p, const cPlotEngine& e, const PlotGeometry& g) {
    const cEmissionMask& mask = e.measurements.mask;
    QPolygon line;
    for (const cEmissionMask::Point& pt : mask.limit) {
        if (line.size() >= kMaxMaskPoints) break;
        double f = pt.x, level = pt.y;
        if (f < g.f0)
            level = mask.Limit(f = g.f0);
        else if (f > g.f1)
            level = mask.Limit(f = g.f1);
        line << QPoint(g.XClamped(f), g.YClamped(level));
    }
    p.setPen(e.style.redPen);
    p.drawPolyline(line);
}

void DrawObwLine(QPainter& p, const cPlotEngine& e, const PlotGeometry& g) {
    const OccupiedBandwidthResult& obw = e.measurements.results.obw;
    const double level = PowerDb(e.trace.power[e.shown.tonePoint]);
    const int y = g.YClamped(level);
    const double xLow = g.X(obw.lowerEdgeHz), xHigh = g.X(obw.upperEdgeHz);
    const int x0 = g.XClamped(obw.lowerEdgeHz), x1 = g.XClamped(obw.upperEdgeHz);
    p.setPen(e.style.lightBluePen);
    p.drawLine(x0, y, x1, y);
    // Arrow heads only at ends inside the plot.
    if (xLow >= g.left && xLow <= g.left + g.pw) {
        p.drawLine(x0 + 1, y - 1, x0 + 1, y + 2);
        p.drawLine(x0 + 2, y - 2, x0 + 2, y + 3);
    }
    if (xHigh >= g.left && xHigh <= g.left + g.pw) {
        p.drawLine(x1 - 1, y - 1, x1 - 1, y + 2);
        p.drawLine(x1 - 2, y - 2, x1 - 2, y + 3);
    }
}

// The trace as one pen path (see TracePath).
void DrawTrace(QPainter& p, const QPolygon& poly, const QPen& pen) {
    TracePath path(p, pen);
    for (int i = 0; i < poly.size(); ++i)
        i == 0 ? path.MoveTo(poly[i].x(), poly[i].y()) : path.LineTo(poly[i].x(), poly[i].y());
}

double Shown(const cSpectrumTrace& t, double f, double f1) { return ShownFrequency(t, f, f1); }

}  // namespace

FrequencyGrid FrequencyGridFor(double f0, double f1) {
    FrequencyGrid grid;
    const double span = f1 - f0;
    if (!(span > 0.0) || !std::isfinite(span)) return grid;
    const double x = span / 10.0;
    const int e = static_cast<int>(std::log10(x));
    double decade = std::pow(10.0, e);
    double m = std::trunc(x / decade + 0.5);
    // Below a 5 Hz span the rule gives a step of 0: take the decade below instead.
    if (m < 1.0) {
        decade /= 10.0;
        m = std::trunc(x / decade + 0.5);
    }
    grid.step = m * decade;
    if (!(grid.step > 0.0)) return grid;
    const double q = f0 / (grid.step + 1e-20);
    const double k0 = q >= 0 ? std::trunc(q + 0.999999999999) : std::trunc(q);
    grid.first = k0 * grid.step;
    grid.lines = static_cast<int>(std::trunc((f1 - grid.first) / grid.step)) + 1;
    return grid;
}

FrequencyUnit FrequencyUnitFor(double m) {
    if (m > 999'999'900.0) return {"Frequency (GHz)", 1e-9};
    if (m > 999'999.9) return {"Frequency (MHz)", 1e-6};
    if (m > 999.9999) return {"Frequency (kHz)", 1e-3};
    return {"Frequency (Hz)", 1.0};
}

void DrawFrequencyGrid(QPainter& p, const PlotStyle& st, int pw, int ph, double f0, double f1) {
    const PlotMargins& mg = st.margins;
    p.setPen(st.graticulePen);
    const FrequencyGrid grid = FrequencyGridFor(f0, f1);
    const double span = f1 - f0;
    const double x0 = mg.left + std::trunc((grid.first - f0) * pw / span);
    const int lines = std::min(grid.lines, 1000);
    for (int i = 0; i < lines; ++i) {
        const int x = static_cast<int>(x0 + i * grid.step * pw / span + 0.5);
        p.drawLine(x, mg.top, x, mg.top + ph);
    }
}

void DrawFrequencyNumbers(QPainter& p, const PlotStyle& st, int H, int pw, double f0, double f1) {
    const FrequencyGrid grid = FrequencyGridFor(f0, f1);
    const double span = f1 - f0;
    const int lines = std::min(grid.lines, 1000);
    const double lastLine = grid.first + (lines - 1) * grid.step;
    const FrequencyUnit unit =
        FrequencyUnitFor(std::max(std::fabs(grid.first), std::fabs(lastLine)));
    DrawXAxisTitle(p, st, H, pw, unit.title);  // first, so numbers stay readable over it
    for (int i = 0; i < lines; ++i) {
        const double f = grid.first + i * grid.step;
        const double offset = std::trunc((grid.first - f0) * pw / span) + i * grid.step * pw / span;
        DrawXAxisNumber(p, st, H, offset,
                        QString::fromStdString(FormatFrequencyTick(f * unit.factor)));
    }
}

void DrawSpectrum(cPlotEngine& e, QPainter& p, int W, int H, double f0, double f1) {
    cSpectrumTrace& t = e.trace;
    if (!t.traceValid || t.N <= 0 || t.pointCount <= 0) {
        e.rightPanel.clear();
        e.leftPanel.clear();
        return;
    }
    const PlotStyle& st = e.style;
    const PlotMargins& mg = st.margins;
    const int pw = mg.PlotWidth(W), ph = mg.PlotHeight(H);
    if (pw < 1 || ph < 1 || !(f1 > f0)) return;
    const AxisScale& axis = e.axes[kSpectrumAxis];
    const PlotGeometry g{mg.left, mg.top, pw, ph, f0, f1, &axis};
    const MeasurementSettings& ms = e.measurements.settings;
    const MeasurementResults& mr = e.measurements.results;
    const bool maskOn = ms.MaskOn(), aclrOn = ms.aclrBandwidthHz != 0, obwOn = ms.obwOn;

    FillPlotBackground(p, st, W, H);
    if (aclrOn && !mr.aclrDb.empty()) DrawAclrBars(p, e, g);

    // Horizontal grid, accumulated in floating point.
    p.setPen(st.graticulePen);
    if (axis.divisions > 0 && std::isfinite(axis.divisions)) {
        const double pitch = ph / axis.divisions;
        double y = mg.top;
        for (int i = 0; i <= axis.divisions && i < 1000; ++i, y += pitch) {
            const int yi = static_cast<int>(y + 0.5);
            p.drawLine(mg.left, yi, mg.left + pw, yi);
        }
    }
    DrawFrequencyGrid(p, st, pw, ph, f0, f1);
    p.setPen(st.axisPen);
    p.drawLine(mg.left, mg.top, mg.left, mg.top + ph);
    p.drawLine(mg.left, mg.top + ph, mg.left + pw, mg.top + ph);

    const bool design = e.filterDesign.has_value();
    DrawYAxisTitle(p, st, H,
                   design                 ? "Response (dB)"
                   : e.dbmOffsetDb != 0.0 ? "Level (dBm)"
                                          : "Level (dBFS)");
    DrawDbAxisNumbers(p, st, axis, design ? 0.0 : e.dbmOffsetDb, ph);
    DrawFrequencyNumbers(p, st, H, pw, f0, f1);

    // The trace, one column at a time; a column that skips points strokes their extremes.
    const int nb = t.pointCount;
    const double fs = static_cast<double>(t.sampleRate);
    const double halfFs = static_cast<double>(t.sampleRate / 2);
    const double dbPerPixel = axis.scale * axis.divisions / ph;
    auto pointAt = [&](double f) { return ShownPoint(t, f); };
    // With the emission mask on, the trace shown is the mask's integrated one (the line it is
    // checked against); tone 1 and the tone measurements still read the power trace.
    const std::vector<float>& integrated = e.measurements.mask.integrated;
    const float* shown =
        maskOn && static_cast<int>(integrated.size()) == nb ? integrated.data() : t.power.data();
    // A filter's response reads relative to its gain at 0 Hz.
    const double shiftDb = design ? -PowerDb(t.power[static_cast<size_t>(pointAt(0.0))]) : 0.0;
    auto rowOf = [&](float power) {
        const double y = (axis.reference - (PowerDb(power) + shiftDb)) / dbPerPixel;
        return mg.top + std::clamp(RoundHalfAwayPixel(y), 0, ph);
    };
    QPolygon trace;
    trace.reserve(3 * (pw + 1));
    int previous = -1;
    for (int c = 0; c <= pw; ++c) {
        const int idx = pointAt(f0 + c * (f1 - f0) / pw);
        const int x = mg.left + c;
        if (previous >= 0 && idx > previous + 1) {
            float lo, hi;
            MinMax(shown, previous + 1, idx, lo, hi);
            trace << QPoint(x, rowOf(lo)) << QPoint(x, rowOf(hi));
        }
        trace << QPoint(x, rowOf(shown[idx]));
        previous = idx;
    }
    DrawTrace(p, trace, st.tracePen);

    // Tone 1, as measured for this span and width.
    const ShownSpectrum& tone = e.shown;
    if (!maskOn && !aclrOn && !obwOn && !design && tone.toneMarkerPowerDb > -295.0) {
        p.setPen(st.cyanPen);
        DrawLevelMarker(p, st, e.axes, tone.tonePeakFrequencyHz, tone.toneMarkerPowerDb, f0, f1, pw,
                        ph);
    }

    // The marks of the measurements, then the panels over them.
    if (maskOn) DrawMaskLine(p, e, g);
    if (ms.imdOn && !design)
        if (const auto& pair = mr.tonePair) {
            p.setPen(st.cyanPen);
            DrawLevelMarker(p, st, e.axes, Shown(t, pair->carrier2FrequencyHz, f1),
                            pair->carrier2Db, f0, f1, pw, ph);
            p.setPen(st.redPen);
            for (int product : {pair->lowerProduct, pair->upperProduct})
                DrawLevelMarker(p, st, e.axes, Shown(t, t.PeakFrequencyAt(product), f1),
                                t.MarkerPowerAt(product), f0, f1, pw, ph);
        }
    if (ms.sfdrOn && !design) {
        p.setPen(st.redPen);
        for (int i = 1; i <= 6; ++i)
            DrawLevelMarker(p, st, e.axes, Shown(t, mr.spurs[i].frequencyHz, f1),
                            mr.spurs[i].levelDb, f0, f1, pw, ph);
    }
    if (obwOn) DrawObwLine(p, e, g);

    const SpectrumPanels panels = SpectrumPanelTexts(e, f0, f1);
    const auto draw = [&](Panel& panel, const std::vector<PanelText>& texts) {
        for (const PanelText& text : texts) {
            panel.Overprint(text.text, text.colour);
            if (text.advance) panel.Advance();
        }
    };
    Panel right(p, st, e.rightPanel, W - 20, mg.top - 10 + kLinePitch, TextAnchor::RightTop,
                st.panelCyanColour);
    draw(right, panels.right);
    Panel left(p, st, e.leftPanel, 55, mg.top - 10 + kLinePitch, TextAnchor::LeftTop,
               st.panelWhiteColour);
    draw(left, panels.left);
}

SpectrumPanels SpectrumPanelTexts(const cPlotEngine& e, double f0, double f1) {
    SpectrumPanels panels;
    const cSpectrumTrace& t = e.trace;
    if (!t.traceValid || t.N <= 0 || t.pointCount <= 0) return panels;
    const PlotStyle& st = e.style;
    const MeasurementSettings& ms = e.measurements.settings;
    const MeasurementResults& mr = e.measurements.results;
    const bool maskOn = ms.MaskOn(), aclrOn = ms.aclrBandwidthHz != 0, obwOn = ms.obwOn;
    const bool design = e.filterDesign.has_value();
    const ShownSpectrum& tone = e.shown;
    const auto line = [&](const std::string& text) {
        panels.right.push_back({text, st.panelCyanColour, true});
    };
    const double offset = e.dbmOffsetDb;
    if (t.frameStart >= 0 && t.frameStart + t.firstSampleInFile > 0)
        line("FFT Position: " + FormatDuration(t.frameStart + t.firstSampleInFile, t.sampleRate));
    if (t.frameStart >= 0)
        line("FFT Time: " + FormatDuration(t.frameEnd - t.frameStart, t.sampleRate));
    const std::string tdd = "TDD Burst(s) Detected";
    if (maskOn) {
        const cEmissionMask& mask = e.measurements.mask;
        line("Carrier Power: " + F2(ms.carrierPowerDbm) + " dBm");
        if (e.measurements.tddBurstDetected) line(tdd);
        line(std::string("SEM Mask Compliance: ") + (mask.pass ? "PASS" : "FAIL"));
        const std::string where = " at " + F3(mask.smallestMarginFrequencyHz / 1e6) + " MHz";
        line(mask.pass ? "Min Margin " + F2(mask.smallestMarginDb) + "dB" + where
                       : "Fail by " + F2(-mask.smallestMarginDb) + "dB" + where);
    }
    if (aclrOn && !mr.aclrDb.empty()) {
        const auto& a = mr.aclrDb;
        if (e.measurements.tddBurstDetected) line(tdd);
        line(std::fabs(offset) > 0.0001 ? "Carrier Power: " + F2(a[0] + offset) + " dBm"
                                        : "Carrier Power: " + F2(a[0]) + " dB");
        if (a.size() >= 3) {
            line("ACLR lower1: " + F2(a[1] - a[0]) + " dBc");
            line("ACLR upper1: " + F2(a[2] - a[0]) + " dBc");
        }
        if (a.size() >= 5) {
            line("ACLR lower2: " + F2(a[3] - a[0]) + " dBc");
            line("ACLR upper2: " + F2(a[4] - a[0]) + " dBc");
        }
    }
    if (design) {
        line("Passband Ripple: " + F2(e.filterDesign->passbandRippleDb) + " dB");
        line("Stopband Attenuation: " + F2(e.filterDesign->stopbandAttenuationDb) + " dB");
    }
    if (ms.imdOn && !design) {
        if (const auto& pair = mr.tonePair) {
            line("Carrier1 Frequency: " + F3(tone.tonePeakFrequencyHz / 1e6) + " MHz");
            line("Carrier2 Frequency: " + F3(Shown(t, pair->carrier2FrequencyHz, f1) / 1e6) +
                 " MHz");
            line("Carrier1 Power: " + F2(tone.toneMarkerPowerDb) + " dB");
            line("Carrier2 Power: " + F2(pair->carrier2Db) + " dB");
            line("IMD3-1: " + F2(pair->imd3LowerDbc) + " dBc");
            line("IMD3-2: " + F2(pair->imd3UpperDbc) + " dBc");
            line("IP3: " + F2(pair->ip3Dbfs) + " dBFS");
        } else {
            line("No valid tone pair found");
        }
    }
    if (!maskOn && !aclrOn && !ms.imdOn && !obwOn && !design)
        for (const std::string& text : ToneLines(e))
            line(text);
    if (ms.snrOn && !design && mr.snrDb && *mr.snrDb > -15.0 && *mr.snrDb < 300.0) {
        // Below 1 Hz the measurement used the span shown: label that.
        const double bandwidth = ms.snrBandwidthHz >= 1.0 ? ms.snrBandwidthHz : 0.0;
        const std::string text =
            "SNR: " + F2(*mr.snrDb) + " dB " + FormatBandwidthInParens(bandwidth, f0, f1) + " ";
        if (*mr.snrDb < 0.0) {
            // The red "!" is drawn over the line it marks.
            panels.right.push_back({text, st.panelCyanColour, false});
            panels.right.push_back({text + "!", kNegativeSnrColour, true});
        } else {
            line(text);
        }
    }
    if (ms.sfdrOn && !design) {
        line("SFDR: " + F2(mr.sfdrDb) + " dB");
        for (int i = 1; i <= 6; ++i) {
            const SpurEntry& spur = mr.spurs[i];
            line("Spur: " + F2(spur.levelDb) + " dB " +
                 FormatFrequency(Shown(t, spur.frequencyHz, f1)));
        }
    }
    if (obwOn) {
        if (e.measurements.tddBurstDetected) line(tdd);
        line("Occupied BW: " + FormatFrequency(mr.obw.bandwidthHz));
    }
    const auto leftLine = [&](const std::string& text) {
        panels.left.push_back({text, st.panelWhiteColour, true});
    };
    leftLine("Sample Rate: " + FormatSampleRate(t.sampleRate));
    leftLine("Resolution BW: " + FormatResolutionBandwidth(t.sampleRate, t.N));
    if (!maskOn && !aclrOn && !obwOn) leftLine("DC Offset: " + F2(t.dcLevel) + " dB");
    const double total = obwOn ? mr.obw.powerDb : t.totalPowerDb;
    const std::string label = obwOn ? "OBW Power" : "Total Power";
    leftLine(std::fabs(offset) > 0.001 ? label + ": " + F2(total + offset) + " dBm"
                                       : label + ": " + F2(total) + " dB");
    return panels;
}

std::vector<std::string> ToneLines(const cPlotEngine& e) {
    const double offset = e.dbmOffsetDb;
    return {"Peak Frequency: " + FormatFrequency(e.shown.tonePeakFrequencyHz),
            "Marker Power: " + F2(e.shown.toneMarkerPowerDb + offset) +
                (offset != 0.0 ? " dBm" : " dB")};
}

void MeasureShown(cPlotEngine& e, int W, double f0, double f1) {
    e.shown = MeasureShownSpectrum(e.trace, e.measurements, f0, f1, e.style.margins.PlotWidth(W));
}

void MeasureAndDrawSpectrum(cPlotEngine& e, QPainter& p, int W, int H, double f0, double f1) {
    MeasureShown(e, W, f0, f1);
    DrawSpectrum(e, p, W, H, f0, f1);
}
