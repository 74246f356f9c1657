#pragma once
// The menu commands of the window that are neither a view kind, a measurement nor an editing
// tool (those live with their owners: display/view_kinds.h, measure/measure_ids.h,
// tools/tool_ids.h). Each value is the menu command id other programs send, and some are
// stored settings, so the numbers never change. Only these headers spell them.

#include "dsp/window.h"
#include "waveform/file_types.h"

// File menu.
constexpr int kCmdNew = 101;
constexpr int kCmdOpen = 102;
constexpr int kCmdSave = 103;
constexpr int kCmdSaveAs = 104;
constexpr int kCmdPrint = 105;  // Ctrl+P: no printing in this program
constexpr int kCmdExit = 107;
constexpr int kCmdRecentFirst = 66;  // recent files 66 .. 73, newest first
constexpr int kCmdRecentLast = 73;
constexpr int kRecentFileCount = kCmdRecentLast - kCmdRecentFirst + 1;
constexpr int kCmdSingleShot = 40040, kCmdLoopedRetrieval = 40041;
constexpr int kCmdReplaceDownload = 40042, kCmdAppendDownload = 40043;
constexpr int kCmdDownloadToFile = 40103;
constexpr int kCmdExportFft = 32827;

// Edit menu.
constexpr int kCmdUndo = 40002;

// File Type menu behaviour.
constexpr int kCmdReparseMode = 430;   // a file type re-parses the file's bytes
constexpr int kCmdSaveTypeMode = 431;  // a file type only sets the save format

// View menu and frame.
constexpr int kCmdToolbar = 43;
constexpr int kCmdStatusBar = 44;

// Processed Views menu.
constexpr int kCmdMonitorReload = 40007;
constexpr int kCmdMonitorAppend = 40090;
constexpr int kCmdMonitorAverage = 40089;
constexpr int kCmdAverage = 32798, kCmdClearWrite = 32797;
constexpr int kCmdPlayThrough = 201;
constexpr int kCmdDcCoupling = 32801, kCmdAcCoupling = 32800;

// Display menu and the Y-axis queries and setters.
constexpr int kCmdSetReference = 225;
constexpr int kCmdSetDivisions = 226;
constexpr int kCmdSetScale = 227;
constexpr int kCmdAxisDefaults = 228;
constexpr int kCmdDbmOffset = 229;
constexpr int kCmdQueryReference = 41008;
constexpr int kCmdQueryDivisions = 41009;
constexpr int kCmdQueryScale = 41010;
constexpr int kCmdSetReferenceValue = 41011;
constexpr int kCmdSetDivisionsValue = 41012;
constexpr int kCmdSetScaleValue = 41013;

// FFT menu: sizes 128 (204) .. 512k (216).
constexpr int kCmdFftSizeFirst = 204;
constexpr int kCmdFftSizeLast = 216;
constexpr bool IsFftSizeCommand(int id) { return id >= kCmdFftSizeFirst && id <= kCmdFftSizeLast; }
// FFT size of an FFT size command (128 .. 512k): 2^(id - 197); 0 for other ids.
constexpr int FftSizeForCommand(int id) { return IsFftSizeCommand(id) ? 1 << (id - 197) : 0; }

// Help menu.
constexpr int kCmdHelp = 133;
constexpr int kCmdAbout = 120;

// LTE duplex choices (stored; set by the command line).
constexpr int kLteFdd = 40108, kLteTdd38 = 40106, kLteTdd27 = 40107, kLteTdd25 = 40142,
              kLteTdd17 = 40143, kLteTdd14 = 40144;
// Analysis settings outside this program that still count as display settings.
constexpr int kCmdAnalysisFirst = 41000, kCmdAnalysisSetting = 41003, kCmdAnalysisLast = 41014,
              kCmdAnalysisOption = 40147;

// Tools: sampling frequency, filter shapes, the FIR designer.
constexpr int kCmdSampleRate = 525;
constexpr int kCmdShapeGaussian = 415, kCmdShapeRaisedCosine = 416, kCmdShapeRootRaisedCosine = 417;
constexpr int kCmdFirDesigner = 32845;
// Capture > Load Range…: a stretch of a capture of any size as the working waveform.
constexpr int kCmdLoadRange = 32900;
// View: the spectrogram's FFT settings, its grey colour map, and its pane in the 4-up view.
constexpr int kCmdSpectrogramSettings = 32910, kCmdSpectrogramGrey = 32911,
              kCmdSpectrogramInMulti = 32912;
// View: the markers of the plot shown and their table.
constexpr int kCmdMarkerPlace = 32920, kCmdMarkerPeak = 32921, kCmdMarkerNextLeft = 32922,
              kCmdMarkerNextRight = 32923, kCmdMarkerNextLower = 32924, kCmdMarkerDelete = 32925,
              kCmdMarkerDeleteAll = 32926, kCmdMarkerDelta = 32927, kCmdMarkerWidths = 32928,
              kCmdMarkerTable = 32929;
// Capture: a recording's annotations (the list, going to the next or previous one, adding
// one from the selection, editing and deleting the chosen one) and the channel read of a
// recording of several; View: the time axes in the time of day a recording gives.
constexpr int kCmdAnnotationList = 32940, kCmdAnnotationAdd = 32941, kCmdAnnotationNext = 32942,
              kCmdAnnotationPrevious = 32943, kCmdAnnotationEdit = 32944,
              kCmdAnnotationDelete = 32945, kCmdRecordingChannel = 32946, kCmdAbsoluteTime = 32947;
// Measure: modulation accuracy (blind, or against a reference file) and clearing its results.
constexpr int kCmdModulationAnalysis = 32930, kCmdEvmReference = 32931, kCmdModulationClear = 32932;

// The groups whose entries carry one check mark between them.
inline constexpr int kFileTypeCommands[] = {
    kFileAsciiIQLines,  kFileAsciiIQPair,    kFileAsciiInt16,    kFileAsciiHex16,
    kFileBin16BeOffset, kFileBin16BeTwos,    kFileBin16LeOffset, kFileBin16LeTwos,
    kFileBin32BeTwos,   kFileReal16BeOffset, kFileReal16BeTwos,  kFileReal16LeOffset,
    kFileReal16LeTwos,  kFileCpriMantExp,    kFileCf32Le,        kFileCs8,
    kFileCu8,           kFileCf64Le,         kFileCi32Le};
inline constexpr int kWindowCommands[] = {kWindowRect, kWindowHann, kWindowBlackmanHarris,
                                          kWindowBartlett};
inline constexpr int kShapeCommands[] = {kCmdShapeGaussian, kCmdShapeRaisedCosine,
                                         kCmdShapeRootRaisedCosine};
