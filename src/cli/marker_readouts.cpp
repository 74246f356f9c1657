#include "cli/marker_readouts.h"

#include <cstdio>

#include "cli/verb_support.h"
#include "display/json_writer.h"
#include "display/marker_table.h"
#include "display/value_format.h"
#include "spectrum/power_trace.h"

const std::vector<OptionSpec> kMarkerOptions = {{"--marker", true, false},
                                                {"--marker-delta", false, false},
                                                {"--band-power", true, false},
                                                {"--noise-density", true, false}};
const char* const kMarkerHelp =
    "  --marker F      a marker at F Hz (up to four: M1 ... M4): its point's level, the\n"
    "                  marker power of the points around it and their centroid frequency\n"
    "  --marker-delta  M2 ... M4 also relative to M1\n"
    "  --band-power F:WIDTH   the power of WIDTH Hz around F, as ACLR integrates a channel\n"
    "  --noise-density F[:WIDTH]   power per Hz around F (over WIDTH, default rate/100)\n";

bool MarkerRequest::Any() const {
    for (const auto& f : markers.frequencyHz)
        if (f) return true;
    return !bands.empty() || !noises.empty();
}

namespace {

// A noise width of 0 stands for the default, a hundredth of the rate.
double NoiseWidth(const cSpectrumTrace& trace, double width) {
    return width > 0 ? width : static_cast<double>(trace.sampleRate) / 100;
}

std::pair<double, double> CentreAndWidth(const std::string& option, const std::string& text,
                                         std::optional<double> defaultWidth) {
    const size_t colon = text.find(':', 1);  // a centre may be negative
    const auto centre = ParseNumber(text.substr(0, colon));
    std::optional<double> width = defaultWidth;
    if (colon != std::string::npos) width = ParseNumber(text.substr(colon + 1));
    if (!centre || !width || !(*width > 0 || (colon == std::string::npos && defaultWidth)))
        Fail(option + " takes " + (defaultWidth ? "F[:WIDTH]" : "F:WIDTH") +
             " in Hz with a positive width: '" + text + "'");
    return {*centre, *width};
}

std::string Level(double db, double offset, const char* unit) {
    char text[96];
    std::snprintf(text, sizeof text, "%.2f %s (%.2f dBm)", db, unit, db + offset);
    return text;
}

}  // namespace

MarkerRequest MarkerRequestOrFail(const ParsedArguments& a) {
    MarkerRequest r;
    const std::vector<std::string> markers = a.GetAll("--marker");
    if (markers.size() > static_cast<size_t>(kMaxMarkers))
        Fail("at most four markers (--marker is given " + std::to_string(markers.size()) +
             " times)");
    for (size_t m = 0; m < markers.size(); ++m) {
        const auto f = ParseNumber(markers[m]);
        if (!f) Fail("--marker takes a frequency in Hz: '" + markers[m] + "'");
        r.markers.frequencyHz[m] = *f;
    }
    r.markers.delta = a.Has("--marker-delta");
    for (const std::string& v : a.GetAll("--band-power"))
        r.bands.push_back(CentreAndWidth("--band-power", v, std::nullopt));
    for (const std::string& v : a.GetAll("--noise-density"))
        r.noises.push_back(CentreAndWidth("--noise-density", v, 0.0));
    return r;
}

void MarkerLines(const cSpectrumTrace& trace, double offset, const MarkerRequest& request,
                 std::ostream& out) {
    for (const MarkerReading& m : MeasureSpectrumMarkers(trace, request.markers)) {
        char text[256];
        std::snprintf(text, sizeof text, "M%d: %s, %s, marker power %.2f dB, centroid %s", m.number,
                      FormatFrequency(m.frequencyHz).c_str(),
                      Level(m.levelDb, offset, "dBFS").c_str(), m.markerPowerDb,
                      FormatFrequency(m.peakFrequencyHz).c_str());
        out << text;
        if (m.deltaHz) {
            std::snprintf(text, sizeof text, ", delta to M1 %s, %.2f dB",
                          FormatFrequency(*m.deltaHz).c_str(), *m.deltaDb);
            out << text;
        }
        out << "\n";
    }
    for (const auto& [centre, width] : request.bands) {
        const auto p = BandPowerDb(trace, centre, width);
        out << "Band power at " << FormatFrequency(centre) << " over " << FormatFrequency(width)
            << ": " << (p ? Level(*p, offset, "dB") : std::string("the band runs past the trace"))
            << "\n";
    }
    for (const auto& [centre, given] : request.noises) {
        const double width = NoiseWidth(trace, given);
        const double d = NoiseDensityDbHz(trace, centre, width);
        char text[96];
        std::snprintf(text, sizeof text, "%.2f dB/Hz (%.2f dBm/Hz)", d, d + offset);
        out << "Noise density at " << FormatFrequency(centre) << " over " << FormatFrequency(width)
            << ": " << text << "\n";
    }
}

void MarkerJson(const cSpectrumTrace& trace, double offset, const MarkerRequest& request,
                JsonWriter& j) {
    const std::vector<MarkerReading> readings = MeasureSpectrumMarkers(trace, request.markers);
    if (!readings.empty()) {
        j.BeginArray("markers");
        for (const MarkerReading& m : readings)
            WriteMarkerJson(j, m, offset);
        j.EndArray();
    }
    if (!request.bands.empty()) {
        j.BeginArray("band_power");
        for (const auto& [centre, width] : request.bands) {
            j.BeginObject();
            j.Field("centre_hz", centre);
            j.Field("width_hz", width);
            if (const auto p = BandPowerDb(trace, centre, width)) {
                j.Field("power_db", *p);
                j.Field("power_dbm", *p + offset);
            } else {
                j.Null("power_db");
            }
            j.EndObject();
        }
        j.EndArray();
    }
    if (!request.noises.empty()) {
        j.BeginArray("noise_density");
        for (const auto& [centre, given] : request.noises) {
            const double width = NoiseWidth(trace, given);
            const double d = NoiseDensityDbHz(trace, centre, width);
            j.BeginObject();
            j.Field("centre_hz", centre);
            j.Field("width_hz", width);
            j.Field("db_per_hz", d);
            j.Field("dbm_per_hz", d + offset);
            j.EndObject();
        }
        j.EndArray();
    }
}
