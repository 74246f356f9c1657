#include "waveform/sample_rate_name.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "waveform/number_format.h"

int64_t SampleRateFromName(std::string_view text) {
    const size_t pos = text.find("MSPS");
    if (pos == std::string_view::npos) return 0;
    size_t begin = pos;
    while (begin > 0) {
        const char c = text[begin - 1];
        if (!((c >= '0' && c <= '9') || c == '.')) break;
        --begin;
    }
    // Leading part of the run that reads as a number, as atof would take it; from_chars
    // does not depend on the C locale, which a GUI application sets from the environment.
    const char* first = text.data() + begin;
    const char* last = text.data() + pos;
    double mhz = 0.0;
    if (first == last || std::from_chars(first, last, mhz).ec != std::errc()) return 0;
    const double hz = std::trunc(mhz * 1e6 + 0.5);
    // Rates above 2^31 Hz are real (multi-GHz converters); keep them rather than wrap.
    if (!(hz >= 0.0) || hz > 9.0e18) return 0;
    return static_cast<int64_t>(hz);
}

std::string NameWithSampleRate(std::string_view path, int64_t rateHz) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t pos = path.find("MSPS", nameStart);
    if (pos == std::string_view::npos || SampleRateFromName(path.substr(nameStart)) <= 0)
        return std::string(path);
    size_t begin = pos;
    while (begin > nameStart &&
           ((path[begin - 1] >= '0' && path[begin - 1] <= '9') || path[begin - 1] == '.'))
        --begin;
    return std::string(path.substr(0, begin)) + General(static_cast<double>(rateHz) / 1e6, 10) +
           std::string(path.substr(pos));
}

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// The whole of text as a number (decimal, with an exponent where allowExponent), else nullopt.
std::optional<double> WholeNumber(std::string_view text, bool allowExponent) {
    if (text.empty() || !(Digit(text[0]) || text[0] == '.')) return std::nullopt;
    for (char c : text)
        if (!allowExponent && !(Digit(c) || c == '.')) return std::nullopt;
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(a[k])) != b[k]) return false;
    return true;
}

enum class TokenKind { None, Rate, Frequency, Bare };

struct Token {
    TokenKind kind = TokenKind::None;
    double hz = 0.0;
};

// "250k", "1.92M", "2.4Msps", "433.92MHz", "s11.52e6", "s250k"; anything else is None.
Token ReadToken(std::string_view t) {
    const bool prefixed = t.size() > 1 && t[0] == 's' && (Digit(t[1]) || t[1] == '.');
    if (prefixed) t.remove_prefix(1);
    TokenKind kind = prefixed ? TokenKind::Rate : TokenKind::Bare;
    std::string_view unit;
    size_t n = t.size();
    // The unit after the number: k, M or G, then nothing, "sps" or "Hz" (G needs one of them,
    // so "5G" stays a word).
    for (size_t k = 0; k < t.size(); ++k)
        if (t[k] == 'k' || t[k] == 'K' || t[k] == 'M' || t[k] == 'G') {
            n = k;
            unit = t.substr(k);
            break;
        }
    const std::string_view suffix = unit.empty() ? unit : unit.substr(1);
    if (!suffix.empty()) {
        if (EqualsNoCase(suffix, "sps"))
            kind = TokenKind::Rate;
        else if (EqualsNoCase(suffix, "hz") && !prefixed)
            kind = TokenKind::Frequency;
        else
            return {};
    } else if (unit == "G" || (unit.empty() && !prefixed)) {
        return {};
    }
    const std::optional<double> v = WholeNumber(t.substr(0, n), prefixed && unit.empty());
    if (!v || *v <= 0.0) return {};
    const double scale = unit.empty() ? 1.0 : unit[0] == 'G' ? 1e9 : unit[0] == 'M' ? 1e6 : 1e3;
    return {kind, *v * scale};
}

int64_t RateOrNothing(double hz) {
    const double r = std::trunc(hz + 0.5);
    return r >= 1.0 && r <= 9.0e18 ? static_cast<int64_t>(r) : 0;
}

// gqrx_YYYYMMDD_HHMMSS_FREQ_RATE_fc…: frequency and rate in Hz.
bool ReadGqrxName(std::string_view name, NamedCapture& out) {
    if (name.substr(0, 5) != "gqrx_") return false;
    std::string_view rest = name.substr(5);
    std::string_view fields[5];
    for (int f = 0; f < 4; ++f) {
        const size_t cut = rest.find('_');
        if (cut == std::string_view::npos) return false;
        fields[f] = rest.substr(0, cut);
        rest = rest.substr(cut + 1);
    }
    fields[4] = rest;
    const auto digits = [](std::string_view f, size_t n) {
        if (f.empty() || (n > 0 && f.size() != n)) return false;
        for (char c : f)
            if (!Digit(c)) return false;
        return true;
    };
    if (!digits(fields[0], 8) || !digits(fields[1], 6) || !digits(fields[2], 0) ||
        !digits(fields[3], 0) || fields[4].substr(0, 2) != "fc")
        return false;
    const auto centre = WholeNumber(fields[2], false);
    const auto rate = WholeNumber(fields[3], false);
    if (!centre || !rate || RateOrNothing(*rate) == 0) return false;
    out.rateHz = RateOrNothing(*rate);
    out.centreHz = *centre;
    out.rule = "gqrx";
    return true;
}

}  // namespace

NamedCapture CaptureFromName(std::string_view path) {
    const size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    NamedCapture out;
    if (const int64_t msps = SampleRateFromName(path); msps > 0) {
        out.rateHz = msps;
        out.rule = "N MSPS";
        return out;
    }
    if (ReadGqrxName(name, out)) return out;
    // The extension is not a token ("x_250k.cu8"), but "x_1.92M" has none.
    if (const size_t dot = name.rfind('.');
        dot != std::string_view::npos && dot + 1 < name.size() && !Digit(name[dot + 1]))
        name = name.substr(0, dot);
    std::optional<double> explicitRate, frequency;
    double bare[2] = {};
    int bareCount = 0;
    for (size_t at = 0; at <= name.size();) {
        size_t end = name.find_first_of("_- ,", at);
        if (end == std::string_view::npos) end = name.size();
        const Token t = ReadToken(name.substr(at, end - at));
        if (t.kind == TokenKind::Rate && !explicitRate) explicitRate = t.hz;
        if (t.kind == TokenKind::Frequency && !frequency) frequency = t.hz;
        if (t.kind == TokenKind::Bare && bareCount < 2) bare[bareCount++] = t.hz;
        at = end + 1;
    }
    double rate = 0.0;
    if (explicitRate) {
        rate = *explicitRate;
        out.rule = "rate token";
        if (!frequency && bareCount > 0) frequency = bare[0];
    } else if (bareCount == 2 && !frequency) {
        rate = bare[1];
        frequency = bare[0];
        out.rule = "centre and rate tokens";
    } else if (bareCount >= 1) {
        rate = bare[0];
        out.rule = "rate token";
    }
    out.rateHz = RateOrNothing(rate);
    if (out.rateHz == 0) out.rule = {};
    out.centreHz = frequency;
    return out;
}
