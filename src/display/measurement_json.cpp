#include "display/measurement_json.h"

#include <algorithm>
#include <utility>

#include "display/frequency_plot.h"
#include "display/json_writer.h"
#include "display/plot_engine.h"
#include "display/view_kinds.h"
#include "measure/shown_spectrum.h"

namespace {

// Frequencies of the shown axis as received, when the recording said where it was centred. The
// IQ kinds show the offset from the centre (the DC-to-fs kind its upper half as the negative
// offsets), the QI kinds the mirror image; the I and Q kinds, one real channel each, have none.
class AbsoluteFrequency {
public:
    AbsoluteFrequency(const std::optional<double>& centreHz, int view, double fs)
        : centre_(centreHz.value_or(0.0)), fs_(fs) {
        const bool iq = view == kViewIQ || view == kViewIQDcFs;
        const bool qi = view == kViewQI || view == kViewQIDcFs;
        known_ = centreHz.has_value() && (iq || qi);
        sign_ = qi ? -1.0 : 1.0;
        fold_ = view == kViewIQDcFs || view == kViewQIDcFs;
    }
    bool Known() const { return known_; }
    // Known for frequencies measured from the middle of the trace (the emission mask's).
    bool KnownCentred() const { return known_ && !fold_; }
    double operator()(double f) const {
        if (fold_ && f >= fs_ / 2) f -= fs_;
        return centre_ + sign_ * f;
    }
    // An edge pair as absolute (low, high): the mirror swaps them.
    std::pair<double, double> Edges(double low, double high) const {
        const double a = (*this)(low), b = (*this)(high);
        return {std::min(a, b), std::max(a, b)};
    }
    // Spans of the DC-to-fs kinds may wrap around the centre: no single absolute span.
    bool SpanContinuous(double f0, double f1) const {
        return !fold_ || f1 <= fs_ / 2 || f0 >= fs_ / 2;
    }

private:
    double centre_, fs_, sign_ = 1.0;
    bool known_ = false, fold_ = false;
};

}  // namespace

