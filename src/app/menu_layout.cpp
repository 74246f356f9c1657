#include "app/menu_layout.h"

#include <QAction>
#include <QMenu>

#include "measure/measurements.h"

namespace {
using E = MenuEntry;
// A plain command.
E Cmd(const char* text, int id) { return {E::Command, text, id, false, {}, false}; }
// A choice of a radio group or a switch: it carries a check mark.
E Chk(const char* text, int id, bool checked = false) {
    return {E::Command, text, id, checked, {}, true};
}
E Sep() { return {E::Separator, "", 0, false, {}}; }
E Head(const char* text) { return {E::Heading, text, 0, false, {}}; }
E Pop(const char* text, std::vector<E> children) {
    return {E::Popup, text, 0, false, std::move(children)};
}

std::vector<E> MaskEntries() {
    std::vector<E> v;
    for (int id : {kMaskType706, kMaskType705, kMaskType707, kMaskType40128, kMaskType1016})
        v.push_back(Chk(MaskCommandLabel(id), id, id == kMaskType707));
    v.push_back(Sep());
    for (int id : {kCmdMask5, kCmdMask10, kCmdMask15, kCmdMask20, kCmdMaskAutoBw})
        v.push_back(Chk(MaskCommandLabel(id), id));
    v.push_back(Cmd(MaskCommandLabel(kCmdCarrierPower), kCmdCarrierPower));
    return v;
}
}  // namespace

