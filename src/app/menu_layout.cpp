#include "app/menu_layout.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <algorithm>

#include "app/command_ids.h"
#include "display/view_kinds.h"
#include "measure/measure_ids.h"
#include "measure/measurements.h"
#include "tools/tool.h"

namespace {
using E = MenuEntry;
// A plain command.
E Cmd(const char* text, int id, int rank = 0) {
    E e;
    e.text = text;
    e.id = id;
    e.rank = rank;
    return e;
}
// A switch: it carries a check mark.
E Chk(const char* text, int id, bool checked = false) {
    E e = Cmd(text, id);
    e.checked = checked;
    e.checkable = true;
    return e;
}
// A choice of a radio group: it carries a radio mark.
E Rad(const char* text, int id, int group, bool checked = false) {
    E e = Chk(text, id, checked);
    e.group = group;
    return e;
}
E Sep(int rank = 0) {
    E e;
    e.kind = E::Separator;
    e.rank = rank;
    return e;
}
E Head(const char* text, int rank = 0) {
    E e;
    e.kind = E::Heading;
    e.text = text;
    e.rank = rank;
    return e;
}
E Pop(const char* text, std::vector<E> children, int rank = 0) {
    E e;
    e.kind = E::Popup;
    e.text = text;
    e.children = std::move(children);
    e.rank = rank;
    return e;
}
// A popup that also takes the tool rows placed in it (tools: its key, "" for Tools itself).
E ToolPop(const char* text, std::vector<E> children, int rank = 0, const char* key = nullptr) {
    E e = Pop(text, std::move(children), rank);
    e.toolKey = key ? std::string(key) : QString::fromUtf8(text).remove('&').toStdString();
    return e;
}

// The tool rows placed in the popup with this key, as entries: the row's label, with an
// ellipsis when the tool asks for values or a file.
std::vector<E> ToolEntries(const std::string& key) {
    std::vector<E> entries;
    for (const ToolRow& row : AllTools()) {
        if (key != row.menu.popup) continue;
        E e = Cmd("", row.id, row.menu.rank);
        e.text = std::string(row.menu.label) + (row.prompts.empty() ? "" : "\u2026");
        entries.push_back(e);
    }
    return entries;
}

// Fills every tool popup with its rows, in rank order among the popup's own entries.
void PlaceTools(std::vector<E>& entries) {
    for (E& e : entries) {
        if (e.kind != E::Popup) continue;
        PlaceTools(e.children);
        if (!e.toolKey) continue;
        for (E& tool : ToolEntries(*e.toolKey))
            e.children.push_back(tool);
        std::stable_sort(e.children.begin(), e.children.end(),
                         [](const E& a, const E& b) { return a.rank < b.rank; });
    }
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

// "128" … "512k", one radio choice each.
std::vector<E> FftSizeEntries() {
    std::vector<E> v{Head("---FFT Size---")};
    for (int id = kCmdFftSizeFirst; id <= kCmdFftSizeLast; ++id) {
        const int n = FftSizeForCommand(id);
        E e = Rad("", id, kFftSizeGroup);
        e.text = n >= 1024 ? std::to_string(n / 1024) + "k" : std::to_string(n);
        v.push_back(e);
    }
    return v;
}

std::vector<E> FileTypeEntries() {
    std::vector<E> v{
        Head("---Behaviour---"),
        Rad("Select to re-parse source file", kCmdReparseMode, kParseBehaviourGroup, true),
        Rad("Select to specify save type", kCmdSaveTypeMode, kParseBehaviourGroup), Sep()};
    const auto section = [&v](const char* heading, std::initializer_list<int> types) {
        if (*heading) v.push_back(Head(heading));
        for (int type : types)
            v.push_back(Rad(FileTypeMenuText(type), type, kFileTypeGroup));
    };
    section("---ASCII File Types---",
            {kFileAsciiIQPair, kFileAsciiIQLines, kFileAsciiInt16, kFileAsciiHex16});
    section("---Complex Binary File Types---",
            {kFileBin16BeOffset, kFileBin16BeTwos, kFileBin16LeOffset, kFileBin16LeTwos,
             kFileBin32BeTwos, kFileCpriMantExp});
    v.push_back(Sep());
    section("---Real Binary File Type---",
            {kFileReal16BeOffset, kFileReal16BeTwos, kFileReal16LeOffset, kFileReal16LeTwos});
    v.push_back(Sep());
    section("---SDR Capture File Types---",
            {kFileCf32Le, kFileCs8, kFileCu8, kFileCf64Le, kFileCi32Le});
    return v;
}
}  // namespace

const std::vector<MenuEntry>& MainMenuLayout() {
    static const std::vector<E> layout = [] {
        std::vector<E> measure = {
            Head("---Tone Measurements---"),
            Chk("Signal to Noise Ratio (SNR)", kCmdSnr, true),
            Cmd("Set SNR Bandwidth\u2026", kCmdSnrBandwidth),
            Chk("SFDR (Spur search)", kCmdSfdr),
            Chk("Intermodulation (2-tone)", kCmdImd),
            Sep(),
            Head("---Bandwidth Measurements---"),
            Chk("Occupied Bandwidth", kCmdObw),
            Sep(),
            Head("---Adjacent Channel Leakage---"),
            Pop("Single Carrier LTE",
                {Chk("Auto BW Detect", kCmdLteAutoBw), Chk("20MHz", kCmdAclr20),
                 Chk("15MHz", kCmdAclr15), Chk("10MHz", kCmdAclr10), Chk("5MHz", kCmdAclr5)}),
            Chk("Single Carrier W-CDMA", kCmdAclrWcdma),
            Sep(),
            Head("---Spectral Emission Mask---")};
        const std::vector<E> accuracy = {Sep(), Head("---Modulation Accuracy---"),
                                         Cmd("Modulation Analysis\u2026", kCmdModulationAnalysis),
                                         Cmd("EVM against Reference File\u2026", kCmdEvmReference),
                                         Cmd("Clear Modulation Results", kCmdModulationClear)};
        for (E& e : MaskEntries())
            measure.push_back(e);
        measure.insert(measure.end(), accuracy.begin(), accuracy.end());
        std::vector<E> fft = FftSizeEntries();
        for (E e :
             {Sep(), Head("---Window Function---"), Rad("Rect Window", kWindowRect, kWindowGroup),
              Rad("Hann Window", kWindowHann, kWindowGroup),
              Rad("Blackman Harris Window", kWindowBlackmanHarris, kWindowGroup, true),
              Rad("Bartlett Window", kWindowBartlett, kWindowGroup)})
            fft.push_back(e);
        std::vector<E> bar{
            Pop("&File",
                {Cmd("&New", kCmdNew), Cmd("&Open\u2026", kCmdOpen), Cmd("&Save", kCmdSave),
                 Cmd("Save &As\u2026", kCmdSaveAs), Sep(),
                 Pop("Download from",
                     {Head("---Configuration---"),
                      Rad("Single shot", kCmdSingleShot, kDownloadModeGroup),
                      Rad("Looped retrieval", kCmdLoopedRetrieval, kDownloadModeGroup, true), Sep(),
                      Rad("Replace current waveform", kCmdReplaceDownload, kDownloadTargetGroup,
                          true),
                      Rad("Append to current waveform", kCmdAppendDownload, kDownloadTargetGroup),
                      Sep(), Chk("Buffer Download to file\u2026", kCmdDownloadToFile)}),
                 Sep(), Pop("Recent Files", {}), Sep(),
                 Cmd("&Export FFT Data\u2026", kCmdExportFft), Sep(), Cmd("E&xit", kCmdExit)}),
            Pop("&Edit", {Cmd("&Undo\tCtrl+Z", kCmdUndo)}),
            Pop("&Capture", {Cmd("Load &Range\u2026", kCmdLoadRange),
                             Cmd("Recording &Channel\u2026", kCmdRecordingChannel), Sep(),
                             Head("---Annotations---"), Chk("Annotation &List", kCmdAnnotationList),
                             Cmd("&Next Annotation", kCmdAnnotationNext),
                             Cmd("&Previous Annotation", kCmdAnnotationPrevious),
                             Cmd("&Annotate Selection\u2026", kCmdAnnotationAdd),
                             Cmd("&Edit Annotation\u2026", kCmdAnnotationEdit),
                             Cmd("&Delete Annotation", kCmdAnnotationDelete)}),
            Pop("File T&ype", FileTypeEntries()),
            Pop("&View", {Chk("&Status Bar", kCmdStatusBar, true),
                          Head("---Frequency Domain---"),
                          Rad("I", kViewI, kViewKindGroup),
                          Rad("Q", kViewQ, kViewKindGroup),
                          Rad("IQ", kViewIQ, kViewKindGroup),
                          Rad("QI", kViewQI, kViewKindGroup),
                          Rad("IQ DC-FS", kViewIQDcFs, kViewKindGroup),
                          Rad("QI DC-FS", kViewQIDcFs, kViewKindGroup),
                          Sep(),
                          Head("---Time Domain---"),
                          Rad("I", kViewTimeI, kViewKindGroup),
                          Rad("Q", kViewTimeQ, kViewKindGroup),
                          Rad("IQ", kViewTimeIQ, kViewKindGroup),
                          Rad("LogMag", kViewLogMag, kViewKindGroup),
                          Rad("Phase", kViewPhase, kViewKindGroup),
                          Sep(),
                          Head("---Waveform---"),
                          Rad("Vector", kViewVector, kViewKindGroup),
                          Rad("Constellation", kViewConstellation, kViewKindGroup),
                          Rad("CCDF", kViewCcdf, kViewKindGroup),
                          Rad("EVM against Symbol", kViewAnalysisEvm, kViewKindGroup),
                          Rad("Multi-overview", kViewMulti, kViewKindGroup, true),
                          Sep(),
                          Head("---Time and Frequency---"),
                          Rad("Spectrogram", kViewSpectrogram, kViewKindGroup),
                          Cmd("Spectrogram Settings\u2026", kCmdSpectrogramSettings),
                          Chk("Grey Spectrogram Colours", kCmdSpectrogramGrey),
                          Chk("Spectrogram in Multi-overview", kCmdSpectrogramInMulti),
                          Sep(),
                          Head("---Markers---"),
                          Cmd("Place Marker at Mouse", kCmdMarkerPlace),
                          Cmd("Marker to Peak", kCmdMarkerPeak),
                          Cmd("Marker to Next Peak Left", kCmdMarkerNextLeft),
                          Cmd("Marker to Next Peak Right", kCmdMarkerNextRight),
                          Cmd("Marker to Next Lower Peak", kCmdMarkerNextLower),
                          Cmd("Delete Marker", kCmdMarkerDelete),
                          Cmd("Delete All Markers", kCmdMarkerDeleteAll),
                          Chk("Marker Delta (M2 to M4 against M1)", kCmdMarkerDelta),
                          Cmd("Marker Band Power and Noise Widths\u2026", kCmdMarkerWidths),
                          Chk("Marker Table", kCmdMarkerTable),
                          Sep(),
                          Chk("Time of Day on Time Axes", kCmdAbsoluteTime),
                          Chk("Phase (frequency domain)", kCmdPhaseDisplay)}),
            Pop("&Processed Views",
                {Head("---File Monitoring---"), Chk("Reload External updates", kCmdMonitorReload),
                 Chk("Append External updates", kCmdMonitorAppend),
                 Chk("Average External updates", kCmdMonitorAverage), Sep(),
                 Head("---FFT Processing---"), Rad("Average", kCmdAverage, kTraceGroup, true),
                 Rad("Clear/Write", kCmdClearWrite, kTraceGroup), Head("---Play Through File---"),
                 Chk("Play/Stop", kCmdPlayThrough), Sep(), Head("---Coupling---"),
                 Rad("DC", kCmdDcCoupling, kCouplingGroup, true),
                 Rad("AC", kCmdAcCoupling, kCouplingGroup)}),
            Pop("&Display",
                {Head("---User Y axis scaling---"), Cmd("Set REF Level\u2026", kCmdSetReference),
                 Cmd("Set Num Div\u2026", kCmdSetDivisions),
                 Cmd("Set Scale/Div\u2026", kCmdSetScale), Sep(),
                 Cmd("Offset with dBFS-to-dBm\u2026", kCmdDbmOffset), Sep(),
                 Cmd("Set all defaults", kCmdAxisDefaults)}),
            Pop("FF&T", fft),
            // The tools take their places from their rows; the entries here rank around them.
            ToolPop(
                "T&ools",
                {Head("---Sampling Frequency---", 10),
                 Cmd("Update &Sampling Frequency\u2026", kCmdSampleRate, 20),
                 ToolPop("Re-Sa&mple", {}, 30), Sep(40), Head("---Modifiers---", 50),
                 ToolPop("Add &Tone", {}, 70), ToolPop("&Amplitude", {}, 120),
                 ToolPop("App&end", {}, 130), ToolPop("Co&rrelation", {}, 140),
                 ToolPop("Crest Fact&or Reduction", {}, 150), ToolPop("Com&bine", {}, 160),
                 ToolPop("D&C", {}, 180), ToolPop("Fa&de", {}, 190), ToolPop("&FFT", {}, 200),
                 ToolPop("Fi&lter",
                         {Pop("Filter &Shape",
                              {Rad("&Gaussian", kCmdShapeGaussian, kShapeGroup, true),
                               Rad("&Raised Cosine", kCmdShapeRaisedCosine, kShapeGroup),
                               Rad("Root Raised &Cosine", kCmdShapeRootRaisedCosine, kShapeGroup)},
                              10),
                          Sep(55), Sep(65)},
                         210),
                 ToolPop("Len&gth", {}, 220), ToolPop("PA S&imulation", {}, 230),
                 ToolPop("S&hift", {}, 250)},
                0, ""),
            Pop("&Measure", measure),
            Pop("P&lugins", {Head("---Plugin: Filter Designer---"),
                             Cmd("Design FIR Filter\u2026", kCmdFirDesigner)}),
            Pop("&Help", {Cmd("&Basic Help", kCmdHelp), Cmd("&About", kCmdAbout)}),
        };
        PlaceTools(bar);
        return bar;
    }();
    return layout;
}

namespace {
QMenu* AddPopup(QWidget* parent, const std::string& text) {
    QMenu* menu = nullptr;
    const QString title = QString::fromStdString(text);
    if (auto* bar = qobject_cast<QMenuBar*>(parent))
        menu = bar->addMenu(title);
    else
        menu = static_cast<QMenu*>(parent)->addMenu(title);
    menu->setObjectName(QString(title).remove('&').remove(QChar(0x2026)));
    return menu;
}

void Fill(QMenu* menu, const std::vector<MenuEntry>& entries,
          const std::function<void(int)>& onCommand, std::map<int, QAction*>& actions) {
    std::map<int, QActionGroup*> groups;
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
            case MenuEntry::Separator: menu->addSeparator(); break;
            case MenuEntry::Heading:
                menu->addAction(QString::fromStdString(e.text))->setEnabled(false);
                break;
            case MenuEntry::Popup:
                Fill(AddPopup(menu, e.text), e.children, onCommand, actions);
                break;
            case MenuEntry::Command: {
                QAction* a = menu->addAction(QString::fromStdString(e.text));
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
    const std::pair<int, QKeySequence> keys[] = {
        {kCmdNew, QKeySequence(Qt::CTRL | Qt::Key_N)},
        {kCmdOpen, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {kCmdSave, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {kCmdMarkerPlace, QKeySequence(Qt::Key_M)},
        {kCmdMarkerPeak, QKeySequence(Qt::Key_P)},
        {kCmdMarkerNextLeft, QKeySequence(Qt::CTRL | Qt::Key_Left)},
        {kCmdMarkerNextRight, QKeySequence(Qt::CTRL | Qt::Key_Right)},
        {kCmdMarkerNextLower, QKeySequence(Qt::Key_L)},
        {kCmdMarkerDelete, QKeySequence(Qt::Key_Delete)},
        {kCmdAnnotationNext, QKeySequence(Qt::Key_N)},
        {kCmdAnnotationPrevious, QKeySequence(Qt::SHIFT | Qt::Key_N)},
        {kCmdAnnotationAdd, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)}};
    for (const auto& [id, key] : keys)
        if (actions.count(id)) actions[id]->setShortcut(key);
}
