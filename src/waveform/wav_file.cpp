#include "waveform/wav_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <vector>

#include "waveform/file_messages.h"
#include "waveform/file_types.h"
#include "waveform/reader_parts.h"

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (size_t k = 0; k < suffix.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(tail[k])) != suffix[k]) return false;
    return true;
}

// The decoder of a subformat with one or two channels, and its words; 0 when there is none.
int TypeFor(int subformat, int channels, std::string& words) {
    const bool two = channels == 2;
    switch (subformat) {
        case SF_FORMAT_PCM_U8: words = "8-bit PCM"; return two ? kFileWavU8 : 0;
        case SF_FORMAT_PCM_16:
            words = "16-bit PCM";
            return two ? kFileBin16LeTwos : kFileReal16LeTwos;
        case SF_FORMAT_PCM_24: words = "24-bit PCM"; return two ? kFileInt24Le : 0;
        case SF_FORMAT_PCM_32: words = "32-bit PCM"; return two ? kFileCi32Le : 0;
        case SF_FORMAT_FLOAT: words = "32-bit float"; return two ? kFileCf32Le : kFileRf32Le;
        case SF_FORMAT_DOUBLE: words = "64-bit float"; return two ? kFileCf64Le : 0;
        default: words = "compressed or unusual"; return 0;
    }
}

// The header of a file being written, caught as libsndfile writes it; the samples' bytes after
// it are only counted.
struct HeaderSink {
    std::string header;
    int64_t position = 0, length = 0;
    int64_t dataStart = -1;       // where the samples begin, once the header is out
    int64_t dataEnd = INT64_MAX;  // where they end, once known
    bool wroteAfterData = false;
};

sf_count_t SinkLength(void* user) { return static_cast<HeaderSink*>(user)->length; }

sf_count_t SinkSeek(sf_count_t offset, int whence, void* user) {
    auto* s = static_cast<HeaderSink*>(user);
    const int64_t base = whence == SEEK_CUR ? s->position : whence == SEEK_END ? s->length : 0;
    s->position = std::max<int64_t>(0, base + offset);
    return s->position;
}

sf_count_t SinkRead(void*, sf_count_t, void*) { return 0; }

sf_count_t SinkWrite(const void* data, sf_count_t count, void* user) {
    auto* s = static_cast<HeaderSink*>(user);
    if (s->dataStart < 0 || s->position < s->dataStart) {
        const size_t end = static_cast<size_t>(s->position + count);
        if (s->header.size() < end) s->header.resize(end, '\0');
        std::memcpy(s->header.data() + s->position, data, static_cast<size_t>(count));
    } else if (s->position + count > s->dataEnd) {
        s->wroteAfterData = true;
    }
    s->position += count;
    s->length = std::max(s->length, s->position);
    return count;
}

sf_count_t SinkTell(void* user) { return static_cast<HeaderSink*>(user)->position; }

}  // namespace

bool IsWavPath(std::string_view path) {
    return EndsWithNoCase(path, ".wav") || EndsWithNoCase(path, ".rf64");
}

