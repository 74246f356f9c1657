// Measure commands: the tone switches, SNR bandwidth, occupied bandwidth, ACLR, and the
// emission mask's type, bandwidth and carrier power. Every one recomputes, so the panels
// never show a result for a setting that is gone.

#include "app/main_frame.h"
#include "app/view.h"
#include "measure/measurements.h"

void CMainFrame::RegisterMeasureCommands() {
    cMeasurements& m = view->engine.measurements;
    AddCommand(
        {kCmdSnr, kCmdSfdr, kCmdImd, kCmdObw},
        [this, &m](int id, int64_t) {
            // The two-tone search needs a spectrum view.
            if (id == kCmdImd && !m.settings.imdOn && view->ViewType() >= kViewTimeIQ)
                SelectViewType(view->recompute.lastWasReal ? kViewI : kViewIQ);
            m.ToggleSwitch(id);
            RecomputeNow();
            return 1;
        },
        kDisplayCommand);
    AddCommand({kCmdSnrBandwidth}, [this, &m](int, int64_t) {
        const float v = prompter->PromptFloat("Enter SNR Measurement Bandwidth Hz",
                                              "Default SNR bandwidth is current Zoom View",
                                              static_cast<float>(m.settings.snrBandwidthHz), "");
        const std::string text = m.SetSnrBandwidth(v, static_cast<double>(mainWave.sampleRate));
        if (!text.empty()) SetStatusText(text);
        RecomputeNow();
        return 1;
    });
    AddCommand(
        {kCmdAclr5, kCmdAclr10, kCmdAclr15, kCmdAclr20, kCmdAclrWcdma, kCmdLteAutoBw},
        [this, &m](int id, int64_t) {
            id == kCmdLteAutoBw ? m.ToggleLteAutoBandwidth() : m.SelectAclrBandwidth(id);
            RecomputeNow();
            return 1;
        },
        kDisplayCommand);
    AddCommand(
        {kCmdMask5, kCmdMask10, kCmdMask15, kCmdMask20, kCmdMaskAutoBw},
        [this, &m](int id, int64_t) {
            id == kCmdMaskAutoBw ? m.ToggleMaskAutoBandwidth() : m.SelectMaskBandwidth(id);
            m.RebuildMask(view->engine.trace.totalPowerDb);
            RecomputeNow();
            return 1;
        },
        kDisplayCommand);
    // Of the mask types, the three specified first are display settings; the two added later
    // were never counted as such.
    for (int type : kMaskTypeCommands)
        AddCommand(
            {type},
            [this, &m](int id, int64_t) {
                m.SelectMaskType(id);
                RecomputeNow();
                return 1;
            },
            type == kMaskType1016 || type == kMaskType40128 ? CommandTraits{} : kDisplayCommand);
    AddCommand({kCmdCarrierPower}, [this, &m](int, int64_t) {
        const double v = prompter->PromptDouble("Please enter the RMS power of the carrier",
                                                "Spectral Emission Mask Configuration",
                                                m.settings.carrierPowerDbm, "");
        const std::string text = m.SetCarrierPower(v);
        RecomputeNow();  // the verdict shown must be for the power just entered
        SetStatusText(text);
        return 1;
    });
}
