#pragma once
// One complex baseband waveform: I and Q samples (float, full scale 1.0), the sample rate, the
// file type it was read in and is written in, the bytes of that file (for re-parsing), and an
// on-demand zero-padded spectrum form of the same samples. Operations build results in the
// scratch arrays and exchange them in, so the old arrays stay valid until the result is whole.

#include <cstdint>
#include <optional>
#include <string>

#include "waveform/allocator.h"
#include "waveform/fast_file.h"
#include "waveform/file_types.h"
#include "waveform/sigmf.h"

// Which representation of the samples is current.
enum class DomainState : int { TimeOnly = 0, SpectrumOnly = 1, Both = 2 };

// Error code of a failed load (nothing decoded, or the file could not be opened or read).
constexpr int kErrLoadFailed = 0x1000001A;

constexpr int64_t kDefaultSampleRateHz = 491'520'000;
// Rate given to a waveform whose rate would otherwise be below 1 kHz after a load.
constexpr int64_t kFallbackSampleRateHz = 245'760'000;
constexpr int kNewWaveformLength = 65536;

// The rate a load gives a waveform from a rate in Hz its metadata states: rounded to whole
// hertz, at most 9e18, and kFallbackSampleRateHz below 1 kHz (or for NaN).
int64_t LoadedSampleRateHz(double hz);

// Why a load failed.
enum class LoadFailure {
    None,
    CannotOpen,      // open() failed: loadErrno says why
    NotRegularFile,  // a folder, FIFO, socket or device: refused without reading
    Empty,           // a regular file of 0 bytes
    ReadFailed,      // the read failed before any byte arrived: loadErrno says why
    NoSamples,       // the bytes decode to no sample in the file type
    BadRecording     // a SigMF recording that cannot be read: loadDetail says why
};

// What a SigMF recording's metadata said besides the samples. Empty for a headerless file; kept
// with the samples while they are edited, since it describes where they were captured.
struct RecordingInfo {
    std::string datatype;  // core:datatype ("ci16_le") of the recording last read or written
    std::optional<double> sampleRateHz;       // core:sample_rate, when the metadata gave one
    std::optional<double> centreFrequencyHz;  // core:frequency of the first capture
    std::string description, author;
    int64_t describedSamples = 0;  // samples the captures and annotations reach
    int64_t annotationCount = 0;
    std::vector<SigmfSegment> segments;        // the capture segments, counted in the data file
    std::vector<SigmfAnnotation> annotations;  // the annotations that name their samples
    int64_t channelCount = 1;  // core:num_channels; channel is the one read (from 0)
    int64_t channel = 0;
    std::string sha512;                         // core:sha512 as read, lower-case hex
    std::string otherGlobalKeys, otherTopKeys;  // keys kept for a save (see SigmfMeta)
    // Where the data file's bytes lie (a data file, or the data entry of an archive), for a
    // check of core:sha512: the file, and the bytes from dataOffset (dataBytes < 0: to its end).
    std::string dataPath;
    int64_t dataOffset = 0, dataBytes = -1;
    // The segment holding sample s of the data file (the last starting at or before it, the
    // first when none does), or nullptr without segments.
    const SigmfSegment* SegmentAt(int64_t s) const;
};

// The file the samples were decoded from. A file longer than kMaxFileBytes (or cut while it
// was read) leaves bytesRead below fileBytes; saving over it would then lose the rest.
struct SourceFile {
    int64_t fileBytes = 0;  // length on disk when it was read
    int64_t bytesRead = 0;
    uint64_t device = 0, inode = 0;
    // When the file was created (ns), 0 where the file system does not say: a file made later
    // under a freed inode number is another file.
    int64_t bornNs = 0;
    // A range of a capture: where its first sample lies in the file's samples, and how many
    // whole samples the file holds (0 for a file read from its start).
    int64_t firstSample = 0;
    int64_t fileSamples = 0;
    bool ReadInPart() const { return bytesRead < fileBytes; }
    bool IsRange() const { return fileSamples > 0; }
};

