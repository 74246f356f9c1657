#pragma once
// The marker table: the readings of the markers on the plot shown, as the window's table
// lists them (column titles and texts) and as the command channel gives them (JSON). qrvn
// measure writes its spectrum markers with the same fields.

#include <optional>
#include <string>
#include <vector>

#include "measure/markers.h"

class JsonWriter;

struct MarkerTable {
    std::string plot;  // "spectrum", "time", "ccdf", "spectrogram", or "" (no markers here)
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::string json;  // {"plot": …, "delta": …, "markers": [...]}, as the channel gives them
    bool operator==(const MarkerTable&) const = default;
};

// A marker on the spectrogram: a time (source samples, file numbering) and a frequency, and
// the level of the row and bin it falls in when they have been computed.
struct SpectrogramMarkerReading {
    int number = 0;
    double sample = 0.0;
    double timeS = 0.0;
    double frequencyHz = 0.0;
    std::optional<double> levelDb;
    std::optional<double> deltaS, deltaHz, deltaDb;
};

// Time "%.7g" in s, ms, us or ns, by the size of the value.
std::string FormatTime(double seconds);

MarkerTable SpectrumMarkerTable(const std::vector<MarkerReading>& readings, double dbmOffsetDb);
// firstSample numbers the samples from the start of their file (a range of a capture).
MarkerTable TimeMarkerTable(const std::vector<TimeMarkerReading>& readings, int64_t firstSample,
                            double rateHz, double dbmOffsetDb);
MarkerTable CcdfMarkerTable(const std::vector<CcdfMarkerReading>& readings);
MarkerTable SpectrogramMarkerTable(const std::vector<SpectrogramMarkerReading>& readings,
                                   double dbmOffsetDb);

// One marker as a JSON object (numbers in their base units: Hz, s, dB).
void WriteMarkerJson(JsonWriter& j, const MarkerReading& m, double dbmOffsetDb);
void WriteMarkerJson(JsonWriter& j, const TimeMarkerReading& m, int64_t firstSample, double rateHz,
                     double dbmOffsetDb);
void WriteMarkerJson(JsonWriter& j, const CcdfMarkerReading& m);
void WriteMarkerJson(JsonWriter& j, const SpectrogramMarkerReading& m, double dbmOffsetDb);
