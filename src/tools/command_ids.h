#pragma once
// The program's one command vocabulary: every menu command, view kind, stored choice and
// command without a menu entry, by name. The numbers double as stored settings (file type,
// window, view kind, mask type, LTE duplex) and as the ids other programs send, so they never
// change. Only this header and the menu table spell them.

// Analysis windows of the spectrum trace (FFT menu); also the stored window setting.
enum WindowType : int {
    kWindowRect = 221,
    kWindowHann = 222,
    kWindowBlackmanHarris = 223,
    kWindowBartlett = 224,
};

// Waveform file formats (File Type menu); the same value selects the reader and the writer.
enum WaveformFileType : int {
    kFileAsciiIQLines = 400,     // "ASCII floating point (I line Q line)"
    kFileAsciiIQPair = 401,      // "ASCII floating point (IQ pair per line)"
    kFileAsciiInt16 = 402,       // "ASCII Integer (16b)"
    kFileAsciiHex16 = 403,       // "ASCII HEX (16b)"
    kFileBin16BeOffset = 404,    // "Binary 16b BE OB - IQ Interleave"
    kFileBin16BeTwos = 405,      // "Binary 16b BE 2s - IQ Interleave"
    kFileBin16LeOffset = 406,    // "Binary 16b LE OB - IQ Interleave"
    kFileBin16LeTwos = 407,      // "Binary 16b LE 2s - IQ Interleave"
    kFileBin32BeTwos = 408,      // "Binary 32b BE 2s - IQ Interleave"
    kFileReal16BeOffset = 409,   // "Binary 16b BE OB - real"
    kFileReal16BeTwos = 410,     // "Binary 16b BE 2s - real"
    kFileReal16LeOffset = 411,   // "Binary 16b LE OB - real"
    kFileReal16LeTwos = 412,     // "Binary 16b LE 2s - real"
    kFileReal16BeTwosAlt = 413,  // no menu entry: read as 410
    kFileReal16LeTwosAlt = 414,  // no menu entry: read as 412
    kFileCpriMantExp = 418,      // "Binary 16b CPRI Mantissa Exponent"
    kFileMarker = 419,           // marker file, one byte per sample (no menu entry)
    // Raw captures of receivers and generators, and the sample formats of SigMF recordings.
    // They follow the last specified type in the unused 420-429 block, so every file type
    // stays a 4xx number below the behaviour commands 430/431.
    kFileCf32Le = 420,  // "Binary 32b float LE - IQ Interleave (.cf32)", as stored, no scaling
    kFileCs8 = 421,     // "Binary 8b 2s - IQ Interleave (.cs8)", full scale 127
    kFileCu8 = 422,     // "Binary 8b unsigned - IQ Interleave (.cu8)", centre and scale 127.5
    kFileCf32Be = 423,  // no menu entry: SigMF cf32_be
    kFileRf32Le = 424,  // no menu entry: SigMF rf32_le (Q = 0)
    kFileRf32Be = 425,  // no menu entry: SigMF rf32_be
    kFileRi8 = 426,     // no menu entry: SigMF ri8, as 421
    kFileRu8 = 427,     // no menu entry: SigMF ru8, as 422
};

// Formats that are only written, chosen through the stored file type setting.
constexpr int kFileInstrumentCsv = 399;    // header, then the lines of 401
constexpr int kFileTableMhzQ3 = 40111;     // "%.3f,%.2f\n": I * 1e-6, Q
constexpr int kFileTableMhzQSpec = 40112;  // "%.3f,%.2f,%.2f\n": I * 1e-6, Q, spectrum float
constexpr int kFileTableMilli = 40113;     // "%d,%d\n": R(I * 1000), R(Q * 1000) where I != 0
constexpr int kFileTableMhzQ4 = 40114;     // "%.4f,%.2f\n": I * 1e-6, Q