class cCaptureSource;

class cWaveform {
public:
    int sampleCount = 0;
    int64_t sampleRate = kDefaultSampleRateHz;  // Hz
    FloatArray I;                               // sampleCount in-phase samples
    FloatArray Q;                               // sampleCount quadrature samples
    FloatArray spectrum;                        // interleaved (re, im), spectrumFloatCount floats
    MarkerArray markers;                        // per-sample marker words
    int markerCount = 0;
    double centreFrequencyKHz = 0.0;  // for the instrument CSV header
    double inputRange = 1.0;          // for the instrument CSV header
    std::string title;
    // Default name for spectrum exports (relative: resolved by the shell's path rules).
    std::string exportFileName = "fft_data.csv";
    int fileType = kDefaultFileType;  // a WaveformFileType
    int saveTypeMode =
        0;  // 0: a File Type command re-parses the raw bytes; 1: it only sets the save format
    int filterShape = 1;  // channel filter pulse: 1 Gaussian, 2 raised cosine, 3 root raised cosine
    DomainState domainState = DomainState::TimeOnly;
    ByteArray rawFile;  // bytes of the last file read
    int rawByteCount = 0;
    FloatArray scratchI;
    FloatArray scratchQ;
    int scratchCount = 0;
    SourceFile source;  // cleared when the samples no longer come from a file (New, failed load)
    LoadFailure loadFailure = LoadFailure::None;  // of the last LoadFile
    int64_t unparsedLines = 0;     // text lines of the last ParseRaw that held no number
    int64_t nonFiniteValues = 0;   // NaN or infinite floats of the last ParseRaw, read as 0
    RecordingInfo recording;       // cleared with source
    int64_t recordingChannel = 0;  // the channel LoadFile reads of a multi-channel recording

    cWaveform() = default;
    ~cWaveform() { Clear(); }
    // Copies samples, spectrum, markers, counts, state, file type and rate (see CopyFrom).
    cWaveform(const cWaveform& other) { CopyFrom(other); }
    cWaveform& operator=(const cWaveform&) = delete;

    // Samples start .. start+count-1 of src (clipped to its end) with src's rate and file type;
    // empty when start is past the end or the count comes out below 1. Only I and Q are copied.
    cWaveform(const cWaveform& src, int start, int count);
    static cWaveform CopyRange(const cWaveform& src, int start, int count) {
        return cWaveform(src, start, count);
    }

    // Releases every array and zeroes the counts; centre frequency 0, input range 1. The raw
    // byte count, strings and settings stay.
    void Clear();

    // Makes this a copy of src: counts, N, state, file type, rate, and the arrays the state
    // says are current, plus markers. Not copied: title, export name, save-type mode, filter
    // shape, raw bytes, scratch; centre frequency and input range reset to 0.0 and 1.0.
    void CopyFrom(const cWaveform& src);

    // Releases the scratch arrays and allocates n (uninitialised) floats for each.
    void AllocateScratch(int n);
    // Exchanges the sample arrays and count with the scratch ones; nothing is copied or freed.
    void SwapScratch();

    // Makes the spectrum form current (zero-padded to the next power of two >= 8, forward
    // transform, scaled by 1/N). willModify marks the time samples stale.
    void EnsureSpectrum(bool willModify);
    // Makes the time samples current from the spectrum form (inverse transform, first
    // sampleCount points). willModify marks the spectrum stale.
    void EnsureTimeDomain(bool willModify);

    // The New command's reset: 65536 zero samples, no raw bytes, save-type mode 1, title
    // "New Waveform", no source file; rate and file type stay. Returns 0.
    int ResetToNew();

