// A recording's annotations in the window: the list, spans on the time views and boxes on the
// spectrogram, going from one to the next, adding one from what is selected, editing and
// deleting; the channel read of a recording of several; the check of its core:sha512.

#include <QPainter>
#include <QThread>
#include <algorithm>

#include "app/annotation_dock.h"
#include "app/main_frame.h"
#include "app/view.h"
#include "display/annotation_overlay.h"
#include "display/time_plot.h"
#include "display/value_format.h"
#include "waveform/data_digest.h"
#include "waveform/file_messages.h"
#include "waveform/number_format.h"

namespace {
bool ByFirstSample(const SigmfAnnotation& a, const SigmfAnnotation& b) {
    return a.firstSample < b.firstSample;
}
}  // namespace

void CMainFrame::RefreshAnnotations() {
    std::vector<SigmfAnnotation>& notes = mainWave.recording.annotations;
    // Next and previous follow the samples: the list is kept in their order.
    if (!std::is_sorted(notes.begin(), notes.end(), ByFirstSample))
        std::stable_sort(notes.begin(), notes.end(), ByFirstSample);
    if (currentAnnotation_ >= static_cast<int>(notes.size())) currentAnnotation_ = -1;
    annotationDock_->Reset(&notes, static_cast<double>(mainWave.sampleRate));
    annotationDock_->Select(currentAnnotation_);
    view->selectedAnnotation = currentAnnotation_;
    // Annotations come with a recording: its list appears with it, once.
    if (!notes.empty() && !annotationListOffered_) {
        annotationListOffered_ = true;
        annotationDock_->show();
    }
    view->update();
    view->spectrogram->update();
}

std::optional<double> CMainFrame::CentreAt(int64_t fileSample) const {
    if (const SigmfSegment* s = mainWave.recording.SegmentAt(fileSample); s && s->frequencyHz)
        return s->frequencyHz;
    return mainWave.recording.centreFrequencyHz;
}

std::string CMainFrame::AnnotationText(int k) const {
    const std::vector<SigmfAnnotation>& notes = mainWave.recording.annotations;
    const SigmfAnnotation& a = notes[static_cast<size_t>(k)];
    std::string text = "Annotation " + std::to_string(k + 1) + " of " +
                       std::to_string(notes.size()) + ": " +
                       (a.label.empty() ? "(no label)" : a.label) + " \u00b7 " +
                       Fixed(static_cast<double>(a.firstSample) / mainWave.sampleRate, 6) +
                       " s + " + FormatDuration(a.sampleCount, mainWave.sampleRate);
    if (a.lowerHz && a.upperHz)
        text +=
            " \u00b7 " + CentreFrequencyText(*a.lowerHz) + " to " + CentreFrequencyText(*a.upperHz);
    if (!a.comment.empty()) text += " \u00b7 " + a.comment;
    return text;
}

void CMainFrame::GoToAnnotation(int k) {
    const std::vector<SigmfAnnotation>& notes = mainWave.recording.annotations;
    if (k < 0 || k >= static_cast<int>(notes.size())) return;
    currentAnnotation_ = k;
    annotationDock_->Select(k);
    view->selectedAnnotation = k;
    const SigmfAnnotation& a = notes[static_cast<size_t>(k)];
    const double length = static_cast<double>(std::max<int64_t>(1, a.sampleCount));
    std::string text = AnnotationText(k);
    const int kind = view->ViewType();
    if (kind == kViewSpectrogram) {
        CSpectrogramView& sg = *view->spectrogram;
        // The span shown stays unless the annotation needs more; it starts a quarter up.
        const double span = std::max(sg.TimeCount(), 2 * length);
        const double at = static_cast<double>(a.firstSample - spectrogramSource_.timeOffset);
        sg.SetTimeSpan(std::max(0.0, at - span / 4), span);
    } else if (IsTimeKind(kind)) {
        const double first = static_cast<double>(a.firstSample - mainWave.source.firstSample);
        if (first < 0 || first >= mainWave.sampleCount)
            text += " (outside the samples loaded: Capture > Load Range reads them)";
        else
            view->ShowXRange(std::max(0.0, first - length / 2),
                             std::min<double>(mainWave.sampleCount - 1, first + 1.5 * length));
    }
    view->update();
    view->spectrogram->update();
    SetStatusText(text);
}

int CMainFrame::StepAnnotation(int direction) {
    const std::vector<SigmfAnnotation>& notes = mainWave.recording.annotations;
    if (notes.empty()) return SetStatusText("The samples have no annotations"), 0;
    const int n = static_cast<int>(notes.size());
    int k;
    if (currentAnnotation_ >= 0 && currentAnnotation_ < n) {
        k = currentAnnotation_ + direction;
    } else {
        // From where the view starts: the first annotation after it, or the last before it.
        double from = static_cast<double>(mainWave.source.firstSample);
        if (view->ViewType() == kViewSpectrogram)
            from = view->spectrogram->TimeFirst() + spectrogramSource_.timeOffset;
        else if (IsTimeKind(view->ViewType()))
            from += view->xStart;
        const auto after = std::upper_bound(notes.begin(), notes.end(), from,
                                            [](double v, const SigmfAnnotation& a) {
                                                return v < static_cast<double>(a.firstSample);
                                            });
        k = direction > 0 ? static_cast<int>(after - notes.begin())
                          : static_cast<int>(after - notes.begin()) - 1;
        if (direction > 0 && k < n && k > 0 &&
            static_cast<double>(notes[static_cast<size_t>(k - 1)].firstSample) == from)
            --k;
    }
    if (k < 0 || k >= n)
        return SetStatusText(direction > 0 ? "No annotation after this one"
                                           : "No annotation before this one"),
               0;
    GoToAnnotation(k);
    return 1;
}

