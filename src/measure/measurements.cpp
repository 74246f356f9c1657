#include "measure/measurements.h"

#include <algorithm>

#include "measure/channel_measurements.h"
#include "measure/tone_measurements.h"
#include "spectrum/power_trace.h"
#include "waveform/number_format.h"

int AclrBandwidthForCommand(int id) {
    switch (id) {
        case kCmdAclr5: return 5'000'000;
        case kCmdAclr10: return 10'000'000;
        case kCmdAclr15: return 15'000'000;
        case kCmdAclr20: return 20'000'000;
        case kCmdAclrWcdma: return kWcdmaBandwidthHz;
        default: return 0;
    }
}

int MaskBandwidthForCommand(int id) {
    switch (id) {
        case kCmdMask5: return 5'000'000;
        case kCmdMask10: return 10'000'000;
        case kCmdMask15: return 15'000'000;
        case kCmdMask20: return 20'000'000;
        default: return 0;
    }
}

const char* MaskCommandLabel(int id) {
    switch (id) {
        case kMaskType706: return "SEM 3GPP Cat A (706)";
        case kMaskType705: return "SEM 3GPP Cat A, 1 MHz beyond 10 MHz (705)";
        case kMaskType707: return "SEM 3GPP Cat B (707)";
        case kMaskType40128: return "SEM Narrowband absolute (40128)";
        case kMaskType1016: return "SEM LTE by channel bandwidth (1016)";
        case kCmdMask5: return "SEM 5 MHz";
        case kCmdMask10: return "SEM 10 MHz";
        case kCmdMask15: return "SEM 15 MHz";
        case kCmdMask20: return "SEM 20 MHz";
        case kCmdMaskAutoBw: return "SEM Auto BW Detect";
        case kCmdCarrierPower: return "SEM Carrier Power\u2026";
        default: return nullptr;
    }
}

cMeasurements::cMeasurements() = default;

void cMeasurements::Measure(cSpectrumTrace& trace, double dbmOffsetDb) {
    trace.MeasurePeak();
    results.notice.clear();
    if (trace.N <= 0 || !trace.traceValid) return;
    MeasurementSettings& s = settings;
    if (s.lteAutoBandwidth || s.maskAutoBandwidth) {
        results.obw = OccupiedBandwidth(trace);
        const int bw = ClosestLteBandwidthHz(results.obw.bandwidthHz);
        if (s.lteAutoBandwidth) s.aclrBandwidthHz = bw;
        if (s.maskAutoBandwidth) {
            s.maskBandwidthMHz = bw / 1'000'000;
            s.maskBandwidthHz = bw;
        }
    }
    if (s.aclrBandwidthHz != 0) {
        const float df = static_cast<float>(trace.sampleRate / trace.N);  // integer division first
        if (s.aclrBandwidthHz == kWcdmaBandwidthHz)
            mask.AdjacentChannelPower(trace.power, trace.pointCount, df, 5'000'000.0, 0.768);
        else
            mask.AdjacentChannelPower(trace.power, trace.pointCount, df, s.aclrBandwidthHz, 0.903);
        results.aclrDb = mask.aclrDb;
        if (results.aclrDb.size() < 5)
            results.notice = "ACLR: " + std::to_string(results.aclrDb.size()) +
                             " of 5 channels fit in the spectrum";
    }
    if (s.obwOn) results.obw = OccupiedBandwidth(trace);
    if (s.MaskOn()) {
        if (dbmOffsetDb != 0.0) s.carrierPowerDbm = trace.totalPowerDb + dbmOffsetDb;
        if (s.maskType == kMaskType40128) s.carrierPowerDbm = trace.totalPowerDb;
        mask.BuildMask(MaskNumberForType(s.maskType), s.maskBandwidthMHz, s.carrierPowerDbm,
                       trace.totalPowerDb - s.carrierPowerDbm);
        const float df = static_cast<float>(static_cast<double>(trace.sampleRate) / trace.N);
        if (mask.CheckMask(trace.power, trace.pointCount, df) != 0) {
            s.maskBandwidthHz = 0;  // resolution too coarse: the measurement turns itself off
            s.maskAutoBandwidth = false;
            double narrowest = 1e300;
            for (const cEmissionMask::Point& p : mask.bandwidth)
                narrowest = std::min(narrowest, p.y);
            results.notice = "Emission mask needs a resolution of " + General(narrowest / 1e3, 6) +
                             " kHz or finer";
        }
    }
}

