// Measure commands: the tone switches, SNR bandwidth, occupied bandwidth, ACLR, and the
// emission mask's type, bandwidth and carrier power. Every one recomputes, so the panels
// never show a result for a setting that is gone.

#include "app/command_ids.h"
#include "app/frame_services.h"
#include "app/view.h"
#include "measure/measurements.h"
#include "tools/prompter.h"
#include "waveform/waveform.h"

void RegisterMeasureCommands(IFrameServices& frame) {
    CView& view = frame.View();
    cMeasurements& m = view.engine.measurements;
    frame.AddCommand(
        {kCmdSnr, kCmdSfdr, kCmdImd, kCmdObw},
        [&frame, &view, &m](int id, int64_t) {
            // The two-tone search needs a spectrum view.
            if (id == kCmdImd && !m.settings.imdOn && view.ViewType() >= kViewTimeIQ)
                frame.SelectViewType(view.recompute.lastWasReal ? kViewI : kViewIQ);
            m.ToggleSwitch(id);
            frame.RecomputeNow();
            return 1;
        },
        kDisplayCommand);
    frame.AddCommand({kCmdSnrBandwidth}, [&frame, &view, &m](int, int64_t) {
        const float v = frame.Prompter().PromptFloat(
            "Enter SNR Measurement Bandwidth Hz", "Default SNR bandwidth is current Zoom View",
            static_cast<float>(m.settings.snrBandwidthHz), "");
        const std::string text =
            m.SetSnrBandwidth(v, static_cast<double>(frame.MainWaveform().sampleRate));
        if (!text.empty()) frame.SetStatusText(text);
        frame.RecomputeNow();
        return 1;
    });
    frame.AddCommand(
        {kCmdAclr5, kCmdAclr10, kCmdAclr15, kCmdAclr20, kCmdAclrWcdma, kCmdLteAutoBw},
        [&frame, &view, &m](int id, int64_t) {
            id == kCmdLteAutoBw ? m.ToggleLteAutoBandwidth() : m.SelectAclrBandwidth(id);
            frame.RecomputeNow();
            return 1;
        },
        kDisplayCommand);
    frame.AddCommand(
        {kCmdMask5, kCmdMask10, kCmdMask15, kCmdMask20, kCmdMaskAutoBw},
        [&frame, &view, &m](int id, int64_t) {
            id == kCmdMaskAutoBw ? m.ToggleMaskAutoBandwidth() : m.SelectMaskBandwidth(id);
            m.RebuildMask(view.engine.trace.totalPowerDb);
            frame.RecomputeNow();
            return 1;
        },
        kDisplayCommand);
    // Of the mask types, the three specified first are display settings; the two added later
    // were never counted as such.
    for (int type : kMaskTypeCommands)
        frame.AddCommand(
            {type},
            [&frame, &view, &m](int id, int64_t) {
                m.SelectMaskType(id);
                frame.RecomputeNow();
                return 1;
            },
            type == kMaskType1016 || type == kMaskType40128 ? CommandTraits{} : kDisplayCommand);
    frame.AddCommand({kCmdCarrierPower}, [&frame, &view, &m](int, int64_t) {
        const double v = frame.Prompter().PromptDouble("Please enter the RMS power of the carrier",
                                                       "Spectral Emission Mask Configuration",
                                                       m.settings.carrierPowerDbm, "");
        const std::string text = m.SetCarrierPower(v);
        frame.RecomputeNow();  // the verdict shown must be for the power just entered
        frame.SetStatusText(text);
        return 1;
    });
}
