#pragma once
// The measurement part of the spectrum engine: switches, the emission mask object, results,
// the order in which Measure runs them after every recompute, and the rules of the Measure
// menu commands (the menu wiring itself belongs to the shell).

#include <string>

#include "measure/emission_mask.h"
#include "measure/measure_settings.h"

class cSpectrumTrace;

class cMeasurements {
public:
    cMeasurements();

    // After every recompute: peak frequency, marker power and total power (trace), then the
    // automatic bandwidth, ACLR, occupied bandwidth and the emission mask, in that order. The
    // mask keeps its own trace integrated over its measurement bandwidth; a mask whose
    // measurement bandwidth is below the resolution switches itself off (maskSwitchedOff).
    // dbmOffsetDb is the user's dBFS-to-dBm offset.
    void Measure(cSpectrumTrace& trace, double dbmOffsetDb);

    // Tone measurements at draw time, for tone 1 (the strongest point shown) and the shown
    // span [spanLowHz, spanHighHz]: SNR (when on), spur list and SFDR (when on), tone pair
    // (when on).
    void MeasureTones(const cSpectrumTrace& trace, int tone1, double tone1Db, double spanLowHz,
                      double spanHighHz);

    // Measure menu commands. Each returns true when the spectrum must be recomputed.
    bool SelectAclrBandwidth(int commandId);  // 801 .. 804, 806: set, or off when chosen again
    bool ToggleLteAutoBandwidth();            // 40117
    bool SelectMaskBandwidth(int commandId);  // 710, 709, 805, 708
    bool ToggleMaskAutoBandwidth();           // 40118
    bool SelectMaskType(int maskType);        // 705, 706, 707, 40128, 1016
    bool ToggleSwitch(int commandId);         // 599 SNR, 600 SFDR, 616 OBW, 32880 IMD
    // 40110: stores -100 < v < 100 and returns the status text for either outcome.
    std::string SetCarrierPower(double dbm);
    // 601: stores 0 <= v <= sampleRateHz; returns "SNR Measurement BW Set", or "" when ignored.
    std::string SetSnrBandwidth(double hz, double sampleRateHz);

    // Whether a command's menu item carries a check mark in the current state.
    bool IsChecked(int commandId) const;

    // Rebuilds the mask tables for the current type and bandwidth (mask bandwidth commands).
    void RebuildMask(double totalPowerDb);

    MeasurementSettings settings;
    MeasurementResults results;
    cEmissionMask mask;
    // Set by an external burst detector; read false here.
    bool tddBurstDetected = false;
};

// Menu label of an emission-mask command (types, bandwidths, automatic bandwidth, carrier
// power), or nullptr for other ids.
const char* MaskCommandLabel(int commandId);

// Bandwidth in Hz of an ACLR or mask bandwidth command, 0 for other ids.
int AclrBandwidthForCommand(int commandId);
int MaskBandwidthForCommand(int commandId);
