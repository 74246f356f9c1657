#include "waveform/waveform_writer.h"

#include <locale.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include <memory>
#include <optional>

#include "waveform/data_digest.h"
#include "waveform/fast_file.h"
#include "waveform/number_format.h"
#include "waveform/partial_reads.h"
#include "waveform/reader_parts.h"
#include "waveform/sigmf.h"
#include "waveform/sigmf_archive.h"
#include "waveform/wav_file.h"
#include "waveform/waveform.h"

bool HasEncoder(int fileType) {
    switch (fileType) {
        case kFileAsciiIQLines:
        case kFileAsciiIQPair:
        case kFileAsciiInt16:
        case kFileAsciiHex16:
        case kFileBin16BeOffset:
        case kFileBin16BeTwos:
        case kFileBin16LeOffset:
        case kFileBin16LeTwos:
        case kFileBin32BeTwos:
        case kFileReal16BeOffset:
        case kFileReal16BeTwos:
        case kFileReal16LeOffset:
        case kFileReal16LeTwos:
        case kFileCpriMantExp:
        case kFileInstrumentCsv:
        case kFileTableMhzQ3:
        case kFileTableMhzQSpec:
        case kFileTableMilli:
        case kFileTableMhzQ4:
        case kFileCf32Le:
        case kFileCs8:
        case kFileCu8:
        case kFileCf64Le:
        case kFileCi32Le: return true;
        default: return false;
    }
}

int64_t RoundHalfAway(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::trunc(v > 0 ? v + 0.5 : v - 0.5);
    if (r >= 9.2233720368547758e18) return INT64_MAX;
    if (r <= -9.2233720368547758e18) return INT64_MIN;
    return static_cast<int64_t>(r);
}

void EncodeCpri(float i, float q, uint16_t& wordI, uint16_t& wordQ) {
    constexpr int64_t kMin = -4096, kMax = 4095;
    int e = 0;
    int64_t mi = 0, mq = 0;
    for (; e <= 7; ++e) {
        const double scale = std::ldexp(1.0, 19 - e);
        mi = RoundHalfAway(i * scale);
        mq = RoundHalfAway(q * scale);
        if (mi >= kMin && mi <= kMax && mq >= kMin && mq <= kMax) break;
    }
    if (e > 7) {  // beyond full scale: the largest exponent, mantissas saturated
        e = 7;
        mi = std::clamp(mi, kMin, kMax);
        mq = std::clamp(mq, kMin, kMax);
    }
    const auto field = [](int64_t m) {
        return static_cast<unsigned>((static_cast<uint64_t>(m) & 0x1FFFu) << 1);
    };
    wordI = static_cast<uint16_t>(((e >> 2) & 1) << 15 | (e & 1) << 14 | field(mi));
    wordQ = static_cast<uint16_t>(((e >> 1) & 1) << 14 | field(mq));
}

std::string BuildInstrumentHeader(int64_t sampleRateHz, double centreFrequencyKHz,
                                  double inputRange, std::time_t now) {
    const int64_t c = static_cast<int64_t>(std::trunc(centreFrequencyKHz * 1000.0));
    const int64_t h = sampleRateHz == 61'440'000 ? 30'000'000 : sampleRateHz / 2;
    std::string s;
    s += "InputZoom,TRUE\r\n";
    s += "InputCenter," + General(static_cast<double>(c), 6) + "\r\n";
    s += "InputRange," + Fixed(inputRange, 10) + "\r\n";
    s += "InputRefImped,50.0\r\n";
    s += "XStart,0.0\r\n";
    s += "XDelta," + General(1.0 / static_cast<double>(sampleRateHz), 14) + "\r\n";
    s += "XDomain,2\r\n";
    s += "XUnit,Sec\r\n";
    s += "YUnit,V\r\n";
    s += "FreqValidMax," + General(static_cast<double>(c + h), 6) + "\r\n";
    s += "FreqValidMin," + General(static_cast<double>(c - h), 6) + "\r\n";
    // The C locale's date form, whatever locale the application runs in.
    char line[101] = {0};
    std::tm local{};
    localtime_r(&now, &local);
    if (locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr)) {
        strftime_l(line, sizeof line, "TimeString,%c\r\n", &local, cLocale);
        freelocale(cLocale);
    }
    s += line;
    s += "Y\r\n";
    return s;
}

