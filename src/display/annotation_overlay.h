#pragma once
// A recording's annotations drawn over a plot: spans across a time plot, boxes on the
// spectrogram, each with its label, the selected one brighter. Only those that reach into what
// is shown are drawn, and at most kMaxDrawnAnnotations of them, so a recording of a hundred
// thousand annotations paints as fast as one of a few.

#include <QPainter>
#include <QRect>
#include <cstdint>
#include <optional>
#include <vector>

#include "waveform/sigmf.h"

inline constexpr size_t kMaxDrawnAnnotations = 2000;
// Labels are written only while no more than this many are shown: more would be unreadable.
inline constexpr size_t kMaxLabelledAnnotations = 200;

// Where the annotations go: samples [first, first + count) of the recording's data file shown
// across area (x when spans, y when boxes), and for boxes the band fStart … fEnd (Hz about the
// centre) across x; annotation edges are taken about centreHz when it is known.
struct AnnotationPlace {
    QRect area;
    double firstSample = 0, sampleCount = 1;
    double fStart = 0, fEnd = 1;
    std::optional<double> centreHz;
    int selected = -1;  // an index into the annotations, or -1
};

// Spans across the full height of a time plot. Returns how many were drawn.
size_t DrawAnnotationSpans(QPainter& p, const std::vector<SigmfAnnotation>& annotations,
                           const AnnotationPlace& place);
// Boxes on a time-down spectrogram: their band across, their samples down (an annotation
// without edges spans the band shown). Returns how many were drawn.
size_t DrawAnnotationBoxes(QPainter& p, const std::vector<SigmfAnnotation>& annotations,
                           const AnnotationPlace& place);
