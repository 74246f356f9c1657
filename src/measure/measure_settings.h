#pragma once
// The measurement switches of the spectrum view and their results. Nothing here is stored
// between sessions.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "measure/measure_ids.h"

constexpr int kWcdmaBandwidthHz = 3'840'000;

struct MeasurementSettings {
    bool snrOn = true;
    double snrBandwidthHz = 0.0;  // below 1 Hz: the span shown
    bool sfdrOn = false;
    bool imdOn = false;
    bool obwOn = false;
    int aclrBandwidthHz = 0;  // 0: ACLR off; 3,840,000: W-CDMA
    bool lteAutoBandwidth = false;
    int maskBandwidthHz = 0;  // 0: mask off
    bool maskAutoBandwidth = false;
    int maskBandwidthMHz = 5;
    int maskType = kMaskType707;
    double carrierPowerDbm = 47.0;

    bool MaskOn() const { return maskBandwidthHz != 0; }
};

struct SpurEntry {
    double frequencyHz = 0.0;
    double levelDb = 0.0;
};

struct TonePairResult {
    int tone2 = -1;
    int lowerProduct = -1, upperProduct = -1;
    double carrier2FrequencyHz = 0.0, carrier2Db = 0.0;
    double imd3LowerDbc = 0.0, imd3UpperDbc = 0.0;  // relative to carrier 1
    double ip3Dbfs = 0.0;
};

struct OccupiedBandwidthResult {
    double bandwidthHz = 0.0;
    double lowerEdgeHz = 0.0, upperEdgeHz = 0.0;
    double powerDb = 0.0;  // inside the band
};

struct MeasurementResults {
    OccupiedBandwidthResult obw;
    std::vector<float> aclrDb;          // main, lower 1, upper 1, lower 2, upper 2 (those that fit)
    std::array<SpurEntry, 10> spurs{};  // carrier first, then spurs by falling level
    double sfdrDb = 0.0;
    std::optional<double> snrDb;
    std::optional<TonePairResult> tonePair;
    // Why a switched-on channel measurement has no result (a mask that switched itself off,
    // ACLR channels that do not fit), for the status bar; empty when nothing is missing.
    std::string notice;
};
