#include "display/plot_engine.h"

#include <algorithm>
#include <utility>

#include "waveform/waveform.h"

namespace {
// Peak-to-average ratio (dB) and 10·log10 of the exceedance probability in percent.
constexpr double kReferenceKnots[][2] = {{0, 15.656}, {3.62, 10},    {6.63, 0},      {8.4, -10},
                                         {9.65, -20}, {10.624, -30}, {11.3913, -40}, {12.1, -50}};
}  // namespace

cPlotEngine::cPlotEngine() {
    SetAllDefaults(axes);
    for (const auto& knot : kReferenceKnots)
        ccdfReference.AddKnot(knot[0], knot[1]);
    ccdfReference.Prepare();
}

const PowerStatistics& cPlotEngine::StatisticsFor(const cWaveform& wave, int64_t first,
                                                  int64_t last, int channels) {
    const StatisticsKey key{wave.I.data(), wave.Q.data(), wave.sampleCount, first,
                            last,          channels,      generation_};
    if (!(key == statisticsKey_)) {
        if (channels == 1) {
            // The Q view describes Q: its samples take the place of I.
            statistics_ = ComputePowerStatistics(wave.Q.data(), wave.I.data(), first, last, false);
            std::swap(statistics_.meanI, statistics_.meanQ);
        } else {
            statistics_ =
                ComputePowerStatistics(wave.I.data(), wave.Q.data(), first, last, channels == 3);
        }
        statisticsKey_ = key;
    }
    return statistics_;
}

const CcdfStatistics& cPlotEngine::CcdfFor(const cWaveform& wave) {
    const StatisticsKey key{wave.I.data(), wave.Q.data(), wave.sampleCount, 0, 0, 3, generation_};
    if (!(key == ccdfKey_)) {
        ccdf_ = ComputeCcdfStatistics(wave.I.data(), wave.Q.data(), wave.sampleCount);
        ccdfKey_ = key;
    }
    return ccdf_;
}

void cPlotEngine::WaveformChanged() {
    statisticsKey_ = StatisticsKey{};
    ccdfKey_ = StatisticsKey{};
    ccdf_ = CcdfStatistics{};
    envelopes_.clear();
    ++generation_;
}

const std::vector<cPlotEngine::EnvelopeColumn>* cPlotEngine::FindEnvelope(
    const EnvelopeKey& key) const {
    for (const auto& [k, columns] : envelopes_)
        if (k == key) return &columns;
    return nullptr;
}

void cPlotEngine::KeepEnvelope(const EnvelopeKey& key, std::vector<EnvelopeColumn> columns) {
    if (envelopes_.size() >= kKeptEnvelopes) envelopes_.erase(envelopes_.begin());
    envelopes_.emplace_back(key, std::move(columns));
}

namespace {

// The samples at the ends and spread evenly between, I and Q.
std::vector<float> Fingerprint(const cWaveform& w) {
    std::vector<float> v;
    const int64_t n = w.sampleCount;
    const auto take = [&](int64_t k) {
        v.push_back(w.I[k]);
        v.push_back(w.Q[k]);
    };
    for (int64_t k = 0; k < std::min<int64_t>(n, 256); ++k)
        take(k);
    for (int64_t k = std::max<int64_t>(0, n - 256); k < n; ++k)
        take(k);
    for (int64_t i = 0; n > 0 && i < 4096; ++i)
        take(i * n / 4096);
    return v;
}

}  // namespace

void cPlotEngine::KeepModulation(const cWaveform& w, const ModulationSettings& settings,
                                 std::optional<ModulationResult> blind,
                                 std::optional<ReferenceEvmResult> reference,
                                 const std::string& referenceName) {
    ModulationAnalysis a;
    if (const ModulationAnalysis* kept = ModulationOf(w)) a = *kept;
    if (blind) {
        a.settings = settings;
        a.blind = std::move(blind);
    }
    if (reference) {
        a.reference = std::move(reference);
        a.referenceName = referenceName;
    }
    a.sampleRate = static_cast<double>(w.sampleRate);
    a.I = w.I.data();
    a.Q = w.Q.data();
    a.count = w.sampleCount;
    a.fingerprint = Fingerprint(w);
    modulation = std::move(a);
}

const cPlotEngine::ModulationAnalysis* cPlotEngine::ModulationOf(const cWaveform& w) const {
    if (!modulation || modulation->I != w.I.data() || modulation->Q != w.Q.data() ||
        modulation->count != w.sampleCount ||
        modulation->sampleRate != static_cast<double>(w.sampleRate) ||
        modulation->fingerprint != Fingerprint(w))
        return nullptr;
    return &*modulation;
}
