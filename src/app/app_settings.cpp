#include "app/app_settings.h"

#include <QVariant>

#include "waveform/file_types.h"

namespace {

std::optional<long long> ReadInteger(const QSettings& store, const char* key) {
    const QVariant v = store.value(key);
    if (!v.isValid()) return std::nullopt;
    bool ok = false;
    const long long n = v.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return n;
}

// Texts of 255 characters or more, and (for paths) of fewer than 3, count as missing.
std::optional<std::string> ReadText(const QSettings& store, const char* key) {
    const QVariant v = store.value(key);
    if (!v.isValid() || v.typeId() != QMetaType::QString) return std::nullopt;
    const std::string s = v.toString().toStdString();
    if (s.size() >= 255 || s.size() < 3) return std::nullopt;
    return s;
}

bool IsFftSize(long long n) { return n >= 128 && n <= 524288 && (n & (n - 1)) == 0; }

}  // namespace

QSettings& ProgramSettings() {
    static QSettings store("Quorvalen", "Quorvalen");
    return store;
}

AppSettings ReadAppSettings(const QSettings& store) {
    AppSettings s;
    // Only a type the program can read: headerless files open in it, so a write-only type
    // (the instrument and table formats) would fail every open.
    if (auto v = ReadInteger(store, "Filetype");
        v && *v >= INT32_MIN && *v <= INT32_MAX && IsReadableFileType(static_cast<int>(*v)))
        s.fileType = static_cast<int>(*v);
    if (auto v = ReadInteger(store, "Fs")) s.sampleRateHz = *v > 0 ? *v : kReplacementSampleRateHz;
    // An FFT size the trace cannot use would fail every recompute: keep the default instead.
    if (auto v = ReadInteger(store, "FFTSize"); v && IsFftSize(*v))
        s.fftSize = static_cast<int>(*v);
    if (auto v = ReadInteger(store, "LTEDuplex"); v && *v >= 0 && *v <= 65535)
        s.lteDuplex = static_cast<int>(*v);
    s.waveformFolder = ReadText(store, "Waveform_Folder");
    s.installPath = ReadText(store, "InstallPath");
    return s;
}

void WriteAppSettings(QSettings& store, const AppSettings& s) {
    store.setValue("Filetype", s.fileType);
    store.setValue("Fs", static_cast<qlonglong>(s.sampleRateHz));
    store.setValue("FFTSize", s.fftSize);
    store.setValue("LTEDuplex", s.lteDuplex);
    store.sync();
}

void WriteWaveformFolder(QSettings& store, const std::string& folder) {
    if (folder.empty() || folder.size() >= 255) return;
    store.setValue("Waveform_Folder", QString::fromStdString(folder));
}