// View kinds (View menu); the value is the command that selects the kind.
constexpr int kViewMulti = 300;   // the 4-up overview
constexpr int kViewI = 301;       // spectrum of I (real transform, 0 .. fs/2)
constexpr int kViewQ = 302;       // spectrum of Q (real transform, 0 .. fs/2)
constexpr int kViewIQ = 303;      // I + jQ, -fs/2 .. fs/2
constexpr int kViewQI = 304;      // Q + jI
constexpr int kViewIQDcFs = 305;  // I + jQ, 0 .. fs
constexpr int kViewQIDcFs = 306;  // Q + jI, 0 .. fs
constexpr int kViewTimeI = 307;
constexpr int kViewTimeQ = 308;
constexpr int kViewTimeIQ = 309;
constexpr int kViewLogMag = 310;
constexpr int kViewPhase = 311;
constexpr int kViewVector = 312;
constexpr int kViewCcdf = 313;
constexpr int kViewConstellation = 314;
// Kinds reserved for an external symbol analysis (no results in this program).
constexpr int kViewAnalysisFirst = 315;
constexpr int kViewAnalysisEvm = 316;
constexpr int kViewAnalysisLast = 325;
constexpr int kViewAnalysisMulti = 318;     // an analysis 4-up view
constexpr int kViewAnalysisSpectrum = 324;  // an analysis view that computes a spectrum
constexpr int kCmdPhaseDisplay = 40014;     // the spectrum's phase instead of its magnitude

constexpr bool IsSpectrumKind(int kind) { return kind >= kViewI && kind <= kViewQIDcFs; }
constexpr bool IsTimeKind(int kind) { return kind >= kViewTimeI && kind <= kViewPhase; }
constexpr bool IsViewKindCommand(int kind) {
    return kind >= kViewMulti && kind <= kViewConstellation;
}
constexpr bool IsMultiKind(int kind) {
    return kind == kViewMulti || kind == kViewAnalysisMulti || kind == kViewAnalysisSpectrum;
}
constexpr bool IsAnalysisKind(int kind) {
    return kind >= kViewAnalysisFirst && kind <= kViewAnalysisLast;
}

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

// Help menu.
constexpr int kCmdHelp = 133;
constexpr int kCmdAbout = 120;

// Measure menu (kept with their rules in measure/measurements.h).
constexpr int kCmdSnr = 599, kCmdSfdr = 600, kCmdSnrBandwidth = 601, kCmdObw = 616;
constexpr int kCmdImd = 32880;
constexpr int kCmdAclr5 = 801, kCmdAclr10 = 802, kCmdAclr15 = 803, kCmdAclr20 = 804,
              kCmdAclrWcdma = 806;
constexpr int kCmdLteAutoBw = 40117;
constexpr int kCmdMask5 = 710, kCmdMask10 = 709, kCmdMask15 = 805, kCmdMask20 = 708;
constexpr int kCmdMaskAutoBw = 40118;
constexpr int kCmdCarrierPower = 40110;
constexpr int kMaskType706 = 706, kMaskType705 = 705, kMaskType707 = 707, kMaskType40128 = 40128,
              kMaskType1016 = 1016;

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

// Editing tools (the tool dispatcher's commands).
constexpr int kToolAddTone = 504;
constexpr int kToolMultiTone = 40047;
constexpr int kToolSweptTone = 534;
constexpr int kToolAddNoise = 503;
constexpr int kToolAddPulse = 506;
constexpr int kToolQpsk = 721;
constexpr int kToolQam16 = 40091;
constexpr int kToolQam64 = 40039;
constexpr int kToolAddDc = 520, kToolAddDcI = 543, kToolAddDcQ = 544;
constexpr int kToolScale = 502;
constexpr int kToolScaleZoom = 40017;
constexpr int kToolSetRms = 40088;
constexpr int kToolPowerClip = 508;
constexpr int kToolVoltageClip = 40009;
constexpr int kToolThresholdScale = 40057;
constexpr int kToolRemoveQ = 40008;
constexpr int kToolQuantise = 40056;
constexpr int kToolSwapIq = 505;
constexpr int kToolConjugate = 540;
constexpr int kToolReverse = 40034;
constexpr int kToolFadeIn = 513, kToolFadeOut = 514;
constexpr int kToolPhaseShift = 521, kToolPhaseShiftI = 40048, kToolPhaseShiftQ = 40049;
constexpr int kToolFreqShift = 509;
constexpr int kToolShiftPlusQuarter = 510, kToolShiftMinusQuarter = 537;
constexpr int kToolRemoveDc = 531;
constexpr int kToolDcTrend = 530;
constexpr int kToolTimeShift = 40011, kToolTimeShiftFrac = 40077;
constexpr int kToolAddFile = 528, kToolSubtractFile = 529, kToolMixFile = 536,
              kToolReplaceQ = 40010;
