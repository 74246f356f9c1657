// The metadata is read and written with nlohmann::json (Debian's nlohmann-json3-dev): a
// header-only, strict RFC 8259 parser with UTF-8 checks, used by many projects and fuzzed
// upstream. The core must stay Qt-free and qrvn reads recordings through the core, so Qt's
// JSON classes were no option here; a parser of our own would be one more thing to get right
// and to fuzz. Only this file includes the library, and nothing it throws leaves this file.

#include "waveform/sigmf.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "waveform/file_types.h"
#include "waveform/sample_rate_name.h"

namespace {

using nlohmann::json;

constexpr const char* kSupported =
    "this program reads cf32, ci16, cu16, ci8 and cu8 and their real forms, cf64_le and ci32_le";

// A JSON number that is a whole count >= 0 within 64 bits.
std::optional<int64_t> Count(const json& v) {
    if (v.is_number_unsigned()) {
        const uint64_t u = v.get<uint64_t>();
        if (u <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
            return static_cast<int64_t>(u);
        return std::nullopt;
    }
    if (v.is_number_integer()) {
        const int64_t i = v.get<int64_t>();
        if (i >= 0) return i;
    }
    return std::nullopt;
}

int64_t SaturatingAdd(int64_t a, int64_t b) {
    return a > std::numeric_limits<int64_t>::max() - b ? std::numeric_limits<int64_t>::max()
                                                       : a + b;
}

// The parts of a datatype name: 'c' or 'r', 'f', 'i' or 'u', the bits, and "_le", "_be" or ""
// (8-bit types have no byte order, every wider one must say it).
struct DatatypeParts {
    bool complex = false;
    char kind = 0;
    int bits = 0;
    bool bigEndian = false;
};

std::optional<DatatypeParts> SplitDatatype(std::string_view d) {
    DatatypeParts p;
    if (d.size() < 3 || (d[0] != 'c' && d[0] != 'r')) return std::nullopt;
    p.complex = d[0] == 'c';
    p.kind = d[1];
    if (p.kind != 'f' && p.kind != 'i' && p.kind != 'u') return std::nullopt;
    std::string_view rest = d.substr(2);
    for (int bits : {8, 16, 32, 64}) {
        const std::string digits = std::to_string(bits);
        if (rest.substr(0, digits.size()) == digits) {
            p.bits = bits;
            rest.remove_prefix(digits.size());
            break;
        }
    }
    if (p.bits == 0 || (p.kind == 'f' && p.bits < 32) || (p.kind != 'f' && p.bits == 64))
        return std::nullopt;
    if (p.bits == 8) return rest.empty() ? std::optional(p) : std::nullopt;
    if (rest != "_le" && rest != "_be") return std::nullopt;
    p.bigEndian = rest == "_be";
    return p;
}

// A string field of obj into out; false when it is there but not text.
bool TextField(const json& obj, const char* key, std::string& out) {
    const auto it = obj.find(key);
    if (it == obj.end()) return true;
    if (!it->is_string()) return false;
    out = it->get<std::string>();
    return true;
}

// The keys of obj but those named, as the text of a JSON object ("" when none is left).
std::string OtherKeys(const json& obj, std::initializer_list<const char*> known) {
    json rest = json::object();
    for (auto it = obj.begin(); it != obj.end(); ++it)
        if (std::none_of(known.begin(), known.end(), [&](const char* k) { return it.key() == k; }))
            rest[it.key()] = it.value();
    return rest.empty() ? std::string() : rest.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Global keys a save writes from what it knows, or leaves out because they no longer hold for
// the samples it writes: the rest are kept.
const std::initializer_list<const char*> kWrittenGlobalKeys = {
    "core:datatype",     "core:sample_rate",    "core:version", "core:recorder",
    "core:description",  "core:author",         "core:offset",  "core:sha512",
    "core:num_channels", "core:trailing_bytes", "core:dataset", "core:metadata_only"};

// Adds the keys of a kept JSON object text to obj, where obj has no such key.
void AddKept(nlohmann::ordered_json& obj, const std::string& kept) {
    if (kept.empty()) return;
    const nlohmann::ordered_json rest =
        nlohmann::ordered_json::parse(kept, nullptr, false);  // no exception: kept text is ours
    if (!rest.is_object()) return;
    for (auto it = rest.begin(); it != rest.end(); ++it)
        if (!obj.contains(it.key())) obj[it.key()] = it.value();
}

std::string ParseChecked(std::string_view text, SigmfMeta& meta) {
    json doc;
    try {
        doc = json::parse(text.begin(), text.end());
    } catch (const json::parse_error& e) {
        return "not valid JSON (syntax error at byte " + std::to_string(e.byte) + ")";
    }
    if (!doc.is_object()) return "the metadata is not a JSON object";
    const auto global = doc.find("global");
    if (global == doc.end() || !global->is_object()) return "the metadata has no \"global\" object";
    const json& g = *global;

    const auto datatype = g.find("core:datatype");
    if (datatype == g.end() || !datatype->is_string()) return "core:datatype is missing";
    meta.datatype = datatype->get<std::string>();
    if (!SplitDatatype(meta.datatype))
        return "core:datatype \"" + meta.datatype + "\" is not a SigMF datatype";
    if (FileTypeForSigmfDatatype(meta.datatype) == 0)
        return "datatype " + meta.datatype + " is not supported (" + kSupported + ")";
    if (const auto channels = g.find("core:num_channels"); channels != g.end()) {
        const auto n = Count(*channels);
        if (!n || *n < 1 || *n > kMaxSigmfChannels)
            return "core:num_channels is not a count of channels (1 to " +
                   std::to_string(kMaxSigmfChannels) + ")";
        meta.channelCount = *n;
    }
    if (!TextField(g, "core:sha512", meta.sha512)) return "core:sha512 is not text";
    std::transform(meta.sha512.begin(), meta.sha512.end(), meta.sha512.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (g.contains("core:dataset"))
        return "samples in another file (core:dataset) are not supported";
    if (const auto only = g.find("core:metadata_only");
        only != g.end() && only->is_boolean() && only->get<bool>())
        return "the recording holds metadata only (core:metadata_only)";
    if (const auto rate = g.find("core:sample_rate"); rate != g.end()) {
        const double hz = rate->is_number() ? rate->get<double>() : 0.0;
        if (!(hz > 0.0) || !std::isfinite(hz)) return "core:sample_rate is not a positive number";
        meta.sampleRateHz = hz;
    }
    if (!TextField(g, "core:version", meta.version)) return "core:version is not text";
    if (!TextField(g, "core:description", meta.description)) return "core:description is not text";
    if (!TextField(g, "core:author", meta.author)) return "core:author is not text";
    if (const auto offset = g.find("core:offset"); offset != g.end()) {
        const auto n = Count(*offset);
        if (!n) return "core:offset is not a sample index";
        meta.offset = *n;
    }
    if (const auto trailing = g.find("core:trailing_bytes"); trailing != g.end()) {
        const auto n = Count(*trailing);
        if (!n) return "core:trailing_bytes is not a count of bytes";
        meta.trailingBytes = *n;
    }

    if (const auto captures = doc.find("captures"); captures != doc.end()) {
        if (!captures->is_array()) return "\"captures\" is not an array";
        int64_t index = 0;
        for (const json& c : *captures) {
            ++index;
            const std::string name = "capture " + std::to_string(index);
            if (!c.is_object()) return name + " is not an object";
            if (const auto start = c.find("core:sample_start"); start != c.end()) {
                const auto n = Count(*start);
                if (!n) return "core:sample_start of " + name + " is not a sample index";
                meta.describedSamples = std::max(meta.describedSamples, *n);
            }
            if (const auto header = c.find("core:header_bytes"); header != c.end()) {
                const auto n = Count(*header);
                if (!n) return "core:header_bytes of " + name + " is not a count of bytes";
                if (index == 1)
                    meta.headerBytes = *n;
                else if (*n > 0)
                    return name + " has a header inside the data file (core:header_bytes), " +
                           "which is not supported";
            }
            SigmfSegment segment;
            if (const auto start = c.find("core:sample_start"); start != c.end())
                segment.firstSample = *Count(*start);
            if (const auto f = c.find("core:frequency"); f != c.end()) {
                if (!f->is_number() || !std::isfinite(f->get<double>()))
                    return "core:frequency of " + name + " is not a number";
                segment.frequencyHz = f->get<double>();
            }
            if (!TextField(c, "core:datetime", segment.datetime))
                return "core:datetime of " + name + " is not text";
            segment.otherKeys = OtherKeys(
                c, {"core:sample_start", "core:frequency", "core:datetime", "core:header_bytes"});
            if (index == 1) meta.frequencyHz = segment.frequencyHz;
            meta.segments.push_back(std::move(segment));
        }
        meta.captureCount = index;
    }

    if (const auto annotations = doc.find("annotations"); annotations != doc.end()) {
        if (!annotations->is_array()) return "\"annotations\" is not an array";
        for (const json& a : *annotations) {
            ++meta.annotationCount;
            // An annotation says nothing about how to read the samples: one this program
            // cannot make sense of only leaves the length check without it.
            if (!a.is_object()) continue;
            const auto start = a.find("core:sample_start");
            if (start == a.end()) continue;
            const auto first = Count(*start);
            if (!first) continue;
            int64_t count = 0;
            if (const auto c = a.find("core:sample_count"); c != a.end())
                count = Count(*c).value_or(0);
            meta.describedSamples = std::max(meta.describedSamples, SaturatingAdd(*first, count));
            SigmfAnnotation note;
            note.firstSample = *first;
            note.sampleCount = count;
            const auto edge = [&a](const char* key) -> std::optional<double> {
                const auto e = a.find(key);
                if (e == a.end() || !e->is_number() || !std::isfinite(e->get<double>()))
                    return std::nullopt;
                return e->get<double>();
            };
            note.lowerHz = edge("core:freq_lower_edge");
            note.upperHz = edge("core:freq_upper_edge");
            TextField(a, "core:label", note.label);
            TextField(a, "core:comment", note.comment);
            note.otherKeys =
                OtherKeys(a, {"core:sample_start", "core:sample_count", "core:freq_lower_edge",
                              "core:freq_upper_edge", "core:label", "core:comment"});
            meta.annotations.push_back(std::move(note));
        }
    }
    meta.otherGlobalKeys = OtherKeys(g, kWrittenGlobalKeys);
    meta.otherTopKeys = OtherKeys(doc, {"global", "captures", "annotations"});
    // Indices count from the recording's first sample, which is the data file's sample 0.
    meta.describedSamples = std::max<int64_t>(0, meta.describedSamples - meta.offset);
    for (SigmfSegment& s : meta.segments)
        s.firstSample = std::max<int64_t>(0, s.firstSample - meta.offset);
    for (SigmfAnnotation& a : meta.annotations)
        a.firstSample = std::max<int64_t>(0, a.firstSample - meta.offset);
    return "";
}

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string WithSuffix(std::string_view path, std::string_view suffix) {
    std::string base(path);
    if (IsSigmfPath(path)) base.resize(base.size() - 11);  // both suffixes are 11 characters
    return base + std::string(suffix);
}

}  // namespace

std::string ParseSigmfMeta(std::string_view text, SigmfMeta& meta) {
    meta = SigmfMeta{};
    if (static_cast<int64_t>(text.size()) > kMaxSigmfMetaBytes)
        return "the metadata is larger than " + std::to_string(kMaxSigmfMetaBytes >> 20) + " MB";
    try {
        return ParseChecked(text, meta);
    } catch (const json::exception& e) {
        // Every access above checks its type first; this only keeps a library surprise from
        // ending the program.
        return std::string("the metadata could not be read (") + e.what() + ")";
    }
}

int FileTypeForSigmfDatatype(std::string_view datatype) {
    const auto p = SplitDatatype(datatype);
    if (!p) return 0;
    const bool c = p->complex, be = p->bigEndian;
    switch (p->kind) {
        case 'f':
            if (p->bits == 64) return c && !be ? kFileCf64Le : 0;
            if (p->bits != 32) return 0;
            return c ? (be ? kFileCf32Be : kFileCf32Le) : (be ? kFileRf32Be : kFileRf32Le);
        case 'i':
            if (p->bits == 16)
                return c ? (be ? kFileBin16BeTwos : kFileBin16LeTwos)
                         : (be ? kFileReal16BeTwos : kFileReal16LeTwos);
            if (p->bits == 8) return c ? kFileCs8 : kFileRi8;
            if (p->bits == 32) return c && !be ? kFileCi32Le : 0;
            return 0;
        case 'u':
            // Unsigned 16-bit words about 32768 are the offset-binary types.
            if (p->bits == 16)
                return c ? (be ? kFileBin16BeOffset : kFileBin16LeOffset)
                         : (be ? kFileReal16BeOffset : kFileReal16LeOffset);
            if (p->bits == 8) return c ? kFileCu8 : kFileRu8;
            return 0;
        default: return 0;
    }
}

const char* SigmfSaveDatatype(int fileType) {
    return SigmfSaveFileType(fileType) == kFileCf32Le ? "cf32_le" : "ci16_le";
}

int SigmfSaveFileType(int fileType) {
    switch (fileType) {
        case kFileCf32Le:
        case kFileCf32Be:
        case kFileRf32Le:
        case kFileRf32Be: return kFileCf32Le;
        default: return kFileBin16LeTwos;
    }
}

std::string BuildSigmfMeta(std::string_view datatype, const SigmfSaveFields& fields) {
    using ojson = nlohmann::ordered_json;
    const int64_t first = std::max<int64_t>(0, fields.firstSample);
    const int64_t end = fields.sampleCount > 0 ? SaturatingAdd(first, fields.sampleCount)
                                               : std::numeric_limits<int64_t>::max();
    ojson global;
    global["core:datatype"] = std::string(datatype);
    global["core:sample_rate"] = fields.sampleRateHz;
    global["core:version"] = "1.0.0";
    global["core:recorder"] = "Quorvalen";
    if (!fields.description.empty()) global["core:description"] = fields.description;
    if (!fields.author.empty()) global["core:author"] = fields.author;
    if (first > 0) global["core:offset"] = first;
    if (!fields.sha512.empty()) global["core:sha512"] = fields.sha512;
    AddKept(global, fields.otherGlobalKeys);

    ojson captures = ojson::array();
    for (size_t k = 0; k < fields.segments.size(); ++k) {
        const SigmfSegment& s = fields.segments[k];
        const int64_t next = k + 1 < fields.segments.size() ? fields.segments[k + 1].firstSample
                                                            : std::numeric_limits<int64_t>::max();
        // A segment that ends before the samples written, or starts after them, describes none
        // of them (one of no samples among them is kept, with what it says).
        if ((next <= first && s.firstSample < first) || s.firstSample >= end) continue;
        ojson capture;
        capture["core:sample_start"] = std::max(first, s.firstSample);
        if (s.frequencyHz && std::isfinite(*s.frequencyHz))
            capture["core:frequency"] = *s.frequencyHz;
        if (!s.datetime.empty()) capture["core:datetime"] = s.datetime;
        AddKept(capture, s.otherKeys);
        captures.push_back(std::move(capture));
    }
    if (captures.empty()) {
        ojson capture;
        capture["core:sample_start"] = first;
        if (fields.frequencyHz && std::isfinite(*fields.frequencyHz))
            capture["core:frequency"] = *fields.frequencyHz;
        captures.push_back(std::move(capture));
    }

    // SigMF asks for annotations in the order of their first sample.
    std::vector<const SigmfAnnotation*> order;
    for (const SigmfAnnotation& a : fields.annotations)
        order.push_back(&a);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto* x, const auto* y) { return x->firstSample < y->firstSample; });
    ojson annotations = ojson::array();
    for (const SigmfAnnotation* ap : order) {
        const SigmfAnnotation& a = *ap;
        const int64_t aEnd = SaturatingAdd(a.firstSample, std::max<int64_t>(0, a.sampleCount));
        const int64_t start = std::max(first, a.firstSample);
        const int64_t stop = std::min(end, aEnd);
        if (a.firstSample >= end || (a.sampleCount > 0 ? stop <= start : a.firstSample < first))
            continue;
        ojson note;
        note["core:sample_start"] = start;
        if (a.sampleCount > 0) note["core:sample_count"] = stop - start;
        if (a.lowerHz && std::isfinite(*a.lowerHz)) note["core:freq_lower_edge"] = *a.lowerHz;
        if (a.upperHz && std::isfinite(*a.upperHz)) note["core:freq_upper_edge"] = *a.upperHz;
        if (!a.label.empty()) note["core:label"] = a.label;
        if (!a.comment.empty()) note["core:comment"] = a.comment;
        AddKept(note, a.otherKeys);
        annotations.push_back(std::move(note));
    }

    ojson meta;
    meta["global"] = std::move(global);
    meta["captures"] = std::move(captures);
    meta["annotations"] = std::move(annotations);
    AddKept(meta, fields.otherTopKeys);
    return meta.dump(4, ' ', false, json::error_handler_t::replace) + "\n";
}

std::vector<size_t> AnnotationsWithin(const std::vector<SigmfAnnotation>& annotations,
                                      int64_t first, int64_t end, size_t limit) {
    std::vector<size_t> within;
    for (size_t k = 0; k < annotations.size() && within.size() < limit; ++k) {
        const SigmfAnnotation& a = annotations[k];
        const int64_t last = SaturatingAdd(a.firstSample, std::max<int64_t>(1, a.sampleCount));
        if (a.firstSample < end && last > first) within.push_back(k);
    }
    return within;
}

std::optional<double> DatetimeSeconds(std::string_view t) {
    // YYYY-MM-DDTHH:MM:SS[.fraction](Z|+HH:MM|-HH:MM)
    const auto digits = [&t](size_t at, size_t n) -> std::optional<int> {
        if (at + n > t.size()) return std::nullopt;
        int v = 0;
        for (size_t k = at; k < at + n; ++k) {
            if (!std::isdigit(static_cast<unsigned char>(t[k]))) return std::nullopt;
            v = v * 10 + (t[k] - '0');
        }
        return v;
    };
    const auto year = digits(0, 4), month = digits(5, 2), day = digits(8, 2), hour = digits(11, 2),
               minute = digits(14, 2), second = digits(17, 2);
    if (!year || !month || !day || !hour || !minute || !second || t[4] != '-' || t[7] != '-' ||
        (t[10] != 'T' && t[10] != 't' && t[10] != ' ') || t[13] != ':' || t[16] != ':')
        return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 ||
        *second > 60)
        return std::nullopt;
    size_t at = 19;
    double fraction = 0, scale = 0.1;
    if (at < t.size() && t[at] == '.') {
        ++at;
        if (at >= t.size() || !std::isdigit(static_cast<unsigned char>(t[at]))) return std::nullopt;
        for (; at < t.size() && std::isdigit(static_cast<unsigned char>(t[at])); ++at, scale /= 10)
            fraction += (t[at] - '0') * scale;
    }
    double offset = 0;
    if (at < t.size() && (t[at] == 'Z' || t[at] == 'z')) {
        ++at;
    } else if (at < t.size() && (t[at] == '+' || t[at] == '-')) {
        const auto oh = digits(at + 1, 2), om = digits(at + 4, 2);
        if (!oh || !om || at + 3 >= t.size() || t[at + 3] != ':') return std::nullopt;
        offset = (t[at] == '+' ? 1 : -1) * (*oh * 3600.0 + *om * 60.0);
        at += 6;
    }
    if (at != t.size()) return std::nullopt;
    // Days since 1970-01-01 of the date in the proleptic Gregorian calendar: years counted
    // from March (so a leap day ends its year) in eras of 400 years.
    const int y = *year - (*month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (*month + (*month > 2 ? -3 : 9)) + 2) / 5 + *day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const double days = era * 146097.0 + doe - 719468.0;
    return days * 86400.0 + *hour * 3600.0 + *minute * 60.0 + *second + fraction - offset;
}

bool IsSigmfPath(std::string_view path) {
    return EndsWith(path, ".sigmf-meta") || EndsWith(path, ".sigmf-data");
}

bool IsSigmfArchivePath(std::string_view path) { return EndsWith(path, ".sigmf"); }

std::string SigmfMetaPath(std::string_view path) { return WithSuffix(path, ".sigmf-meta"); }
std::string SigmfDataPath(std::string_view path) { return WithSuffix(path, ".sigmf-data"); }

int FileTypeForExtension(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    // gqrx records complex float32 under gqrx_DATE_TIME_FREQ_RATE_fc.raw.
    if (name.starts_with("gqrx_") && name.ends_with("_fc.raw") &&
        CaptureFromName(name).rule == "gqrx")
        return kFileCf32Le;
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return 0;
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == "cf32" || ext == "cfile" || ext == "fc32") return kFileCf32Le;
    if (ext == "cf64" || ext == "fc64") return kFileCf64Le;
    if (ext == "cs32" || ext == "ci32") return kFileCi32Le;
    if (ext == "cs16" || ext == "sc16") return kFileBin16LeTwos;
    if (ext == "cs8") return kFileCs8;
    if (ext == "cu8") return kFileCu8;
    return 0;
}