    // Reads a regular file (at most 500,000,000 bytes) into the raw buffer and decodes it by
    // fileType; anything else (a FIFO, a device) is refused without blocking. Returns 0, or
    // kErrLoadFailed with the reason in loadFailure and loadErrno when it cannot be opened or
    // read or decodes to nothing; then with keepOnFailure false the waveform becomes one zero
    // sample, else the samples stay.
    // Either file of a SigMF recording (x.sigmf-meta, x.sigmf-data) loads the recording: the
    // data file's samples in the file type of the metadata's datatype, the rate from the
    // metadata when it has one, and what else it said in recording. A data file shorter than
    // the metadata describes loads what it holds (recording.describedSamples says more).
    int LoadFile(const std::string& path, bool keepOnFailure);

    // Loads samples [start, start + count) of a capture: their bytes become the raw buffer (a
    // re-parse decodes the range again), decoded in the capture's file type, with the rate its
    // metadata or name gives (else the rate stays) and its recording's metadata. The source
    // records the range, and a range short of the whole file as a partial read, so no save
    // cuts the file to it. Returns 0, or kErrLoadFailed with the reason in *why and the
    // waveform untouched (a range outside the file or beyond kMaxFileBytes, a file cut short).
    int LoadRange(const cCaptureSource& capture, int64_t start, int64_t count, std::string* why);

    // Decodes the raw buffer by fileType into I and Q and counts the text lines without a
    // number (unparsedLines) and the NaN or infinite floats (nonFiniteValues, decoded as 0).
    // Returns the sample count, or 0 (and the samples unchanged) when the type is unknown or
    // nothing can be decoded.
    int ParseRaw();

    // Writes the samples to path in fileType's format (see waveform_writer.h). Returns 1 when
    // the whole file is written, else 0 with the reason in *failure (and saveErrno). Refused
    // before anything is written: a target that exists and is not a regular file or is not
    // writable by the user, a symbolic link to nothing, and any file this run read only in
    // part (saveCutFile says which). An existing file is replaced only by a complete new one,
    // keeping its permissions, owner and group; in a folder that allows no new file, a writable
    // file is rewritten in place once the disk has reserved the new length, so a full disk
    // leaves it untouched. The title becomes path on success.
    // A path naming either file of a SigMF recording writes both: the samples as ci16_le
    // (cf32_le for the float types, see SigmfSaveDatatype) into x.sigmf-data, then the
    // metadata (rate, recording.centreFrequencyHz, description and author) into x.sigmf-meta.
    // Each replaces its file only when complete, and neither is renamed over its target
    // before both are written.
    int SaveFile(const std::string& path, SaveFailure* failure = nullptr);

    // The transform length N of the spectrum form, and its float count 2N.
    int SpectrumSize() const { return spectrumSize; }
    int SpectrumFloatCount() const { return spectrumFloatCount; }
    // Why the last LoadFile failed, besides loadFailure: the system's reason (errno, 0 for
    // none), and for a recording that cannot be read the text that says why.
    int LoadErrno() const { return loadErrno; }
    const std::string& LoadDetail() const { return loadDetail; }
    // Why the last SaveFile failed: the system's reason (errno, 0 for none), and the file read
    // in part that refused it (WouldCutSource).
    int SaveErrno() const { return saveErrno; }
    const SourceFile& SaveCutFile() const { return saveCutFile; }

private:
    friend void SwapSamples(cWaveform& a, cWaveform& b);
    int spectrumFloatCount = 0;  // 2 * spectrumSize
    int spectrumSize = 0;        // transform length N
    int loadErrno = 0;
    std::string loadDetail;
    int saveErrno = 0;
    SourceFile saveCutFile;
};

// Exchanges what ties two waveforms' samples to the file they came from: the file's bytes (for
// a re-parse), where it lies and how much of it was read (so a save never cuts it), the counts
// of lines that were not numbers and of values that were not finite, and the recording's
// metadata.
void SwapFileOrigin(cWaveform& a, cWaveform& b);

// Exchanges the samples and their forms (what CopyFrom copies) without copying any array.
void SwapSamples(cWaveform& a, cWaveform& b);

// The undo command's exchange: main takes undo's samples and undo takes main's, through a
// temporary copy, so a second call restores the first. The raw file bytes stay with neither.
void UndoExchange(cWaveform& main, cWaveform& undo);