constexpr int kToolMarkerLevel = 39506;
constexpr int kToolSetLength = 507, kToolCrop = 523, kToolTrimLeft = 512, kToolCropMiddle = 40001;
constexpr int kToolAppendFile = 511, kToolAppendSelf = 40020;
constexpr int kToolUpsampleZero = 526, kToolUpsampleFft = 532, kToolDecimate = 527,
              kToolDownsampleFft = 535;
constexpr int kToolForwardFft = 533, kToolInverseFft = 539;
constexpr int kToolLowPass = 515, kToolHighPass = 516, kToolBandPass = 517, kToolBandStop = 518;
constexpr int kToolLteFilter = 541, kToolUmtsFilter = 542;
constexpr int kToolFirFile = 40058;
constexpr int kToolCfr = 538, kToolPeakWindowCfr = 519, kToolPaModel = 524, kToolExpansion = 40061;
constexpr int kToolAutocorrelation = 602, kToolCrossCorrelation = 608,
              kToolCircularCorrelation = 617, kToolFrequencyOffset = 711;

// The groups whose entries carry one check mark between them.
inline constexpr int kFileTypeCommands[] = {kFileAsciiIQLines,
                                            kFileAsciiIQPair,
                                            kFileAsciiInt16,
                                            kFileAsciiHex16,
                                            kFileBin16BeOffset,
                                            kFileBin16BeTwos,
                                            kFileBin16LeOffset,
                                            kFileBin16LeTwos,
                                            kFileBin32BeTwos,
                                            kFileReal16BeOffset,
                                            kFileReal16BeTwos,
                                            kFileReal16LeOffset,
                                            kFileReal16LeTwos,
                                            kFileCpriMantExp,
                                            kFileCf32Le,
                                            kFileCs8,
                                            kFileCu8};
inline constexpr int kViewKindCommands[] = {
    kViewMulti,  kViewI,      kViewQ,      kViewIQ,    kViewQI,
    kViewIQDcFs, kViewQIDcFs, kViewTimeI,  kViewTimeQ, kViewTimeIQ,
    kViewLogMag, kViewPhase,  kViewVector, kViewCcdf,  kViewConstellation};
inline constexpr int kWindowCommands[] = {kWindowRect, kWindowHann, kWindowBlackmanHarris,
                                          kWindowBartlett};
inline constexpr int kShapeCommands[] = {kCmdShapeGaussian, kCmdShapeRaisedCosine,
                                         kCmdShapeRootRaisedCosine};
inline constexpr int kMaskTypeCommands[] = {kMaskType705, kMaskType706, kMaskType707, kMaskType1016,
                                            kMaskType40128};
inline constexpr int kMeasureCommands[] = {kCmdSnr,       kCmdSfdr,      kCmdImd,       kCmdObw,
                                           kCmdLteAutoBw, kCmdAclr5,     kCmdAclr10,    kCmdAclr15,
                                           kCmdAclr20,    kCmdAclrWcdma, kCmdMask20,    kCmdMask10,
                                           kCmdMask5,     kCmdMask15,    kCmdMaskAutoBw};
