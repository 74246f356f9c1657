#include "app/menu_layout.h"

#include <QAction>
#include <QMenu>

#include "measure/measurements.h"

namespace {
using E = MenuEntry;
E Cmd(const char* text, int id, bool checked = false) {
    return {E::Command, text, id, checked, {}};
}
E Sep() { return {E::Separator, "", 0, false, {}}; }
E Head(const char* text) { return {E::Heading, text, 0, false, {}}; }
E Pop(const char* text, std::vector<E> children) {
    return {E::Popup, text, 0, false, std::move(children)};
}

std::vector<E> MaskEntries() {
    std::vector<E> v;
    for (int id : {kMaskType706, kMaskType705, kMaskType707, kMaskType40128, kMaskType1016})
        v.push_back(Cmd(MaskCommandLabel(id), id, id == kMaskType707));
    v.push_back(Sep());
    for (int id : {kCmdMask5, kCmdMask10, kCmdMask15, kCmdMask20, kCmdMaskAutoBw})
        v.push_back(Cmd(MaskCommandLabel(id), id));
    v.push_back(Cmd(MaskCommandLabel(kCmdCarrierPower), kCmdCarrierPower));
    return v;
}
}  // namespace

const std::vector<MenuEntry>& MainMenuLayout() {
    static const std::vector<E> layout = [] {
        std::vector<E> measure = {
            Head("---Tone Measurements---"),
            Cmd("Signal to Noise Ratio (SNR)", 599, true),
            Cmd("Set SNR Bandwidth", 601),
            Cmd("SFDR (Spur search)", 600),
            Cmd("Intermodulation (2-tone)", 32880),
            Sep(),
            Head("---Bandwidth Measurements---"),
            Cmd("Occupied Bandwidth", 616),
            Sep(),
            Head("---Adjacent Channel Leakage---"),
            Pop("Single Carrier LTE", {Cmd("Auto BW Detect", 40117), Cmd("20MHz", 804),
                                       Cmd("15MHz", 803), Cmd("10MHz", 802), Cmd("5MHz", 801)}),
            Cmd("Single Carrier W-CDMA", 806),
            Sep(),
            Head("---Spectral Emission Mask---")};
        for (E& e : MaskEntries())
            measure.push_back(e);
        return std::vector<E>{
            Pop("&File",
                {Cmd("New...", 101), Cmd("&Open...", 102), Cmd("&Save", 103),
                 Cmd("Save &As...", 104), Sep(),
                 Pop("Download from", {Head("---Configuration---"), Cmd("Single shot", 40040),
                                       Cmd("Looped retrieval", 40041, true), Sep(),
                                       Cmd("Replace current waveform", 40042, true),
                                       Cmd("Append to current waveform", 40043), Sep(),
                                       Cmd("Buffer Download to file", 40103)}),
                 Sep(), Pop("Recent Files", {}), Sep(), Cmd("Export FFT Data...", 32827), Sep(),
                 Cmd("E&xit", 107)}),
            Pop("File Type", {Head("---Behaviour---"),
                              Cmd("Select to re-parse source file", 430, true),
                              Cmd("Select to specify save type", 431),
                              Sep(),
                              Head("---ASCII File Types---"),
                              Cmd("ASCII floating point (IQ pair per line)", 401),
                              Cmd("ASCII floating point (I line Q line)", 400),
                              Cmd("ASCII Integer (16b)", 402),
                              Cmd("ASCII HEX (16b)", 403),
                              Head("---Complex Binary File Types---"),
                              Cmd("Binary 16b BE OB - IQ Interleave", 404),
                              Cmd("Binary 16b BE 2s - IQ Interleave", 405),
                              Cmd("Binary 16b LE OB - IQ Interleave", 406),
                              Cmd("Binary 16b LE 2s - IQ Interleave", 407),
                              Cmd("Binary 32b BE 2s - IQ Interleave", 408),
                              Cmd("Binary 16b CPRI Mantissa Exponent", 418),
                              Sep(),
                              Head("---Real Binary File Type---"),
                              Cmd("Binary 16b BE OB - real", 409),
                              Cmd("Binary 16b BE 2s - real", 410),
                              Cmd("Binary 16b LE OB - real", 411),
                              Cmd("Binary 16b LE 2s - real", 412)}),
            Pop("View", {Cmd("&Status Bar", 44, true),
                         Head("---Frequency Domain---"),
                         Cmd("I", 301),
                         Cmd("Q", 302),
                         Cmd("IQ", 303),
                         Cmd("QI", 304),
                         Cmd("IQ DC-FS", 305),
                         Cmd("QI DC-FS", 306),
                         Sep(),
                         Head("---Time Domain---"),
                         Cmd("I", 307),
                         Cmd("Q", 308),
                         Cmd("IQ", 309),
                         Cmd("LogMag", 310),
                         Cmd("Phase", 311),
                         Sep(),
                         Head("---Waveform---"),
                         Cmd("Vector", 312),
                         Cmd("Constellation", 314),
                         Cmd("CCDF", 313),
                         Cmd("Multi-overview", 300, true)}),
            Pop("Processed Views",
                {Head("---File Monitoring---"), Cmd("Reload External updates", 40007),
                 Cmd("Append External updates", 40090), Sep(), Head("---FFT Processing---"),
                 Cmd("Average", 32798, true), Cmd("Clear/Write", 32797),
                 Head("---Play Through File---"), Cmd("Play/Stop", 201), Sep(),
                 Head("---Coupling---"), Cmd("DC", 32801, true), Cmd("AC", 32800)}),
            Pop("Display",
                {Head("---User Y axis scaling---"), Cmd("Set REF Level", 225),
                 Cmd("Set Num Div", 226), Cmd("Set Scale/Div", 227), Sep(),
                 Cmd("Offset with dBFS-to-dBm", 229), Sep(), Cmd("Set all defaults", 228)}),
            Pop("FFT", {Head("---FFT Size---"),
                        Cmd("128", 204),
                        Cmd("256", 205),
                        Cmd("512", 206),
                        Cmd("1k", 207),
                        Cmd("2k", 208),
                        Cmd("4k", 209),
                        Cmd("8k", 210),
                        Cmd("16k", 211),
                        Cmd("32k", 212),
                        Cmd("64k", 213),
                        Cmd("128k", 214),
                        Cmd("256k", 215),
                        Cmd("512k", 216),
                        Sep(),
                        Head("---Window Function---"),
                        Cmd("Rect Window", 221),
                        Cmd("Hann Window", 222),
                        Cmd("Blackman Harris Window", 223, true),
                        Cmd("Bartlett Window", 224)}),
            Pop("Tools",
                {Head("---Sampling Frequency---"),
                 Cmd("Update Sampling Frequency", 525),
                 Pop("Re-Sample",
                     {Cmd("Up-Sample (Zero Stuff)", 526), Cmd("Up-Sample (FFT Interpolate)", 532),
                      Cmd("Down-Sample (Decimate)", 527), Cmd("Down-Sample (FFT Resample)", 535)}),
                 Sep(),
                 Head("---Modifiers---"),
                 Cmd("Add Noise", 503),
                 Pop("Add Tone",
                     {Cmd("Single Tone", 504), Cmd("Multi-Tone", 40047), Cmd("Swept-Tone", 534)}),
                 Cmd("Add Pulse", 506),
                 Pop("Amplitude",
                     {Cmd("Amplitude Scale Entire Waveform", 502),
                      Cmd("Amplitude Scale (Current Zoom only)", 40017),
                      Cmd("Amplitude Set RMS", 40088), Cmd("Complex Power Clip", 508),
                      Cmd("Voltage Clip to 0dB", 40009),
                      Cmd("Complex Power Threshold Scale", 40057), Cmd("Remove Q", 40008),
                      Cmd("Quantise to lower precision", 40056),
                      Cmd("Non-linear expansion", 40061)}),
                 Pop("Append",
                     {Cmd("Append copies of self", 40020), Cmd("Append another waveform", 511)}),
                 Pop("Correlation", {Cmd("Autocorrelation", 602), Cmd("CrossCorrelation", 608)}),
                 Pop("Crest Factor Reduction",
                     {Cmd("Iterative CFR", 538), Cmd("Peak Windowing CFR", 519)}),
                 Pop("Combine",
                     {Cmd("Add Waveform", 528), Cmd("Subtract Waveform", 529),
                      Cmd("Mix Waveform", 536), Cmd("Add/Replace Q from new file", 40010)}),
                 Cmd("Complex Conjugate", 540),
                 Pop("DC", {Cmd("Add DC", 520), Cmd("Add DC on I", 543), Cmd("Add DC on Q", 544),
                            Cmd("Remove DC", 531), Cmd("View DC Trend", 530)}),
                 Pop("Fade", {Cmd("Fade In Linear", 513), Cmd("Fade Out Linear", 514)}),
                 Pop("FFT", {Cmd("Forward FFT time to frequency samples", 533),
                             Cmd("Inverse FFT frequency to time samples", 539)}),
                 Pop("Filter",
                     {Pop("Filter Shape", {Cmd("Gaussian", 415, true), Cmd("Raised Cosine", 416),
                                           Cmd("Root Raised Cosine", 417)}),
                      Cmd("FFT Low Pass Filter", 515), Cmd("FFT High Pass Filter", 516),
                      Cmd("FFT Band Pass Filter", 517), Cmd("FFT Band Stop Filter", 518), Sep(),
                      Cmd("FIR Filter using external tap file", 40058), Sep(),
                      Cmd("LTE Channel Filter", 541), Cmd("UMTS Channel Filter", 542)}),
                 Pop("Length", {Cmd("Set Length", 507), Cmd("Crop", 523),
                                Cmd("Trim X samples from the Left", 512),
                                Cmd("Crop to Middle X samples", 40001)}),
                 Pop("PA Simulation", {Cmd("PA Compression Model", 524)}),
                 Cmd("Reverse in time", 40034),
                 Pop("Shift",
                     {Cmd("Phase Shift I only", 40048), Cmd("Phase Shift Q only", 40049),
                      Cmd("Phase Shift", 521), Cmd("Freq Shift", 509),
                      Cmd("Shift +FS/4 to DC", 510), Cmd("Shift -FS/4 to DC", 537),
                      Cmd("Time Shift (Integer)", 40011), Cmd("Time Shift (Fractional)", 40077)}),
                 Cmd("Swap IQ", 505)}),
            Pop("Measure", measure),
            Pop("Plugins",
                {Head("---Plugin: Filter Designer---"), Cmd("Design FIR Filter", 32845)}),
            Pop("&Help", {Cmd("&Basic Help", 133), Cmd("&About", 120)}),
        };
    }();
    return layout;
}

