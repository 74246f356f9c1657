#pragma once
// The measurements of a spectrum drawing as one JSON object: what qrvn measure --json prints
// and what the window's command channel answers, field by field as the panels show them.

#include <functional>
#include <optional>
#include <ostream>
#include <string>

class cPlotEngine;
class JsonWriter;

// What was measured: the file, the spectrum kind, the frames averaged, the span shown (Hz) and,
// when the recording says where it was received, its centre frequency (absolute frequencies are
// then reported beside the baseband ones).
struct MeasurementView {
    std::string file;
    int view = 0;
    int frames = 0;
    double f0 = 0.0, f1 = 0.0;
    std::optional<double> centreHz;
    // Fields of the caller's own, written last.
    std::function<void(JsonWriter&)> more;
};

// Writes the engine's results after a spectrum drawing (tone values, channel measurements).
void WriteMeasurementsJson(const cPlotEngine& engine, const MeasurementView& view,
                           std::ostream& out);