namespace {

// Gathers records into 64 KB blocks for the file; each record is appended whole.
class RecordSink {
public:
    explicit RecordSink(CFastFile& file) : file_(file) {}
    ~RecordSink() { Flush(); }
    char* Reserve() {
        if (fill_ > sizeof block_ - kMaxRecord) Flush();
        return block_ + fill_;
    }
    void Commit(char* end) { fill_ = static_cast<size_t>(end - block_); }
    void Append(const std::string& s) {
        Flush();
        file_.Write(s.data(), s.size());
    }
    void Flush() {
        if (fill_ > 0) file_.Write(block_, fill_);
        fill_ = 0;
    }

private:
    static constexpr size_t kMaxRecord = 256;
    CFastFile& file_;
    char block_[65536];
    size_t fill_ = 0;
};

inline char* Put16(char* p, int64_t v, bool bigEndian) {
    const uint16_t w = static_cast<uint16_t>(static_cast<uint64_t>(v));
    *p++ = static_cast<char>(bigEndian ? w >> 8 : w & 0xFF);
    *p++ = static_cast<char>(bigEndian ? w & 0xFF : w >> 8);
    return p;
}

inline char* Put32BE(char* p, int64_t v) {
    const uint32_t u = static_cast<uint32_t>(static_cast<uint64_t>(v));
    for (int shift = 24; shift >= 0; shift -= 8)
        *p++ = static_cast<char>(u >> shift);
    return p;
}

inline char* PutText(char* p, const char* text) {
    while (*text)
        *p++ = *text++;
    return p;
}

inline char* PutHex4(char* p, uint16_t w) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int shift = 12; shift >= 0; shift -= 4)
        *p++ = kDigits[(w >> shift) & 0xF];
    return p;
}

inline char* PutInt(char* p, int64_t v) { return std::to_chars(p, p + 24, v).ptr; }

// A value as the text types write it: an infinity becomes the largest value the reader gives
// back (1e38 with its sign) and NaN becomes 0, so no "inf" or "nan" reaches a text file.
inline double TextValue(float v) {
    if (std::isnan(v)) return 0.0;
    if (std::isinf(v)) return v > 0 ? 1e38 : -1e38;
    return v;
}

// One record of sample k in the given type.
char* EncodeRecord(int type, const cWaveform& w, int k, char* p) {
    const double i = TextValue(w.I[k]), q = TextValue(w.Q[k]);
    const auto twos = [](double x) { return RoundHalfAway(x * 32767.0); };
    const auto offset = [](double x) { return RoundHalfAway(x * 32767.0 + 32768.0); };
    switch (type) {
        case kFileBin16BeOffset: p = Put16(p, offset(i), true); return Put16(p, offset(q), true);
        case kFileBin16BeTwos: p = Put16(p, twos(i), true); return Put16(p, twos(q), true);
        case kFileBin16LeOffset: p = Put16(p, offset(i), false); return Put16(p, offset(q), false);
        case kFileBin16LeTwos: p = Put16(p, twos(i), false); return Put16(p, twos(q), false);
        case kFileBin32BeTwos:
            p = Put32BE(p, RoundHalfAway(i * 131071.0));
            return Put32BE(p, RoundHalfAway(q * 131071.0));
        case kFileReal16BeOffset: return Put16(p, offset(i), true);
        case kFileReal16BeTwos: return Put16(p, twos(i), true);
        case kFileReal16LeOffset: return Put16(p, offset(i), false);
        case kFileReal16LeTwos: return Put16(p, twos(i), false);
        case kFileCpriMantExp: {
            uint16_t wi, wq;
            EncodeCpri(w.I[k], w.Q[k], wi, wq);
            p = Put16(p, wi, true);
            return Put16(p, wq, true);
        }
        case kFileInstrumentCsv:
        case kFileAsciiIQPair:
            p = FormatSignedExp6(i, p);
            *p++ = ',';
            p = FormatSignedExp6(q, p);
            return PutText(p, "\r\n");
        case kFileAsciiIQLines:
            p = PutText(FormatSignedExp6(i, p), "\r\n");
            return PutText(FormatSignedExp6(q, p), "\r\n");
        case kFileAsciiInt16:
            p = PutInt(p,
                       static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(twos(i)))));
            *p++ = ' ';
            p = PutInt(p,
                       static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(twos(q)))));
            *p++ = '\n';
            return p;
        case kFileAsciiHex16:
            p = PutHex4(PutText(p, "0x"), static_cast<uint16_t>(static_cast<uint64_t>(twos(i))));
            p = PutHex4(PutText(p, ",0x"), static_cast<uint16_t>(static_cast<uint64_t>(twos(q))));
            return PutText(p, "\r\n");
        case kFileTableMhzQ3:
        case kFileTableMhzQ4:
            p = FormatFixed(i * 1e-6, type == kFileTableMhzQ3 ? 3 : 4, p);
            *p++ = ',';
            p = FormatFixed(q, 2, p);
            *p++ = '\n';
            return p;
        case kFileTableMhzQSpec:
            p = FormatFixed(i * 1e-6, 3, p);
            *p++ = ',';
            p = FormatFixed(q, 2, p);
            *p++ = ',';
            p = FormatFixed(TextValue(w.spectrum[k]), 2, p);
            *p++ = '\n';
            return p;
        case kFileTableMilli:
            if (w.I[k] == 0.0f) return p;
            // The whole integer: kHz-scaled values pass 2^31 and must not wrap.
            p = PutInt(p, RoundHalfAway(i * 1000.0));
            *p++ = ',';
            p = PutInt(p, RoundHalfAway(q * 1000.0));
            *p++ = '\n';
            return p;
        default: return p;
    }
}