SigmfAnnotation CMainFrame::AnnotationOfBox(double f0, double f1, int64_t t0, int64_t t1) const {
    SigmfAnnotation a;
    a.firstSample = t0 + spectrogramSource_.timeOffset;
    a.sampleCount = t1 - t0;
    const double centre = CentreAt(a.firstSample).value_or(0.0);
    a.lowerHz = centre + std::min(f0, f1);
    a.upperHz = centre + std::max(f0, f1);
    return a;
}

bool CMainFrame::SelectionForAnnotation(SigmfAnnotation& a, std::string& why) {
    const int kind = view->ViewType();
    CSpectrogramView& sg = *view->spectrogram;
    double f0 = 0, f1 = 0;
    int64_t t0 = 0, t1 = 0;
    if (kind == kViewSpectrogram && sg.SelectedBoxBounds(f0, f1, t0, t1)) {
        a = AnnotationOfBox(f0, f1, t0, t1);
        return true;
    }
    if (IsTimeKind(kind) && mainWave.sampleCount > 0) {
        const auto first = static_cast<int64_t>(std::floor(std::max(0.0, view->xStart)));
        const auto last = std::min<int64_t>(mainWave.sampleCount - 1,
                                            static_cast<int64_t>(std::ceil(view->xEnd)));
        a.firstSample = mainWave.source.firstSample + first;
        a.sampleCount = std::max<int64_t>(1, last - first + 1);
        return true;
    }
    if (ComputesSpectrum(kind) && !view->phaseDisplay && mainWave.sampleCount > 0) {
        a.firstSample = mainWave.source.firstSample;
        a.sampleCount = mainWave.sampleCount;
        const double centre = CentreAt(a.firstSample).value_or(0.0);
        a.lowerHz = centre + std::min(view->xStart, view->xEnd);
        a.upperHz = centre + std::max(view->xStart, view->xEnd);
        return true;
    }
    why =
        "ERR: nothing to annotate: drag across a time or spectrum view, or Shift+drag a box on "
        "the spectrogram, first";
    return false;
}

// Asks for the label and comment of a, starting from what it says; false when cancelled.
bool CMainFrame::AskAnnotationTexts(SigmfAnnotation& a) {
    const std::string label = prompter->PromptString(
        "Label of the annotation", "A few words: burst, preamble, interferer", a.label, "");
    if (prompter->lastCancelled) return false;
    const std::string comment =
        prompter->PromptString("Comment on the annotation", "May be left empty", a.comment, "");
    if (prompter->lastCancelled) return false;
    a.label = label;
    a.comment = comment;
    return true;
}

void CMainFrame::AddAnnotation(SigmfAnnotation a) {
    if (!AskAnnotationTexts(a)) return SetStatusText("Cancelled");
    std::vector<SigmfAnnotation>& notes = mainWave.recording.annotations;
    const auto at = std::upper_bound(notes.begin(), notes.end(), a, ByFirstSample);
    const int k = static_cast<int>(at - notes.begin());
    notes.insert(at, std::move(a));
    ++mainWave.recording.annotationCount;
    SetModified(true);
    annotationListOffered_ = true;
    annotationDock_->show();
    RefreshAnnotations();
    GoToAnnotation(k);
}

void CMainFrame::StopDigestCheck() {
    digestStop_ = true;
    if (digestThread_.joinable()) digestThread_.join();
    digestStop_ = false;
}

std::string CMainFrame::DigestCheck() const { return digestCheck_; }

void CMainFrame::StartDigestCheck() {
    StopDigestCheck();
    const uint64_t generation = ++digestGeneration_;
    const RecordingInfo& r = mainWave.recording;
    digestCheck_.clear();
    if (r.sha512.empty() || r.dataPath.empty()) return;
    digestCheck_ = "checking";
    // Read again from the file, on a thread of its own: a recording of gigabytes takes a while,
    // and the window stays with the user meanwhile.
    digestThread_ = std::thread([this, generation, path = r.dataPath, offset = r.dataOffset,
                                 bytes = r.dataBytes, want = r.sha512] {
        std::string hex;
        const std::string why = Sha512OfFile(path, offset, bytes, hex, &digestStop_);
        if (why == "cancelled") return;
        const std::string name = BaseName(path);
        QMetaObject::invokeMethod(
            this,
            [this, generation, why, hex, want, name] {
                if (generation != digestGeneration_) return;  // another file came meanwhile
                if (!why.empty()) {
                    digestCheck_ = "not checked: " + why;
                    SetStatusText("The data of " + name +
                                  " was not checked against its "
                                  "core:sha512: " +
                                  why);
                } else if (hex == want) {
                    digestCheck_ = "matches";
                    SetStatusText(name + " matches its core:sha512");
                } else {
                    digestCheck_ = "differs";
                    SetStatusText("ERR: " + name +
                                  " does not match its core:sha512: the samples "
                                  "are not those that were recorded");
                }
            },
            Qt::QueuedConnection);
    });
}

