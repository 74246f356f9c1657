#include "display/marker_table.h"

#include <cmath>
#include <cstdio>

#include "display/json_writer.h"
#include "display/value_format.h"

namespace {

std::string Printed(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// A level in dBFS, with dBm beside it when an offset is set.
std::string Level(double db, double offset, const char* unit = "dBFS") {
    std::string text = Printed("%.2f ", db) + unit;
    if (offset != 0.0) text += Printed(" (%.2f dBm)", db + offset);
    return text;
}

std::string Db(const std::optional<double>& v) { return v ? Printed("%.2f dB", *v) : ""; }

std::string Rate(const std::optional<double>& deltaS) {
    if (!deltaS || *deltaS == 0.0) return "";
    return FormatFrequency(1.0 / *deltaS);
}

std::string Name(int number) { return "M" + std::to_string(number); }

void OptionalField(JsonWriter& j, const char* key, const std::optional<double>& v) {
    if (v) j.Field(key, *v);
}

}  // namespace

std::string FormatTime(double s) {
    const double a = std::fabs(s);
    const char* unit = " s";
    double v = s;
    if (a == 0.0 || a >= 1.0) {
    } else if (a >= 1e-3) {
        v = s * 1e3, unit = " ms";
    } else if (a >= 1e-6) {
        v = s * 1e6, unit = " us";
    } else {
        v = s * 1e9, unit = " ns";
    }
    return Printed("%.7g", v) + unit;
}

MarkerTable SpectrumMarkerTable(const std::vector<MarkerReading>& readings, double offset) {
    MarkerTable t{"spectrum",
                  {"Marker", "Frequency", "Level", "Marker power", "Band power", "Noise density",
                   "\u0394f", "\u0394dB"},
                  {},
                  {}};
    for (const MarkerReading& m : readings)
        t.rows.push_back({Name(m.number), FormatFrequency(m.frequencyHz), Level(m.levelDb, offset),
                          Printed("%.2f dB", m.markerPowerDb),
                          m.bandPowerDb ? Level(*m.bandPowerDb, offset, "dB") : "",
                          m.noiseDensityDbHz ? Level(*m.noiseDensityDbHz, offset, "dB/Hz") : "",
                          m.deltaHz ? FormatFrequency(*m.deltaHz) : "", Db(m.deltaDb)});
    return t;
}

MarkerTable TimeMarkerTable(const std::vector<TimeMarkerReading>& readings, int64_t firstSample,
                            double rateHz, double offset) {
    MarkerTable t{"time",
                  {"Marker", "Sample", "Time", "I", "Q", "Level", "Phase", "\u0394t", "1/\u0394t",
                   "\u0394dB"},
                  {},
                  {}};
    const double t0 = static_cast<double>(firstSample) / rateHz;
    for (const TimeMarkerReading& m : readings)
        t.rows.push_back(
            {Name(m.number), std::to_string(firstSample + m.sample), FormatTime(t0 + m.timeS),
             Printed("%.6g", m.i), Printed("%.6g", m.q), Level(m.levelDb, offset),
             Printed("%.2f deg", m.phaseDeg),
             m.deltaS ? FormatTime(*m.deltaS) + " (" + std::to_string(*m.deltaSamples) + " samples)"
                      : "",
             Rate(m.deltaS), Db(m.deltaDb)});
    return t;
}

MarkerTable CcdfMarkerTable(const std::vector<CcdfMarkerReading>& readings) {
    MarkerTable t{"ccdf", {"Marker", "Peak to average", "Probability", "\u0394dB"}, {}, {}};
    for (const CcdfMarkerReading& m : readings)
        t.rows.push_back({Name(m.number), Printed("%.2f dB", m.parDb),
                          Printed("%.6g %%", m.percent), Db(m.deltaDb)});
    return t;
}

MarkerTable SpectrogramMarkerTable(const std::vector<SpectrogramMarkerReading>& readings,
                                   double offset) {
    MarkerTable t{"spectrogram",
                  {"Marker", "Time", "Sample", "Frequency", "Level", "\u0394t", "1/\u0394t",
                   "\u0394f", "\u0394dB"},
                  {},
                  {}};
    for (const SpectrogramMarkerReading& m : readings)
        t.rows.push_back({Name(m.number), FormatTime(m.timeS), Printed("%.0f", m.sample),
                          FormatFrequency(m.frequencyHz),
                          m.levelDb ? Level(*m.levelDb, offset) : "not computed yet",
                          m.deltaS ? FormatTime(*m.deltaS) : "", Rate(m.deltaS),
                          m.deltaHz ? FormatFrequency(*m.deltaHz) : "", Db(m.deltaDb)});
    return t;
}

void WriteMarkerJson(JsonWriter& j, const MarkerReading& m, double offset) {
    j.BeginObject();
    j.Field("number", static_cast<double>(m.number));
    j.Field("frequency_hz", m.frequencyHz);
    j.Field("level_dbfs", m.levelDb);
    j.Field("level_dbm", m.levelDb + offset);
    j.Field("marker_power_db", m.markerPowerDb);
    j.Field("centroid_frequency_hz", m.peakFrequencyHz);
    OptionalField(j, "band_power_db", m.bandPowerDb);
    OptionalField(j, "noise_density_db_hz", m.noiseDensityDbHz);
    OptionalField(j, "delta_hz", m.deltaHz);
    OptionalField(j, "delta_db", m.deltaDb);
    j.EndObject();
}

void WriteMarkerJson(JsonWriter& j, const TimeMarkerReading& m, int64_t firstSample, double rateHz,
                     double offset) {
    j.BeginObject();
    j.Field("number", static_cast<double>(m.number));
    j.Field("sample", static_cast<double>(firstSample + m.sample));
    j.Field("time_s", static_cast<double>(firstSample) / rateHz + m.timeS);
    j.Field("i", m.i);
    j.Field("q", m.q);
    j.Field("level_dbfs", m.levelDb);
    j.Field("level_dbm", m.levelDb + offset);
    j.Field("phase_deg", m.phaseDeg);
    if (m.deltaSamples) j.Field("delta_samples", static_cast<double>(*m.deltaSamples));
    OptionalField(j, "delta_s", m.deltaS);
    if (m.deltaS && *m.deltaS != 0.0) j.Field("inverse_delta_hz", 1.0 / *m.deltaS);
    OptionalField(j, "delta_db", m.deltaDb);
    j.EndObject();
}

void WriteMarkerJson(JsonWriter& j, const CcdfMarkerReading& m) {
    j.BeginObject();
    j.Field("number", static_cast<double>(m.number));
    j.Field("par_db", m.parDb);
    j.Field("probability_percent", m.percent);
    OptionalField(j, "delta_db", m.deltaDb);
    j.EndObject();
}

void WriteMarkerJson(JsonWriter& j, const SpectrogramMarkerReading& m, double offset) {
    j.BeginObject();
    j.Field("number", static_cast<double>(m.number));
    j.Field("sample", m.sample);
    j.Field("time_s", m.timeS);
    j.Field("frequency_hz", m.frequencyHz);
    if (m.levelDb) {
        j.Field("level_dbfs", *m.levelDb);
        j.Field("level_dbm", *m.levelDb + offset);
    } else {
        j.Null("level_dbfs");
    }
    OptionalField(j, "delta_s", m.deltaS);
    if (m.deltaS && *m.deltaS != 0.0) j.Field("inverse_delta_hz", 1.0 / *m.deltaS);
    OptionalField(j, "delta_hz", m.deltaHz);
    OptionalField(j, "delta_db", m.deltaDb);
    j.EndObject();
}