// R(v) for the integer types, where only the low 16 or 32 bits are kept: the clamp to +-2^62
// only keeps the conversion defined, since such values wrap to meaningless bits either way.
// Branch-free, as the signs of real samples are random: copysign gives -0.5 for v = -0.0 and
// +0.5 for +0.0, both truncating to 0 as R does. NaN becomes 0.
inline int64_t RoundForWrap(double v) {
    double r = v + std::copysign(0.5, v);
    r = r == r ? r : 0.0;
    r = std::fmin(std::fmax(r, -4.6e18), 4.6e18);
    return static_cast<int64_t>(r);
}

// The 16-bit binary types in tight loops (they carry the large captures).
template <bool BigEndian, bool Offset, bool Real>
char* Encode16(const float* I, const float* Q, int count, char* p) {
    const double add = Offset ? 32768.0 : 0.0;
    for (int k = 0; k < count; ++k) {
        p = Put16(p, RoundForWrap(I[k] * 32767.0 + add), BigEndian);
        if (!Real) p = Put16(p, RoundForWrap(Q[k] * 32767.0 + add), BigEndian);
    }
    return p;
}

// The samples exactly as they are held: no scaling, no rounding.
char* EncodeCf32(const float* I, const float* Q, int count, char* p) {
    const auto put = [](char* at, float v) {
        uint32_t u = std::bit_cast<uint32_t>(v);
        if constexpr (std::endian::native == std::endian::big) u = __builtin_bswap32(u);
        std::memcpy(at, &u, 4);
    };
    for (int k = 0; k < count; ++k, p += 8) {
        put(p, I[k]);
        put(p + 4, Q[k]);
    }
    return p;
}

// The 8-bit types saturate: wrapping would turn a slight overdrive into a sign flip, and no
// reader of these captures expects it. NaN is written as 0, an infinity as full scale.
template <bool Unsigned>
char* Encode8(const float* I, const float* Q, int count, char* p) {
    const auto byte = [](float x) {
        const double v = TextValue(x);
        const int64_t r = Unsigned ? RoundHalfAway(v * 127.5 + 127.5) : RoundHalfAway(v * 127.0);
        return static_cast<char>(Unsigned ? std::clamp<int64_t>(r, 0, 255)
                                          : std::clamp<int64_t>(r, -128, 127));
    };
    for (int k = 0; k < count; ++k) {
        *p++ = byte(I[k]);
        *p++ = byte(Q[k]);
    }
    return p;
}

// Each value widened to double, exactly.
char* EncodeCf64(const float* I, const float* Q, int count, char* p) {
    const auto put = [](char* at, float v) {
        uint64_t u = std::bit_cast<uint64_t>(static_cast<double>(v));
        if constexpr (std::endian::native == std::endian::big) u = __builtin_bswap64(u);
        std::memcpy(at, &u, 8);
    };
    for (int k = 0; k < count; ++k, p += 16) {
        put(p, I[k]);
        put(p + 8, Q[k]);
    }
    return p;
}