void WriteMeasurementsJson(const cPlotEngine& e, const MeasurementView& run, std::ostream& out) {
    const std::optional<double>& centreHz = run.centreHz;
    const cSpectrumTrace& t = e.trace;
    const MeasurementSettings& s = e.measurements.settings;
    const MeasurementResults& r = e.measurements.results;
    const AbsoluteFrequency abs(centreHz, run.view, static_cast<double>(t.sampleRate));
    JsonWriter j(out);
    j.Begin();
    j.Field("file", run.file);
    j.Field("view", static_cast<double>(run.view));
    j.Field("sample_rate_hz", static_cast<double>(t.sampleRate));
    j.Field("fft_size", static_cast<double>(t.N));
    j.Field("resolution_bw_hz", static_cast<double>(t.sampleRate) / t.N);
    j.Field("frames", static_cast<double>(run.frames));
    if (centreHz) j.Field("centre_frequency_hz", *centreHz);
    j.Field("span_low_hz", run.f0);
    j.Field("span_high_hz", run.f1);
    if (abs.Known() && abs.SpanContinuous(run.f0, run.f1)) {
        const auto [low, high] = abs.Edges(run.f0, run.f1);
        j.Field("span_low_abs_hz", low);
        j.Field("span_high_abs_hz", high);
    }
    j.Field("dbm_offset_db", e.dbmOffsetDb);
    j.Field("total_power_db", t.totalPowerDb);
    j.Field("dc_offset_db", t.dcLevel);
    // Tone 1 is measured on the power trace whatever else runs (the panel only has no room
    // for it beside the channel measurements).
    j.Field("peak_frequency_hz", e.shown.tonePeakFrequencyHz);
    if (abs.Known()) j.Field("peak_frequency_abs_hz", abs(e.shown.tonePeakFrequencyHz));
    j.Field("marker_power_db", e.shown.toneMarkerPowerDb);
    if (s.snrOn) {
        if (r.snrDb)
            j.Field("snr_db", *r.snrDb);
        else
            j.Null("snr_db");
        j.Field("snr_bandwidth_hz", s.snrBandwidthHz >= 1.0 ? s.snrBandwidthHz : run.f1 - run.f0);
    }
    if (s.sfdrOn) {
        j.Field("sfdr_db", r.sfdrDb);
        j.BeginArray("spurs");
        for (int i = 1; i <= 6; ++i) {
            j.BeginObject();
            const double f = ShownFrequency(t, r.spurs[i].frequencyHz, run.f1);
            j.Field("frequency_hz", f);
            if (abs.Known()) j.Field("frequency_abs_hz", abs(f));
            j.Field("level_db", r.spurs[i].levelDb);
            j.EndObject();
        }
        j.EndArray();
    }
    if (s.imdOn) {
        if (const auto& pair = r.tonePair) {
            j.BeginObject("imd");
            const double f2 = ShownFrequency(t, pair->carrier2FrequencyHz, run.f1);
            j.Field("carrier1_frequency_hz", e.shown.tonePeakFrequencyHz);
            j.Field("carrier2_frequency_hz", f2);
            if (abs.Known()) {
                j.Field("carrier1_frequency_abs_hz", abs(e.shown.tonePeakFrequencyHz));
                j.Field("carrier2_frequency_abs_hz", abs(f2));
            }
            j.Field("carrier1_power_db", e.shown.toneMarkerPowerDb);
            j.Field("carrier2_power_db", pair->carrier2Db);
            j.Field("imd3_lower_dbc", pair->imd3LowerDbc);
            j.Field("imd3_upper_dbc", pair->imd3UpperDbc);
            j.Field("ip3_dbfs", pair->ip3Dbfs);
            j.EndObject();
        } else {
            j.Null("imd");
        }
    }
    if (s.obwOn) {
        j.BeginObject("obw");
        j.Field("bandwidth_hz", r.obw.bandwidthHz);
        j.Field("lower_edge_hz", r.obw.lowerEdgeHz);
        j.Field("upper_edge_hz", r.obw.upperEdgeHz);
        if (abs.Known() && abs.SpanContinuous(r.obw.lowerEdgeHz, r.obw.upperEdgeHz)) {
            const auto [low, high] = abs.Edges(r.obw.lowerEdgeHz, r.obw.upperEdgeHz);
            j.Field("lower_edge_abs_hz", low);
            j.Field("upper_edge_abs_hz", high);
        }
        j.Field("power_db", r.obw.powerDb);
        j.EndObject();
    }
    if (s.aclrBandwidthHz != 0) {
        j.BeginObject("aclr");
        j.Field("channel_bandwidth_hz", static_cast<double>(s.aclrBandwidthHz));
        const auto& c = r.aclrDb;
        if (!c.empty()) j.Field("carrier_power_db", c[0]);
        const char* names[] = {"lower1_dbc", "upper1_dbc", "lower2_dbc", "upper2_dbc"};
        for (size_t i = 1; i < c.size() && i < 5; ++i)
            j.Field(names[i - 1], c[i] - c[0]);
        j.EndObject();
    }
    if (s.MaskOn()) {
        const cEmissionMask& mask = e.measurements.mask;
        j.BeginObject("mask");
        j.Field("type", static_cast<double>(s.maskType));
        j.Field("bandwidth_mhz", static_cast<double>(s.maskBandwidthMHz));
        j.Field("carrier_power_dbm", s.carrierPowerDbm);
        j.Field("pass", mask.pass);
        j.Field("min_margin_db", mask.smallestMarginDb);
        j.Field("min_margin_frequency_hz", mask.smallestMarginFrequencyHz);
        if (abs.KnownCentred())
            j.Field("min_margin_frequency_abs_hz", abs(mask.smallestMarginFrequencyHz));
        j.EndObject();
    }
    if (run.more) run.more(j);
    j.End();
}