void cMeasurements::MeasureTones(const cSpectrumTrace& trace, int tone1, double tone1Db,
                                 double spanLowHz, double spanHighHz) {
    results.snrDb.reset();
    results.tonePair.reset();
    if (!trace.traceValid) return;
    if (settings.snrOn)
        results.snrDb = SignalToNoise(trace, spanLowHz, spanHighHz, settings.snrBandwidthHz,
                                      trace.PeakFrequencyAt(tone1));
    if (settings.sfdrOn) {
        results.spurs = FindSpurs(trace);
        results.sfdrDb = results.spurs[0].levelDb - results.spurs[1].levelDb;
    }
    if (settings.imdOn) results.tonePair = FindTonePair(trace, tone1, tone1Db);
}

bool cMeasurements::SelectAclrBandwidth(int id) {
    const int bw = AclrBandwidthForCommand(id);
    if (bw == 0) return false;
    settings.lteAutoBandwidth = false;
    settings.aclrBandwidthHz = settings.aclrBandwidthHz == bw ? 0 : bw;
    return true;
}

bool cMeasurements::ToggleLteAutoBandwidth() {
    settings.lteAutoBandwidth = !settings.lteAutoBandwidth;
    if (!settings.lteAutoBandwidth) settings.aclrBandwidthHz = 0;
    return true;
}

void cMeasurements::RebuildMask(double totalPowerDb) {
    mask.BuildMask(MaskNumberForType(settings.maskType), settings.maskBandwidthMHz,
                   settings.carrierPowerDbm, totalPowerDb - settings.carrierPowerDbm);
}

bool cMeasurements::SelectMaskBandwidth(int id) {
    const int bw = MaskBandwidthForCommand(id);
    if (bw == 0) return false;
    settings.maskAutoBandwidth = false;
    settings.maskBandwidthHz = settings.maskBandwidthHz == bw ? 0 : bw;
    settings.maskBandwidthMHz = bw / 1'000'000;
    return true;
}

bool cMeasurements::ToggleMaskAutoBandwidth() {
    settings.maskAutoBandwidth = !settings.maskAutoBandwidth;
    if (!settings.maskAutoBandwidth) settings.maskBandwidthHz = 0;
    return true;
}

bool cMeasurements::SelectMaskType(int maskType) {
    if (MaskNumberForType(maskType) == 0) return false;
    settings.maskType = maskType;
    return settings.MaskOn() || settings.maskAutoBandwidth;
}

bool cMeasurements::ToggleSwitch(int id) {
    switch (id) {
        case kCmdSnr: settings.snrOn = !settings.snrOn; return false;
        case kCmdSfdr: settings.sfdrOn = !settings.sfdrOn; return false;
        case kCmdImd: settings.imdOn = !settings.imdOn; return false;
        case kCmdObw: settings.obwOn = !settings.obwOn; return true;
        default: return false;
    }
}

std::string cMeasurements::SetCarrierPower(double dbm) {
    if (dbm > -100.0 && dbm < 100.0) {
        settings.carrierPowerDbm = dbm;
        return "Carrier Power for SEM measurement updated";
    }
    return "ERR: Invalid Carrier Power entered!";
}

std::string cMeasurements::SetSnrBandwidth(double hz, double sampleRateHz) {
    if (!(hz >= 0.0 && hz <= sampleRateHz)) return "";
    settings.snrBandwidthHz = hz;
    return "SNR Measurement BW Set";
}

bool cMeasurements::IsChecked(int id) const {
    const MeasurementSettings& s = settings;
    switch (id) {
        case kCmdSnr: return s.snrOn;
        case kCmdSfdr: return s.sfdrOn;
        case kCmdImd: return s.imdOn;
        case kCmdObw: return s.obwOn;
        case kCmdAclr5:
        case kCmdAclr10:
        case kCmdAclr15:
        case kCmdAclr20:
        case kCmdAclrWcdma:
            return !s.lteAutoBandwidth && s.aclrBandwidthHz == AclrBandwidthForCommand(id);
        case kCmdLteAutoBw: return s.lteAutoBandwidth;
        case kCmdMask5:
        case kCmdMask10:
        case kCmdMask15:
        case kCmdMask20:
            return !s.maskAutoBandwidth && s.maskBandwidthHz == MaskBandwidthForCommand(id);
        case kCmdMaskAutoBw: return s.maskAutoBandwidth;
        case kMaskType705:
        case kMaskType706:
        case kMaskType707:
        case kMaskType40128:
        case kMaskType1016: return s.maskType == id;
        default: return false;
    }
}
