#include "spectrum/trace_export.h"

#include <cmath>

#include "spectrum/power_trace.h"
#include "waveform/fast_file.h"
#include "waveform/number_format.h"

std::string ExportLine(double frequencyHz, double levelDb) {
    char line[80];
    char* p = FormatExportNumber(frequencyHz, 1, line);
    *p++ = ',';
    p = FormatExportNumber(levelDb, 2, p);
    *p++ = '\r';
    *p++ = '\n';
    return std::string(line, p);
}

ExportResult ExportSpectrum(const cSpectrumTrace& trace, int spectrumKind,
                            const std::string& path) {
    if (!trace.traceValid || trace.N < 2) return ExportResult::NoTrace;
    // A FIFO, a device or a write-protected file is left alone, as by a save.
    if (CheckSaveTarget(path) != SaveFailure::None) return ExportResult::CannotCreate;
    AtomicFileReplace out(path);
    if (!out.Opened()) return ExportResult::CannotCreate;

    const int N = trace.N;
    const double fs = static_cast<double>(trace.sampleRate);
    int points;
    double f0, step;
    int shift = 0;
    if (trace.complex) {
        points = N;
        step = fs / N;
        const bool dcToFs = spectrumKind == kSpectrumIQDcFs || spectrumKind == kSpectrumQIDcFs;
        f0 = dcToFs ? 0.0 : -fs / 2.0;
        // From 0 Hz the trace starts at its DC point (N/2) and wraps round to the negative half.
        if (dcToFs) shift = N / 2;
    } else {
        points = N / 2;
        f0 = 0.0;
        step = (fs / 2.0) / (N / 2 - 1);
    }
    for (int i = 0; i < points; ++i) {
        int k = i + shift;
        if (k > N - 1) k -= N;
        const float log = static_cast<float>(std::log10(static_cast<double>(trace.power[k])));
        const std::string line = ExportLine(f0 + i * step, 10.0f * log);
        out.File().Write(line.data(), line.size());
    }
    return out.Commit() ? ExportResult::Exported : ExportResult::WriteFailed;
}