std::string ReadWavLayout(const std::string& path, WavLayout& out) {
    out = WavLayout{};
    const std::string name = BaseName(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return name + ": " + std::strerror(errno);
    SF_INFO info{};
    SNDFILE* sf = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
    if (!sf) {
        const std::string why = sf_strerror(nullptr);
        ::close(fd);
        return name + " is not a WAV file this program reads (" + why + ")";
    }
    // libsndfile leaves the file at the first sample once it has read the header.
    const int64_t offset = ::lseek(fd, 0, SEEK_CUR);
    const int major = info.format & SF_FORMAT_TYPEMASK;
    std::string words;
    const int type = TypeFor(info.format & SF_FORMAT_SUBMASK, info.channels, words);
    std::string why;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64)
        why = name + " is a sound file but not a WAV or RF64 file";
    else if ((info.format & SF_FORMAT_ENDMASK) == SF_ENDIAN_BIG)
        why = name + " is a big-endian (RIFX) file, which this program does not read";
    else if (info.channels < 1 || info.channels > 2)
        why = name + " has " + std::to_string(info.channels) +
              " channels; I and Q are read from two (left and right)";
    else if (type == 0)
        why = name + " holds " + words + " samples in " + std::to_string(info.channels) +
              " channel" + (info.channels == 1 ? "" : "s") +
              "; this program reads 8, 16, 24 and 32-bit PCM and 32 and 64-bit float in two "
              "channels, 16-bit PCM and float in one";
    else if (offset <= 0 || info.samplerate <= 0)
        why = name + ": the samples could not be found";
    if (why.empty()) {
        // The bytes libsndfile hands over as stored must be the ones at the offset taken above.
        const int stride = static_cast<int>(BytesPerSample(type));
        const sf_count_t probe = std::min<sf_count_t>(info.frames, 16) * stride;
        std::vector<char> a(static_cast<size_t>(probe)), b(static_cast<size_t>(probe));
        if (probe > 0 &&
            (sf_read_raw(sf, a.data(), probe) != probe ||
             ::pread(fd, b.data(), static_cast<size_t>(probe), offset) != probe || a != b))
            why = name + ": the samples could not be found";
        SF_CHUNK_INFO wanted{};
        std::memcpy(wanted.id, "auxi", 4);
        wanted.id_size = 4;
        // The auxi chunk of receiver programs: two 16-byte times, then the centre frequency
        // (32-bit, Hz).
        if (SF_CHUNK_ITERATOR* it = sf_get_chunk_iterator(sf, &wanted)) {
            SF_CHUNK_INFO chunk{};
            if (sf_get_chunk_size(it, &chunk) == SF_ERR_NO_ERROR && chunk.datalen >= 36 &&
                chunk.datalen <= 1 << 16) {
                std::vector<unsigned char> data(chunk.datalen);
                chunk.data = data.data();
                if (sf_get_chunk_data(it, &chunk) == SF_ERR_NO_ERROR) {
                    const uint32_t hz = data[32] | uint32_t{data[33]} << 8 |
                                        uint32_t{data[34]} << 16 | uint32_t{data[35]} << 24;
                    if (hz > 0) out.centreHz = static_cast<double>(hz);
                }
            }
        }
        out.fileType = type;
        out.dataOffset = offset;
        // A length left open by a writer that never finished (libsndfile then counts to the
        // end of the file, or gives the largest count) stays far from overflowing an offset.
        constexpr int64_t kOpenLength = INT64_MAX / 4;
        out.dataBytes = info.frames >= 0 && info.frames < kOpenLength / stride
                            ? static_cast<int64_t>(info.frames) * stride
                            : kOpenLength / stride * stride;
        out.sampleRateHz = info.samplerate;
        out.format = words + ", " + std::to_string(info.channels) + " channel" +
                     (info.channels == 1 ? "" : "s");
    }
    sf_close(sf);
    ::close(fd);
    if (!why.empty()) out = WavLayout{};
    return why;
}

int WavSaveFileType(int fileType) {
    switch (fileType) {
        case kFileCf32Le:
        case kFileCf32Be:
        case kFileRf32Le:
        case kFileRf32Be:
        case kFileCf64Le: return kFileCf32Le;
        default: return kFileBin16LeTwos;
    }
}

std::string WavHeaderFor(int saveType, int64_t sampleCount, int64_t sampleRateHz,
                         std::string& header) {
    header.clear();
    if (sampleRateHz < 1 || sampleRateHz > INT_MAX)
        return "a WAV file holds sample rates up to 2,147,483,647 Hz";
    const bool floats = saveType == kFileCf32Le;
    const int64_t bytes = sampleCount * (floats ? 8 : 4);
    // RF64 only where a WAV file's 32-bit lengths cannot hold the samples: plain WAV (format
    // tags 1 and 3) is what every reader takes.
    const bool rf64 = bytes > 4'000'000'000;
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRateHz);
    info.channels = 2;
    info.format =
        (rf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | (floats ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    HeaderSink sink;
    SF_VIRTUAL_IO io{SinkLength, SinkSeek, SinkRead, SinkWrite, SinkTell};
    SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
    if (!sf) return std::string("the WAV header could not be made (") + sf_strerror(nullptr) + ")";
    // No PEAK chunk, whose levels would need the samples themselves.
    sf_command(sf, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    sf_command(sf, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    sink.dataStart = sink.position;
    // The samples are counted, not kept: the header written at the end states their length.
    sink.dataEnd = sink.dataStart + bytes;
    const std::vector<char> zeros(size_t{1} << 20, '\0');
    for (int64_t done = 0; done < bytes;) {
        const sf_count_t n = std::min<int64_t>(bytes - done, static_cast<int64_t>(zeros.size()));
        if (sf_write_raw(sf, zeros.data(), n) != n) break;
        done += n;
    }
    sf_close(sf);
    if (sink.dataStart <= 0 || sink.length != sink.dataStart + bytes || sink.wroteAfterData)
        return "the WAV header could not be made";
    header = sink.header.substr(0, static_cast<size_t>(sink.dataStart));
    return "";
}
