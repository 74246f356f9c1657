#pragma once
// qrvn measure's markers: --marker F (up to four, M1 … M4), --marker-delta, --band-power
// F:WIDTH and --noise-density F[:WIDTH], read from the measured trace as the window's marker
// table reads them, in text lines and in the JSON.

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/arguments.h"
#include "measure/markers.h"

class cSpectrumTrace;
class JsonWriter;

extern const std::vector<OptionSpec> kMarkerOptions;
extern const char* const kMarkerHelp;

struct MarkerRequest {
    MarkerSettings markers;
    std::vector<std::pair<double, double>> bands;   // centre, width (Hz)
    std::vector<std::pair<double, double>> noises;  // centre, width (Hz; 0: rate / 100)
    bool Any() const;
};

// The request the options make; fails with one line on a value that is not a frequency, a
// width that is not positive, or a fifth marker.
MarkerRequest MarkerRequestOrFail(const ParsedArguments& a);

void MarkerLines(const cSpectrumTrace& trace, double dbmOffsetDb, const MarkerRequest& request,
                 std::ostream& out);
void MarkerJson(const cSpectrumTrace& trace, double dbmOffsetDb, const MarkerRequest& request,
                JsonWriter& j);
