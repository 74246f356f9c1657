#pragma once
// A second waveform a tool reads from a file: the waveform to combine, append or correlate
// with, a marker file, FIR taps.

#include <cstdint>

#include "tools/tool.h"

class cWaveform;

// Asks for a file through ctx.input->FileName(question, question.prompt) (question.prompt is the
// file dialog's title; in a qrvn edit step the path is the value of question.name, "file") and
// reads it into out with the waveform reader as Open reads it: in the type its extension or
// metadata names, else in fileType (a WaveformFileType; tools pass ctx.fileType, the marker
// levelling kFileMarker, which no extension overrides), starting from sampleRateHz (a rate in the
// file's name wins, as for any load). ctx.secondFileNote then names the file, the type read and
// what the read left out, for the tool's closing text. Returns kToolOk with at least one sample in
// out; kErrCancelled when no file was chosen; kErrLoadFailed (waveform.h) when the file cannot be
// read or decodes to no samples, with out.loadFailure saying why and out left empty. A failed load
// never leaves samples behind for the tool to work on.
int LoadSecondWaveform(ToolContext& ctx, const PromptSpec& question, int fileType,
                       int64_t sampleRateHz, cWaveform& out);
