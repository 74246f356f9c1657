// Display commands: the Y-axis prompts of the current view kind, their defaults, the queries
// and setters other programs use, and the dBFS-to-dBm offset.

#include <cmath>

#include "app/command_ids.h"
#include "app/frame_services.h"
#include "app/view.h"
#include "tools/prompter.h"

namespace {
// The Y-axis record a view kind scales, or -1.
int AxisRecordFor(int viewType) {
    if (IsSpectrumKind(viewType)) return kSpectrumAxis;
    if (viewType >= kViewTimeI && viewType <= kViewTimeIQ) return kLinearAxis;
    if (viewType == kViewLogMag) return kLogMagAxis;
    if (viewType == kViewPhase) return kPhaseAxis;
    if (viewType == kViewAnalysisFirst || viewType == kViewAnalysisEvm) return kEvmAxis;
    return -1;
}

struct AxisHints {
    const char *reference, *scale, *divisions;
};
AxisHints HintsFor(int record) {
    switch (record) {
        case kLinearAxis:
            return {"Y Axis Center. Enter Reference Level in the Range -1 to +1",
                    "Normalised linear units / div", "Y Axis Graticule"};
        case kPhaseAxis:
            return {"Y Axis Centre Phase degrees (-180 to +180)", "Y Axis Scale Phase Degrees/Div",
                    ""};
        default:
            return {"Y Axis Top Level dB", "Y Axis Scale dB/Div (0.1 - 20)",
                    "Y Axis Graticule (2-20)"};
    }
}

// Rounded half away from zero; the setters keep every value the queries can answer.
int QueryValue(double v) { return static_cast<int>(v < 0 ? v - 0.5 : v + 0.5); }

// A reference level of more than a million (dB or linear units) has no use, and past about
// 2e7 its query in hundredths would no longer fit the answer.
constexpr double kMaxReference = 1e6;
}  // namespace

void RegisterAxisCommands(IFrameServices& frame) {
    CView& view = frame.View();
    frame.AddCommand(
        {kCmdSetReference, kCmdSetDivisions, kCmdSetScale},
        [&frame, &view](int id, int64_t) {
            const int record = AxisRecordFor(view.ViewType());
            if (record < 0 || record == kEvmAxis) {
                frame.SetStatusText("Cannot scale in multi-view mode");
                return 1;
            }
            AxisScale& axis = view.engine.axes[static_cast<size_t>(record)];
            const AxisHints hints = HintsFor(record);
            const double offset = view.engine.dbmOffsetDb;
            if (id == kCmdSetReference) {
                const double v =
                    frame.Prompter().PromptDouble("Please enter the desired Reference Level",
                                                  hints.reference, axis.reference + offset, "");
                if (v == IPrompter::kCancelDouble) return 1;
                if (!(std::fabs(v - offset) <= kMaxReference)) {
                    frame.SetStatusText("ERR: The reference level must lie within +/-1000000");
                    return 1;
                }
                axis.reference = v - offset;
            } else if (id == kCmdSetDivisions) {
                const double v = frame.Prompter().PromptDouble(
                    "Please enter the number of divisions", hints.divisions, axis.divisions, "");
                if (!(v >= 2 && v <= 100)) return 1;
                axis.divisions = v;
            } else {
                const double v = frame.Prompter().PromptDouble(
                    "Please enter the scale per division", hints.scale, axis.scale, "");
                if (!(v >= 0 && v <= 100)) return 1;
                axis.scale = v;
            }
            view.RequestRedraw();
            return 1;
        },
        kDisplayCommand);
    frame.AddCommand(
        {kCmdAxisDefaults},
        [&frame, &view](int, int64_t) {
            SetAllDefaults(view.engine.axes);
            view.RequestRedraw();
            return 1;
        },
        kDisplayCommand);
    // The queries answer in hundredths (reference with the dBm offset, scale) or divisions.
    frame.AddCommand(
        {kCmdQueryReference, kCmdQueryDivisions, kCmdQueryScale},
        [&frame, &view](int id, int64_t) {
            const int record = AxisRecordFor(view.ViewType());
            if (record < 0) return 0;
            const AxisScale& axis = view.engine.axes[static_cast<size_t>(record)];
            if (id == kCmdQueryReference)
                return QueryValue(100 * (axis.reference + view.engine.dbmOffsetDb));
            if (id == kCmdQueryDivisions) return QueryValue(axis.divisions);
            return QueryValue(100 * axis.scale);
        },
        kDisplayCommand);
    // The setters take the value in the queries' units, with the prompts' limits.
    frame.AddCommand(
        {kCmdSetReferenceValue, kCmdSetDivisionsValue, kCmdSetScaleValue},
        [&frame, &view](int id, int64_t value) {
            const int record = AxisRecordFor(view.ViewType());
            if (record < 0 || record == kEvmAxis) {
                frame.SetStatusText("Cannot scale in multi-view mode");
                return 0;
            }
            AxisScale& axis = view.engine.axes[static_cast<size_t>(record)];
            const double v = static_cast<double>(value);
            const auto refuse = [&frame, &view](const char* text) {
                frame.SetStatusText(text);
                return 0;
            };
            if (id == kCmdSetReferenceValue) {
                const double reference = v / 100 - view.engine.dbmOffsetDb;
                if (!(std::fabs(reference) <= kMaxReference))
                    return refuse("ERR: The reference level must lie within +/-1000000");
                axis.reference = reference;
            } else if (id == kCmdSetDivisionsValue) {
                if (!(v >= 2 && v <= 100))
                    return refuse("ERR: The divisions must lie within 2 ... 100");
                axis.divisions = v;
            } else {
                if (!(v >= 0 && v <= 10000))
                    return refuse("ERR: The scale must lie within 0 ... 10000 hundredths");
                axis.scale = v / 100;
            }
            view.RequestRedraw();
            return 1;
        },
        kDisplayCommand);
    frame.AddCommand(
        {kCmdDbmOffset},
        [&frame, &view](int, int64_t) {
            const double x = static_cast<float>(frame.Prompter().PromptDouble(
                "Enter the offset for dBFS-to-dBm",
                "This de-normalising scaler is used for power related measurements", 50.0,
                "dBFS2dBm"));
            if (x > -150 && x < 150) view.engine.dbmOffsetDb = x;
            frame.RecomputeNow();
            return 1;
        },
        kDisplayCommand);
}