const std::vector<MenuEntry>& MainMenuLayout() {
    static const std::vector<E> layout = [] {
        std::vector<E> measure = {
            Head("---Tone Measurements---"),
            Chk("Signal to Noise Ratio (SNR)", 599, true),
            Cmd("Set SNR Bandwidth", 601),
            Chk("SFDR (Spur search)", 600),
            Chk("Intermodulation (2-tone)", 32880),
            Sep(),
            Head("---Bandwidth Measurements---"),
            Chk("Occupied Bandwidth", 616),
            Sep(),
            Head("---Adjacent Channel Leakage---"),
            Pop("Single Carrier LTE", {Chk("Auto BW Detect", 40117), Chk("20MHz", 804),
                                       Chk("15MHz", 803), Chk("10MHz", 802), Chk("5MHz", 801)}),
            Chk("Single Carrier W-CDMA", 806),
            Sep(),
            Head("---Spectral Emission Mask---")};
        for (E& e : MaskEntries())
            measure.push_back(e);
        return std::vector<E>{
            Pop("&File",
                {Cmd("New...", 101), Cmd("&Open...", 102), Cmd("&Save", 103),
                 Cmd("Save &As...", 104), Sep(),
                 Pop("Download from", {Head("---Configuration---"), Chk("Single shot", 40040),
                                       Chk("Looped retrieval", 40041, true), Sep(),
                                       Chk("Replace current waveform", 40042, true),
                                       Chk("Append to current waveform", 40043), Sep(),
                                       Chk("Buffer Download to file", 40103)}),
                 Sep(), Pop("Recent Files", {}), Sep(), Cmd("Export FFT Data...", 32827), Sep(),
                 Cmd("E&xit", 107)}),
            Pop("&Edit", {Cmd("&Undo\tCtrl+Z", 40002)}),
            Pop("File T&ype", {Head("---Behaviour---"),
                               Chk("Select to re-parse source file", 430, true),
                               Chk("Select to specify save type", 431),
                               Sep(),
                               Head("---ASCII File Types---"),
                               Chk("ASCII floating point (IQ pair per line)", 401),
                               Chk("ASCII floating point (I line Q line)", 400),
                               Chk("ASCII Integer (16b)", 402),
                               Chk("ASCII HEX (16b)", 403),
                               Head("---Complex Binary File Types---"),
                               Chk("Binary 16b BE OB - IQ Interleave", 404),
                               Chk("Binary 16b BE 2s - IQ Interleave", 405),
                               Chk("Binary 16b LE OB - IQ Interleave", 406),
                               Chk("Binary 16b LE 2s - IQ Interleave", 407),
                               Chk("Binary 32b BE 2s - IQ Interleave", 408),
                               Chk("Binary 16b CPRI Mantissa Exponent", 418),
                               Sep(),
                               Head("---Real Binary File Type---"),
                               Chk("Binary 16b BE OB - real", 409),
                               Chk("Binary 16b BE 2s - real", 410),
                               Chk("Binary 16b LE OB - real", 411),
                               Chk("Binary 16b LE 2s - real", 412),
                               Sep(),
                               Head("---SDR Capture File Types---"),
                               Chk("Binary 32b float LE - IQ Interleave (.cf32)", 420),
                               Chk("Binary 8b 2s - IQ Interleave (.cs8)", 421),
                               Chk("Binary 8b unsigned - IQ Interleave (.cu8)", 422)}),
            Pop("&View", {Chk("&Status Bar", 44, true),
                          Head("---Frequency Domain---"),
                          Chk("I", 301),
                          Chk("Q", 302),
                          Chk("IQ", 303),
                          Chk("QI", 304),
                          Chk("IQ DC-FS", 305),
                          Chk("QI DC-FS", 306),
                          Sep(),
                          Head("---Time Domain---"),
                          Chk("I", 307),
                          Chk("Q", 308),
                          Chk("IQ", 309),
                          Chk("LogMag", 310),
                          Chk("Phase", 311),
                          Sep(),
                          Head("---Waveform---"),
                          Chk("Vector", 312),
                          Chk("Constellation", 314),
                          Chk("CCDF", 313),
                          Chk("Multi-overview", 300, true),
                          Sep(),
                          Chk("Phase (frequency domain)", 40014)}),
            Pop("&Processed Views",
                {Head("---File Monitoring---"), Chk("Reload External updates", 40007),
                 Chk("Append External updates", 40090), Chk("Average External updates", 40089),
                 Sep(), Head("---FFT Processing---"), Chk("Average", 32798, true),
                 Chk("Clear/Write", 32797), Head("---Play Through File---"), Chk("Play/Stop", 201),
                 Sep(), Head("---Coupling---"), Chk("DC", 32801, true), Chk("AC", 32800)}),
            Pop("&Display",
                {Head("---User Y axis scaling---"), Cmd("Set REF Level", 225),
                 Cmd("Set Num Div", 226), Cmd("Set Scale/Div", 227), Sep(),
                 Cmd("Offset with dBFS-to-dBm", 229), Sep(), Cmd("Set all defaults", 228)}),
            Pop("FF&T", {Head("---FFT Size---"),
                         Chk("128", 204),
                         Chk("256", 205),
                         Chk("512", 206),
                         Chk("1k", 207),
                         Chk("2k", 208),
                         Chk("4k", 209),
                         Chk("8k", 210),
                         Chk("16k", 211),
                         Chk("32k", 212),
                         Chk("64k", 213),
                         Chk("128k", 214),
                         Chk("256k", 215),
                         Chk("512k", 216),
                         Sep(),
                         Head("---Window Function---"),
                         Chk("Rect Window", 221),
                         Chk("Hann Window", 222),
                         Chk("Blackman Harris Window", 223, true),
                         Chk("Bartlett Window", 224)}),
            Pop("T&ools",
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
                 Cmd("Replace by QPSK", 721),
                 Cmd("Replace by 16QAM", 40091),
                 Cmd("Replace by 64QAM\u2026", 40039),
                 Pop("Amplitude",
                     {Cmd("Amplitude Scale Entire Waveform", 502),
                      Cmd("Amplitude Scale (Current Zoom only)", 40017),
                      Cmd("Amplitude Set RMS", 40088), Cmd("Complex Power Clip", 508),
                      Cmd("Voltage Clip to 0dB", 40009),
                      Cmd("Complex Power Threshold Scale", 40057), Cmd("Remove Q", 40008),
                      Cmd("Quantise to lower precision", 40056),
                      Cmd("Level by Marker File\u2026", 39506),
                      Cmd("Non-linear expansion", 40061)}),
                 Pop("Append",
                     {Cmd("Append copies of self", 40020), Cmd("Append another waveform", 511)}),
                 Pop("Correlation", {Cmd("Autocorrelation", 602), Cmd("CrossCorrelation", 608),
                                     Cmd("Circular CrossCorrelation", 617),
                                     Cmd("Frequency Offset (Freq Domain CrossCorrelation)", 711)}),
                 Pop("Crest Factor Reduction",
                     {Cmd("Iterative CFR\u2026", 538), Cmd("Peak Windowing CFR\u2026", 519)}),
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
                     {Pop("Filter Shape", {Chk("Gaussian", 415, true), Chk("Raised Cosine", 416),
                                           Chk("Root Raised Cosine", 417)}),
                      Cmd("FFT Low Pass Filter", 515), Cmd("FFT High Pass Filter", 516),
                      Cmd("FFT Band Pass Filter", 517), Cmd("FFT Band Stop Filter", 518), Sep(),
                      Cmd("FIR Filter using external tap file", 40058), Sep(),
                      Cmd("LTE Channel Filter", 541), Cmd("UMTS Channel Filter", 542)}),
                 Pop("Length", {Cmd("Set Length", 507), Cmd("Crop", 523),
                                Cmd("Trim X samples from the Left", 512),
                                Cmd("Crop to Middle X samples", 40001)}),
                 Pop("PA Simulation", {Cmd("PA Compression\u2026", 524)}),
                 Cmd("Reverse in time", 40034),
                 Pop("Shift",
                     {Cmd("Phase Shift I only", 40048), Cmd("Phase Shift Q only", 40049),
                      Cmd("Phase Shift", 521), Cmd("Freq Shift", 509),
                      Cmd("Shift +FS/4 to DC", 510), Cmd("Shift -FS/4 to DC", 537),
                      Cmd("Time Shift (Integer)", 40011), Cmd("Time Shift (Fractional)", 40077)}),
                 Cmd("Swap IQ", 505)}),
            Pop("&Measure", measure),
            Pop("P&lugins",
                {Head("---Plugin: Filter Designer---"), Cmd("Design FIR Filter", 32845)}),
            Pop("&Help", {Cmd("&Basic Help", 133), Cmd("&About", 120)}),
        };
    }();
    return layout;
}

