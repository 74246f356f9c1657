#pragma once
// What a tool returns when it ends early: 0 is success, anything else names the failure. The
// dispatcher does not act on the value beyond success or not; the codes identify the failure
// in tests and in qrvn edit's messages.

constexpr int kToolOk = 0;
constexpr int kErrResampleFactor = 0x10000001;   // resampling factor not allowed
constexpr int kErrTooLong = 0x10000002;          // result would exceed 100000000 samples
constexpr int kErrEmpty = 0x10000003;            // waveform empty
constexpr int kErrTooShort = 0x10000004;         // waveform too short for the operation
constexpr int kErrScale = 0x10000005;            // scaling factor or range invalid
constexpr int kErrShift = 0x10000006;            // frequency or phase shift range invalid
constexpr int kErrReferenceShort = 0x10000008;   // correlation reference too short
constexpr int kErrDcLevel = 0x1000000a;          // DC level or DC mode invalid
constexpr int kErrSwapNoI = 0x1000000b;          // swap failed: no I samples
constexpr int kErrSwapNoQ = 0x1000000c;          // swap failed: no Q samples
constexpr int kErrTimeShift = 0x1000000d;        // time shift larger than the waveform
constexpr int kErrLengthOrCount = 0x1000000e;    // requested length or count invalid
constexpr int kErrFilterEdge = 0x1000000f;       // filter edge outside the spectrum
constexpr int kErrInvalidFileName = 0x10000016;  // a file name too short to open
constexpr int kErrFrequency = 0x10000017;        // frequency invalid
constexpr int kErrLevel = 0x10000018;            // amplitude or level invalid
constexpr int kErrPhase = 0x10000019;            // phase invalid
constexpr int kErrCrop = 0x1000001b;             // crop start or stop invalid
constexpr int kErrCombineEmpty = 0x1000001d;     // file to combine has no samples
constexpr int kErrNoiseLevel = 0x1000001f;       // noise level invalid
constexpr int kErrCfr = 0x10000022;              // CFR cancelled or target invalid
constexpr int kErrMarkerLength = 0x10000037;     // marker file length differs
constexpr int kErrMarkerEmpty = 0x48;            // marker file marks no sample
constexpr int kErrLteBandwidth = 0x10000044;     // LTE bandwidth invalid
// Codes of this program beyond the table above.
constexpr int kErrCancelled = 0x10000060;    // a prompt or file dialog was cancelled
constexpr int kErrStopped = 0x10000061;      // the stop request ended the tool; nothing changed
constexpr int kErrUnknownTool = 0x10000062;  // no tool has this id or name
constexpr int kErrBusy = 0x10000063;         // another tool is running

// The longest waveform a tool may make.
constexpr long long kMaxToolSamples = 100'000'000;