namespace {
void Fill(QMenu* menu, const std::vector<MenuEntry>& entries,
          const std::function<void(int)>& onCommand, std::map<int, QAction*>& actions) {
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
            case MenuEntry::Separator: menu->addSeparator(); break;
            case MenuEntry::Heading: menu->addAction(e.text)->setEnabled(false); break;
            case MenuEntry::Popup:
                Fill(menu->addMenu(e.text), e.children, onCommand, actions);
                break;
            case MenuEntry::Command: {
                QAction* a = menu->addAction(e.text);
                a->setCheckable(true);
                a->setChecked(e.checked);
                const int id = e.id;
                // Check marks are the frame's record of choices: a click only sends the command.
                QObject::connect(a, &QAction::triggered, a, [a, id, onCommand](bool) {
                    a->setChecked(!a->isChecked());
                    onCommand(id);
                });
                actions[id] = a;
                break;
            }
        }
    }
}
}  // namespace

void BuildMenus(QMenuBar* bar, const std::vector<MenuEntry>& layout,
                const std::function<void(int)>& onCommand, std::map<int, QAction*>& actions) {
    for (const MenuEntry& popup : layout)
        Fill(bar->addMenu(popup.text), popup.children, onCommand, actions);
    const std::pair<int, QKeySequence> keys[] = {
        {101, QKeySequence::New}, {102, QKeySequence::Open}, {103, QKeySequence::Save}};
    for (const auto& [id, key] : keys)
        if (actions.count(id)) actions[id]->setShortcut(key);
}