// Saturating, as the 8-bit types do: a word that wrapped would flip the sign of an overdrive.
char* EncodeCi32(const float* I, const float* Q, int count, char* p) {
    const auto put = [](char* at, float x) {
        const int64_t r = std::clamp<int64_t>(RoundHalfAway(x * kScaleInt32), INT32_MIN, INT32_MAX);
        const uint32_t u = static_cast<uint32_t>(r);
        const char bytes[4] = {static_cast<char>(u), static_cast<char>(u >> 8),
                               static_cast<char>(u >> 16), static_cast<char>(u >> 24)};
        std::memcpy(at, bytes, 4);
    };
    for (int k = 0; k < count; ++k, p += 8) {
        put(p, I[k]);
        put(p + 4, Q[k]);
    }
    return p;
}

using BlockEncoder = char* (*)(const float*, const float*, int, char*);

BlockEncoder BlockEncoderFor(int type) {
    switch (type) {
        case kFileCf32Le: return EncodeCf32;
        case kFileCs8: return Encode8<false>;
        case kFileCu8: return Encode8<true>;
        case kFileCf64Le: return EncodeCf64;
        case kFileCi32Le: return EncodeCi32;
        case kFileBin16BeOffset: return Encode16<true, true, false>;
        case kFileBin16BeTwos: return Encode16<true, false, false>;
        case kFileBin16LeOffset: return Encode16<false, true, false>;
        case kFileBin16LeTwos: return Encode16<false, false, false>;
        case kFileReal16BeOffset: return Encode16<true, true, true>;
        case kFileReal16BeTwos: return Encode16<true, false, true>;
        case kFileReal16LeOffset: return Encode16<false, true, true>;
        case kFileReal16LeTwos: return Encode16<false, false, true>;
        default: return nullptr;
    }
}

// Writes samples 0 .. n-1 of w in type (one with an encoder) to file.
void WriteSamples(const cWaveform& w, int type, int n, CFastFile& file) {
    RecordSink sink(file);
    if (type == kFileInstrumentCsv)
        sink.Append(BuildInstrumentHeader(w.sampleRate, w.centreFrequencyKHz, w.inputRange,
                                          std::time(nullptr)));
    if (const BlockEncoder encode = BlockEncoderFor(type)) {
        constexpr int kBlock = 8192;  // samples: at most 128 kB of output
        std::unique_ptr<char[]> block(new char[16 * kBlock]);
        for (int k = 0; k < n; k += kBlock) {
            const int count = std::min(kBlock, n - k);
            file.Write(
                block.get(),
                static_cast<size_t>(encode(&w.I[k], &w.Q[k], count, block.get()) - block.get()));
        }
    } else {
        for (int k = 0; k < n; ++k)
            sink.Commit(EncodeRecord(type, w, k, sink.Reserve()));
    }
}

}  // namespace

