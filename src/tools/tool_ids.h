#pragma once
// The editing tools' command ids: the menu entry and the id other programs send, so the numbers
// never change.

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