void CMainFrame::RegisterAnnotationCommands() {
    annotationDock_ = new CAnnotationDock(this);
    addDockWidget(Qt::RightDockWidgetArea, annotationDock_);
    annotationDock_->hide();
    connect(annotationDock_, &QDockWidget::visibilityChanged, this,
            [this](bool) { CheckMenuItem(kCmdAnnotationList, !annotationDock_->isHidden()); });
    annotationDock_->onChosen = [this](int k) { GoToAnnotation(k); };
    annotationDock_->onEdit = [this](int k) {
        GoToAnnotation(k);
        OnCommand(kCmdAnnotationEdit);
    };
    view->spectrogram->drawAnnotations = [this](QPainter& p, AnnotationPlace place) {
        place.selected = currentAnnotation_;
        place.centreHz = CentreAt(static_cast<int64_t>(place.firstSample));
        DrawAnnotationBoxes(p, mainWave.recording.annotations, place);
    };
    view->spectrogram->onAnnotate = [this](double f0, double f1, int64_t t0, int64_t t1) {
        if (MayRunCommand(kCmdAnnotationAdd)) AddAnnotation(AnnotationOfBox(f0, f1, t0, t1));
    };

    AddCommand(
        {kCmdAnnotationList},
        [this](int, int64_t) {
            annotationListOffered_ = true;
            annotationDock_->setVisible(annotationDock_->isHidden());
            return 1;
        },
        kAnyTimeCommand);
    AddCommand(
        {kCmdAnnotationNext, kCmdAnnotationPrevious},
        [this](int id, int64_t) { return StepAnnotation(id == kCmdAnnotationNext ? 1 : -1); },
        kDisplayCommand);
    AddCommand({kCmdAnnotationAdd}, [this](int, int64_t) {
        SigmfAnnotation a;
        std::string why;
        if (!SelectionForAnnotation(a, why)) return SetStatusText(why), 0;
        AddAnnotation(std::move(a));
        return 1;
    });
    AddCommand({kCmdAnnotationEdit, kCmdAnnotationDelete}, [this](int id, int64_t) {
        std::vector<SigmfAnnotation>& notes = mainWave.recording.annotations;
        if (currentAnnotation_ < 0 || currentAnnotation_ >= static_cast<int>(notes.size()))
            return SetStatusText("ERR: choose an annotation first (N, Shift+N or the list)"), 0;
        if (id == kCmdAnnotationEdit) {
            SigmfAnnotation& a = notes[static_cast<size_t>(currentAnnotation_)];
            if (!AskAnnotationTexts(a)) return SetStatusText("Cancelled"), 1;
            SetModified(true);
            RefreshAnnotations();
            GoToAnnotation(currentAnnotation_);
            return 1;
        }
        const std::string label = notes[static_cast<size_t>(currentAnnotation_)].label;
        notes.erase(notes.begin() + currentAnnotation_);
        mainWave.recording.annotationCount =
            std::max<int64_t>(0, mainWave.recording.annotationCount - 1);
        currentAnnotation_ = -1;
        SetModified(true);
        RefreshAnnotations();
        SetStatusText("Annotation deleted: " + (label.empty() ? "(no label)" : label));
        return 1;
    });
    AddCommand({kCmdRecordingChannel}, [this](int, int64_t) {
        const RecordingInfo& r = mainWave.recording;
        if (r.channelCount <= 1)
            return SetStatusText("ERR: the samples are not from a recording of several channels"),
                   0;
        const int64_t last = r.channelCount - 1;
        const int c = prompter->PromptInt("Channel to read (0 to " + std::to_string(last) + ")",
                                          "The recording's channels interleave; one is read",
                                          static_cast<int>(r.channel), "");
        if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
        if (c < 0 || c > last)
            return SetStatusText("ERR: the recording has channels 0 to " + std::to_string(last)), 0;
        if (!MayDiscardEdits()) return 0;
        nextOpenChannel_ = c;
        const int result = OpenWaveformFile(currentFileName, false, false);
        nextOpenChannel_ = 0;
        if (result == 0) RecomputeNow();
        return result == 0 ? 1 : 0;
    });
    AddCommand(
        {kCmdAbsoluteTime},
        [this](int id, int64_t) {
            const bool on = !IsChecked(id);
            CheckMenuItem(id, on);
            view->engine.timeOfDayAxis = on;
            view->update();
            if (on && !TimeOfDayKnown(mainWave))
                SetStatusText(
                    "The samples' recording gives no start time (core:datetime): the "
                    "time axes count samples");
            return 1;
        },
        kAnyTimeCommand);
}
