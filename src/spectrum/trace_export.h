#pragma once
// The spectrum trace as a CSV file of "frequency,level" lines (Hz with one decimal, dB with
// two, CR LF), one line per trace point; the dialog around it belongs to the shell.

#include <string>

class cSpectrumTrace;

enum class ExportResult { Exported, NoTrace, CannotCreate, WriteFailed };

// Complex trace: N lines from -fs/2 (spectrum kinds up to QI) or from 0 Hz with the trace
// turned so DC comes first (the DC-to-fs kinds), in steps of fs/N. Real trace: N/2 lines from
// 0 to fs/2 in steps of (fs/2)/(N/2 - 1). An existing file at path is replaced only by the
// complete new one; a target that is not a regular file or not writable gives CannotCreate.
ExportResult ExportSpectrum(const cSpectrumTrace& trace, int spectrumKind, const std::string& path);

// The text of one export line for frequency f (Hz) and level (dB), CR LF included.
std::string ExportLine(double frequencyHz, double levelDb);