namespace {
QMenu* AddPopup(QWidget* parent, const char* text) {
    QMenu* menu = nullptr;
    if (auto* bar = qobject_cast<QMenuBar*>(parent))
        menu = bar->addMenu(text);
    else
        menu = static_cast<QMenu*>(parent)->addMenu(text);
    menu->setObjectName(QString::fromUtf8(text).remove('&'));
    return menu;
}

void Fill(QMenu* menu, const std::vector<MenuEntry>& entries,
          const std::function<void(int)>& onCommand, std::map<int, QAction*>& actions) {
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
            case MenuEntry::Separator: menu->addSeparator(); break;
            case MenuEntry::Heading: menu->addAction(e.text)->setEnabled(false); break;
            case MenuEntry::Popup:
                Fill(AddPopup(menu, e.text), e.children, onCommand, actions);
                break;
            case MenuEntry::Command: {
                QAction* a = menu->addAction(e.text);
                a->setCheckable(e.checkable);
                a->setChecked(e.checked);
                a->setData(e.id);
                const int id = e.id;
                const bool checkable = e.checkable;
                // Check marks are the frame's record of choices: a click only sends the command.
                QObject::connect(a, &QAction::triggered, a, [a, id, checkable, onCommand](bool) {
                    if (checkable) a->setChecked(!a->isChecked());
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
        Fill(AddPopup(bar, popup.text), popup.children, onCommand, actions);
    const std::pair<int, QKeySequence> keys[] = {{101, QKeySequence(Qt::CTRL | Qt::Key_N)},
                                                 {102, QKeySequence(Qt::CTRL | Qt::Key_O)},
                                                 {103, QKeySequence(Qt::CTRL | Qt::Key_S)}};
    for (const auto& [id, key] : keys)
        if (actions.count(id)) actions[id]->setShortcut(key);
}
