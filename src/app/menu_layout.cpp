#include "app/menu_layout.h"

#include <QAction>
#include <QActionGroup>
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
// A choice of a radio group: it carries a radio mark.
E Rad(const char* text, int id, int group, bool checked = false) {
    return {E::Command, text, id, checked, {}, true, group};
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
            Cmd("Set SNR Bandwidth\u2026", 601),
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
                {Cmd("&New", 101), Cmd("&Open\u2026", 102), Cmd("&Save", 103),
                 Cmd("Save &As\u2026", 104), Sep(),
                 Pop("Download from",
                     {Head("---Configuration---"), Rad("Single shot", 40040, kDownloadModeGroup),
                      Rad("Looped retrieval", 40041, kDownloadModeGroup, true), Sep(),
                      Rad("Replace current waveform", 40042, kDownloadTargetGroup, true),
                      Rad("Append to current waveform", 40043, kDownloadTargetGroup), Sep(),
                      Chk("Buffer Download to file\u2026", 40103)}),
                 Sep(), Pop("Recent Files", {}), Sep(), Cmd("&Export FFT Data\u2026", 32827), Sep(),
                 Cmd("E&xit", 107)}),
            Pop("&Edit", {Cmd("&Undo\tCtrl+Z", 40002)}),
            Pop("File T&ype",
                {Head("---Behaviour---"),
                 Rad("Select to re-parse source file", 430, kParseBehaviourGroup, true),
                 Rad("Select to specify save type", 431, kParseBehaviourGroup),
                 Sep(),
                 Head("---ASCII File Types---"),
                 Rad("ASCII floating point (IQ pair per line)", 401, kFileTypeGroup),
                 Rad("ASCII floating point (I line Q line)", 400, kFileTypeGroup),
                 Rad("ASCII Integer (16b)", 402, kFileTypeGroup),
                 Rad("ASCII HEX (16b)", 403, kFileTypeGroup),
                 Head("---Complex Binary File Types---"),
                 Rad("Binary 16b BE OB - IQ Interleave", 404, kFileTypeGroup),
                 Rad("Binary 16b BE 2s - IQ Interleave", 405, kFileTypeGroup),
                 Rad("Binary 16b LE OB - IQ Interleave", 406, kFileTypeGroup),
                 Rad("Binary 16b LE 2s - IQ Interleave", 407, kFileTypeGroup),
                 Rad("Binary 32b BE 2s - IQ Interleave", 408, kFileTypeGroup),
                 Rad("Binary 16b CPRI Mantissa Exponent", 418, kFileTypeGroup),
                 Sep(),
                 Head("---Real Binary File Type---"),
                 Rad("Binary 16b BE OB - real", 409, kFileTypeGroup),
                 Rad("Binary 16b BE 2s - real", 410, kFileTypeGroup),
                 Rad("Binary 16b LE OB - real", 411, kFileTypeGroup),
                 Rad("Binary 16b LE 2s - real", 412, kFileTypeGroup),
                 Sep(),
                 Head("---SDR Capture File Types---"),
                 Rad("Binary 32b float LE - IQ Interleave (.cf32)", 420, kFileTypeGroup),
                 Rad("Binary 8b 2s - IQ Interleave (.cs8)", 421, kFileTypeGroup),
                 Rad("Binary 8b unsigned - IQ Interleave (.cu8)", 422, kFileTypeGroup)}),
            Pop("&View", {Chk("&Status Bar", 44, true),
                          Head("---Frequency Domain---"),
                          Rad("I", 301, kViewKindGroup),
                          Rad("Q", 302, kViewKindGroup),
                          Rad("IQ", 303, kViewKindGroup),
                          Rad("QI", 304, kViewKindGroup),
                          Rad("IQ DC-FS", 305, kViewKindGroup),
                          Rad("QI DC-FS", 306, kViewKindGroup),
                          Sep(),
                          Head("---Time Domain---"),
                          Rad("I", 307, kViewKindGroup),
                          Rad("Q", 308, kViewKindGroup),
                          Rad("IQ", 309, kViewKindGroup),
                          Rad("LogMag", 310, kViewKindGroup),
                          Rad("Phase", 311, kViewKindGroup),
                          Sep(),
                          Head("---Waveform---"),
                          Rad("Vector", 312, kViewKindGroup),
                          Rad("Constellation", 314, kViewKindGroup),
                          Rad("CCDF", 313, kViewKindGroup),
                          Rad("Multi-overview", 300, kViewKindGroup, true),
                          Sep(),
                          Chk("Phase (frequency domain)", 40014)}),
            Pop("&Processed Views",
                {Head("---File Monitoring---"), Chk("Reload External updates", 40007),
                 Chk("Append External updates", 40090), Chk("Average External updates", 40089),
                 Sep(), Head("---FFT Processing---"), Rad("Average", 32798, kTraceGroup, true),
                 Rad("Clear/Write", 32797, kTraceGroup), Head("---Play Through File---"),
                 Chk("Play/Stop", 201), Sep(), Head("---Coupling---"),
                 Rad("DC", 32801, kCouplingGroup, true), Rad("AC", 32800, kCouplingGroup)}),
            Pop("&Display",
                {Head("---User Y axis scaling---"), Cmd("Set REF Level\u2026", 225),
                 Cmd("Set Num Div\u2026", 226), Cmd("Set Scale/Div\u2026", 227), Sep(),
                 Cmd("Offset with dBFS-to-dBm\u2026", 229), Sep(), Cmd("Set all defaults", 228)}),
            Pop("FF&T", {Head("---FFT Size---"),
                         Rad("128", 204, kFftSizeGroup),
                         Rad("256", 205, kFftSizeGroup),
                         Rad("512", 206, kFftSizeGroup),
                         Rad("1k", 207, kFftSizeGroup),
                         Rad("2k", 208, kFftSizeGroup),
                         Rad("4k", 209, kFftSizeGroup),
                         Rad("8k", 210, kFftSizeGroup),
                         Rad("16k", 211, kFftSizeGroup),
                         Rad("32k", 212, kFftSizeGroup),
                         Rad("64k", 213, kFftSizeGroup),
                         Rad("128k", 214, kFftSizeGroup),
                         Rad("256k", 215, kFftSizeGroup),
                         Rad("512k", 216, kFftSizeGroup),
                         Sep(),
                         Head("---Window Function---"),
                         Rad("Rect Window", 221, kWindowGroup),
                         Rad("Hann Window", 222, kWindowGroup),
                         Rad("Blackman Harris Window", 223, kWindowGroup, true),
                         Rad("Bartlett Window", 224, kWindowGroup)}),
            Pop("T&ools",
                {Head("---Sampling Frequency---"),
                 Cmd("Update &Sampling Frequency\u2026", 525),
                 Pop("Re-Sa&mple", {Cmd("&Up-Sample (Zero Stuff)\u2026", 526),
                                    Cmd("Up-Sample (FFT &Interpolate)\u2026", 532),
                                    Cmd("&Down-Sample (Decimate)\u2026", 527),
                                    Cmd("Down-Sample (FFT &Resample)\u2026", 535)}),
                 Sep(),
                 Head("---Modifiers---"),
                 Cmd("Add &Noise\u2026", 503),
                 Pop("Add &Tone", {Cmd("&Single Tone\u2026", 504), Cmd("&Multi-Tone\u2026", 40047),
                                   Cmd("S&wept-Tone\u2026", 534)}),
                 Cmd("Add &Pulse\u2026", 506),
                 Cmd("Replace by &QPSK", 721),
                 Cmd("Replace by 1&6QAM", 40091),
                 Cmd("Replace by 6&4QAM\u2026", 40039),
                 Pop("&Amplitude",
                     {Cmd("Amplitude &Scale Entire Waveform\u2026", 502),
                      Cmd("Amplitude Scale (&Current Zoom only)\u2026", 40017),
                      Cmd("Amplitude Set &RMS\u2026", 40088), Cmd("Complex &Power Clip\u2026", 508),
                      Cmd("&Voltage Clip to 0dB", 40009),
                      Cmd("Complex Power &Threshold Scale\u2026", 40057), Cmd("Remove &Q", 40008),
                      Cmd("Q&uantise to lower precision\u2026", 40056),
                      Cmd("Level by &Marker File\u2026", 39506),
                      Cmd("Non-linear &expansion", 40061)}),
                 Pop("App&end", {Cmd("Append &copies of self\u2026", 40020),
                                 Cmd("Append &another waveform\u2026", 511)}),
                 Pop("Co&rrelation",
                     {Cmd("&Autocorrelation", 602), Cmd("&CrossCorrelation\u2026", 608),
                      Cmd("C&ircular CrossCorrelation\u2026", 617),
                      Cmd("&Frequency Offset (Freq Domain CrossCorrelation)\u2026", 711)}),
                 Pop("Crest Fact&or Reduction",
                     {Cmd("&Iterative CFR\u2026", 538), Cmd("&Peak Windowing CFR\u2026", 519)}),
                 Pop("Com&bine",
                     {Cmd("&Add Waveform\u2026", 528), Cmd("&Subtract Waveform\u2026", 529),
                      Cmd("&Mix Waveform\u2026", 536),
                      Cmd("Add/&Replace Q from new file\u2026", 40010)}),
                 Cmd("Complex Con&jugate", 540),
                 Pop("D&C", {Cmd("&Add DC\u2026", 520), Cmd("Add DC on &I\u2026", 543),
                             Cmd("Add DC on &Q\u2026", 544), Cmd("&Remove DC", 531),
                             Cmd("&View DC Trend\u2026", 530)}),
                 Pop("Fa&de", {Cmd("Fade &In Linear", 513), Cmd("Fade &Out Linear", 514)}),
                 Pop("&FFT", {Cmd("&Forward FFT time to frequency samples", 533),
                              Cmd("&Inverse FFT frequency to time samples", 539)}),
                 Pop("Fi&lter",
                     {Pop("Filter &Shape", {Rad("&Gaussian", 415, kShapeGroup, true),
                                            Rad("&Raised Cosine", 416, kShapeGroup),
                                            Rad("Root Raised &Cosine", 417, kShapeGroup)}),
                      Cmd("FFT &Low Pass Filter\u2026", 515),
                      Cmd("FFT &High Pass Filter\u2026", 516),
                      Cmd("FFT &Band Pass Filter\u2026", 517),
                      Cmd("FFT Band S&top Filter\u2026", 518), Sep(),
                      Cmd("&FIR Filter using external tap file\u2026", 40058), Sep(),
                      Cmd("LT&E Channel Filter\u2026", 541),
                      Cmd("&UMTS Channel Filter\u2026", 542)}),
                 Pop("Len&gth", {Cmd("Set &Length\u2026", 507), Cmd("&Crop\u2026", 523),
                                 Cmd("&Trim X samples from the Left\u2026", 512),
                                 Cmd("Crop to &Middle X samples\u2026", 40001)}),
                 Pop("PA S&imulation", {Cmd("&PA Compression\u2026", 524)}),
                 Cmd("Re&verse in time", 40034),
                 Pop("S&hift",
                     {Cmd("Phase Shift &I only\u2026", 40048),
                      Cmd("Phase Shift &Q only\u2026", 40049), Cmd("&Phase Shift\u2026", 521),
                      Cmd("&Freq Shift\u2026", 509), Cmd("Shift &+FS/4 to DC", 510),
                      Cmd("Shift &-FS/4 to DC", 537), Cmd("&Time Shift (Integer)\u2026", 40011),
                      Cmd("Time Shift (Fr&actional)\u2026", 40077)}),
                 Cmd("S&wap IQ", 505)}),
            Pop("&Measure", measure),
            Pop("P&lugins",
                {Head("---Plugin: Filter Designer---"), Cmd("Design FIR Filter\u2026", 32845)}),
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
        menu = static_cast<QMenu*>(parent)->addMenu(QString::fromUtf8(text));
    menu->setObjectName(QString::fromUtf8(text).remove('&').remove(QChar(0x2026)));
    return menu;
}

void Fill(QMenu* menu, const std::vector<MenuEntry>& entries,
          const std::function<void(int)>& onCommand, std::map<int, QAction*>& actions) {
    std::map<int, QActionGroup*> groups;
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
            case MenuEntry::Separator: menu->addSeparator(); break;
            case MenuEntry::Heading: menu->addAction(e.text)->setEnabled(false); break;
            case MenuEntry::Popup:
                Fill(AddPopup(menu, e.text), e.children, onCommand, actions);
                break;
            case MenuEntry::Command: {
                QAction* a = menu->addAction(QString::fromUtf8(e.text));
                a->setCheckable(e.checkable);
                if (e.group != kNoGroup) {
                    // Radio marks; the frame still sets every mark itself (none may be set).
                    QActionGroup*& group = groups[e.group];
                    if (!group) {
                        group = new QActionGroup(menu);
                        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
                    }
                    a->setActionGroup(group);
                }
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