int cWaveform::SaveFile(const std::string& path, SaveFailure* failure) {
    const auto fail = [failure](SaveFailure why) {
        if (failure) *failure = why;
        return 0;
    };
    if (failure) *failure = SaveFailure::None;
    saveErrno = 0;
    EnsureTimeDomain(false);
    const bool recordingFile = IsSigmfPath(path);
    const bool archiveFile = IsSigmfArchivePath(path);
    const bool wavFile = IsWavPath(path);
    // A recording is written in one of the two types SigMF readers all take; a WAV file in
    // 16-bit PCM or float.
    const int type = recordingFile || archiveFile ? SigmfSaveFileType(fileType)
                     : wavFile                    ? WavSaveFileType(fileType)
                                                  : fileType;
    // Refused before anything is created, so an existing file is never lost to them.
    if (!HasEncoder(type)) return fail(SaveFailure::NoEncoder);
    const int n = std::min<int>(sampleCount, static_cast<int>(std::min(I.size(), Q.size())));
    if (type == kFileTableMhzQSpec && (spectrum.empty() || static_cast<int>(spectrum.size()) < n))
        return fail(SaveFailure::NoSpectrumBuffer);

    // The header libsndfile writes for these samples, ahead of them.
    std::string wavHeader;
    if (wavFile) {
        if (!WavHeaderFor(type, n, sampleRate, wavHeader).empty())
            return fail(sampleRate > INT_MAX ? SaveFailure::RateBeyondWav
                                             : SaveFailure::WriteFailed);
    }
    const std::string target = recordingFile ? SigmfDataPath(path) : path;
    const std::string metaPath = recordingFile ? SigmfMetaPath(path) : std::string();
    for (const std::string* p : {&target, &metaPath}) {
        if (p->empty()) continue;
        if (const SaveFailure check = CheckSaveTarget(*p, &saveErrno); check != SaveFailure::None)
            return fail(check);
        if (const std::optional<SourceFile> cut = PartialReadAt(*p)) {
            saveCutFile = *cut;
            return fail(SaveFailure::WouldCutSource);
        }
    }

    // The metadata of a recording: what was read, the digest of the samples as written.
    std::string metaText, digestHex;
    if (recordingFile || archiveFile) {
        cSha512 digest;
        const auto hasher = CFastFile::Sink([&](const void* b, size_t k) { digest.Add(b, k); });
        WriteSamples(*this, type, n, *hasher);
        hasher->Drain();
        SigmfSaveFields fields;
        fields.sampleRateHz = sampleRate;
        fields.frequencyHz = recording.centreFrequencyHz;
        fields.description = recording.description;
        fields.author = recording.author;
        fields.firstSample = source.IsRange() ? source.firstSample : 0;
        fields.sampleCount = n;
        fields.segments = recording.segments;
        fields.annotations = recording.annotations;
        fields.otherGlobalKeys = recording.otherGlobalKeys;
        fields.otherTopKeys = recording.otherTopKeys;
        fields.sha512 = digestHex = digest.Hex();
        metaText = BuildSigmfMeta(SigmfSaveDatatype(fileType), fields);
    }

    AtomicFileReplace out(target);
    if (!out.Opened()) {
        saveErrno = out.Error();
        return fail(SaveFailure::CannotCreate);
    }
    // An archive's bytes: a tar of the metadata and the samples.
    const auto writeArchive = [&](CFastFile& file) {
        std::string name = path.substr(path.rfind('/') + 1);
        name.resize(name.size() - 6);  // ".sigmf"
        if (name.empty()) name = "recording";
        return WriteSigmfArchive(
            name, metaText, n * BytesPerSample(type),
            [&](const std::function<void(const void*, size_t)>& to) {
                const auto sink = CFastFile::Sink(to);
                WriteSamples(*this, type, n, *sink);
                sink->Drain();
            },
            [&file](const void* b, size_t k) {
                file.Write(b, k);
                return !file.Failed();
            });
    };
    if (out.InPlace()) {
        // The old bytes are overwritten as the new ones go out: the disk must hold all of them
        // before the first is written. The encoders are measured by a dry run.
        const std::unique_ptr<CFastFile> counter = CFastFile::Counter();
        counter->Write(wavHeader.data(), wavHeader.size());
        if (archiveFile)
            writeArchive(*counter);
        else
            WriteSamples(*this, type, n, *counter);
        if (!out.Reserve(counter->Written())) {
            saveErrno = out.Error();
            return fail(SaveFailure::WriteFailed);
        }
    }
    if (archiveFile) {
        if (!writeArchive(out.File()).empty() && !out.File().Failed()) {
            saveErrno = EIO;
            return fail(SaveFailure::WriteFailed);
        }
    } else {
        out.File().Write(wavHeader.data(), wavHeader.size());
        WriteSamples(*this, type, n, out.File());
    }
    const auto writeFailed = [&](AtomicFileReplace& file) {
        saveErrno = file.Error();
        return fail(file.InPlace() ? SaveFailure::WriteFailedInPlace : SaveFailure::WriteFailed);
    };
    if (recordingFile) {
        // Both files complete on disk before either replaces its target; the data goes first,
        // so the metadata never names samples that are not there.
        if (!out.Finish()) return writeFailed(out);
        const std::string& text = metaText;
        AtomicFileReplace meta(metaPath);
        if (!meta.Opened()) {
            saveErrno = meta.Error();
            return fail(SaveFailure::CannotCreate);
        }
        if (!meta.Reserve(static_cast<int64_t>(text.size()))) {
            saveErrno = meta.Error();
            return fail(SaveFailure::WriteFailed);
        }
        meta.File().Write(text.data(), text.size());
        if (!meta.Finish()) return writeFailed(meta);
        if (!out.Commit()) return writeFailed(out);
        if (!meta.Commit()) return writeFailed(meta);
    } else if (!out.Commit()) {
        return writeFailed(out);
    }
    if (recordingFile || archiveFile) {
        recording.datatype = SigmfSaveDatatype(fileType);
        recording.describedSamples = 0;
        recording.annotationCount = static_cast<int64_t>(recording.annotations.size());
        recording.sha512 = digestHex;
    }
    title = path;
    return 1;
}
