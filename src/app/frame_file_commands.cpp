// File, Edit and Help commands: New, Open, Save, Save As, recent files, the file type choices,
// the download settings, the spectrum export, undo, exit and help.

#include <sys/stat.h>

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

#include "app/capture_strip.h"
#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/view.h"
#include "display/axis_scale.h"
#include "spectrum/trace_export.h"
#include "tools/failure_codes.h"
#include "ui/status_bar.h"
#include "waveform/capture_source.h"
#include "waveform/file_messages.h"
#include "waveform/message_pump.h"
#include "waveform/sample_rate_name.h"
#include "waveform/sigmf.h"
#include "waveform/wav_file.h"
#include "waveform/waveform_writer.h"

namespace {
// The extension a raw capture type is known by, or "".
std::string ExtensionOf(int type) {
    switch (type) {
        case kFileCf32Le: return "cf32";
        case kFileCs8: return "cs8";
        case kFileCu8: return "cu8";
        case kFileCf64Le: return "cf64";
        case kFileCi32Le: return "ci32";
        default: return "";
    }
}
std::string TypeName(int type) {
    const char* text = FileTypeMenuText(type);
    return text ? std::string(text) + " (" + std::to_string(type) + ")" : std::to_string(type);
}
// Bytes in the file at path, 0 when it cannot be looked at (the load then says why).
int64_t FileBytes(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
}
}  // namespace

void CMainFrame::RegisterFileCommands() {
    AddCommand({kCmdNew}, [this](int, int64_t) {
        if (MayDiscardEdits() && NewWaveform() == 0) RecomputeNow();
        return 1;
    });
    AddCommand({kCmdOpen}, [this](int, int64_t) {
        if (MayDiscardEdits() && OpenWaveformFile("", true) == 0) RecomputeNow();
        return 1;
    });
    AddCommand({kCmdSave}, [this](int, int64_t) {
        SaveWaveform();
        return 1;
    });
    AddCommand({kCmdSaveAs}, [this](int, int64_t) {
        SaveWaveformAs("", true, true);
        return 1;
    });
    AddCommand({kCmdPrint}, [](int, int64_t) { return 1; },  // nothing to print to
               {.whileBusy = true});
    AddCommand({kCmdExit}, [this](int, int64_t) {
        close();
        return 1;
    });
    AddCommand({kCmdUndo}, [this](int, int64_t) {
        UndoLastAction();
        RecomputeNow();
        return 1;
    });
    AddCommand({kCmdReparseMode, kCmdSaveTypeMode}, [this](int id, int64_t) {
        mainWave.saveTypeMode = id == kCmdReparseMode ? 0 : 1;
        CheckOnly({kCmdReparseMode, kCmdSaveTypeMode}, id);
        SetStatusText(id == kCmdReparseMode
                          ? "File type change will cause a reload to the type selected"
                          : "File type change will set the format in which to save");
        return 1;
    });
    for (int type : kFileTypeCommands)
        AddCommand({type}, [this](int id, int64_t) {
            SelectFileType(id);
            return 1;
        });
    AddCommand({kFileMarker}, [this](int id, int64_t) {
        SelectFileType(id);
        return 1;
    });
    for (int id = kCmdRecentFirst; id <= kCmdRecentLast; ++id)
        AddCommand({id}, [this](int command, int64_t) {
            const size_t index = static_cast<size_t>(command - kCmdRecentFirst);
            if (index >= recentFiles_.size() || !MayDiscardEdits()) return 1;
            const std::string path = recentFiles_[index];
            if (OpenWaveformFile(path, true) != 0) {
                RemoveRecentFile(path);
                return 1;
            }
            RecomputeNow();
            return 1;
        });
    AddCommand({kCmdSingleShot, kCmdLoopedRetrieval}, [this](int id, int64_t) {
        loopedRetrieval = id == kCmdLoopedRetrieval;
        CheckOnly({kCmdSingleShot, kCmdLoopedRetrieval}, id);
        return 1;
    });
    AddCommand({kCmdReplaceDownload, kCmdAppendDownload}, [this](int id, int64_t) {
        appendDownload = id == kCmdAppendDownload;
        CheckOnly({kCmdReplaceDownload, kCmdAppendDownload}, id);
        return 1;
    });
    AddCommand({kCmdDownloadToFile}, [this](int, int64_t) {
        if (downloadToFile) {
            downloadToFile = false;
            downloadFileName.clear();
        } else {
            const std::string name = chooseSaveFile ? chooseSaveFile() : std::string();
            if (name.size() > 3) {
                downloadFileName = name;
                downloadToFile = true;
            }
        }
        CheckMenuItem(kCmdDownloadToFile, downloadToFile);
        return 1;
    });
    AddCommand({kCmdExportFft}, [this](int, int64_t) {
        ExportFft();
        return 1;
    });
    AddCommand(
        {kCmdHelp},
        [this](int, int64_t) {
            if (inform)
                inform("Basic Help",
                       "Middle mouse button returns to the 4-up multi "
                       "view\r\n\r\nLeft click on multi view "
                       "panes to focus single view\r\n\r\nLeft mouse button hold and "
                       "pan for zoom features\r\n\r\n"
                       "Mouse wheel to zoom in and out\r\n\r\nRight mouse button to "
                       "zoom out to maximum X Span");
            return 1;
        },
        kAnyTimeCommand);
    AddCommand(
        {kCmdAbout},
        [this](int, int64_t) {
            if (inform) inform("About Quorvalen", "Quorvalen 0.1\nIQ waveform workbench");
            return 1;
        },
        kAnyTimeCommand);
}

int CMainFrame::NewWaveform() {
    SetStatusText("Creating new waveform...");
    CloseCapture();
    TakeUndoCopy();
    // The file's bytes go with its samples into the undo slot, so an undo can re-parse them.
    SwapFileOrigin(mainWave, undoWave);
    if (mainWave.ResetToNew() != 0) {
        SetStatusText("ERR: New File creation failed");
        return 1;
    }
    currentFileName = "New Waveform";
    view->ClearMarkers();
    readFileType_ = 0;
    rateSource_ = "new";
    // A type that came from a file's name or metadata was for that file only.
    ShowFileType(chosenFileType_);
    ShowDecodeSettings();
    SetModified(false);
    SetTitleFromPath(currentFileName);
    CheckMenuItem(kCmdSaveTypeMode, true);
    CheckMenuItem(kCmdReparseMode, false);
    SelectViewType(kViewMulti);
    view->recompute.recomputeNeeded = true;
    SetStatusText("New File created");
    return 0;
}

int CMainFrame::OpenWaveformFile(const std::string& requested, bool addToRecent, bool interactive) {
    std::string path = requested;
    if (interactive && path.size() < 4) {
        PumpMessagesFor(50);
        path = chooseOpenFile ? chooseOpenFile() : std::string();
        if (path.empty() || path.back() == '*') {
            SetStatusText("Open File cancelled");
            return 0;
        }
        const size_t slash = path.rfind('/');
        if (slash != std::string::npos) {
            settings_.waveformFolder = path.substr(0, slash + 1);
            WriteWaveformFolder(*store_, *settings_.waveformFolder);
        }
        if (path.size() < 4) {
            SetStatusText("ERR: Invalid File name to open");
            return kErrInvalidFileName;
        }
    }
    path = ResolveOpenPath(path, settings_.installPath.value_or(""), startDirectory);
    SetStatusText("Opening File...");
    // A failed open must not destroy the waveform on screen: load aside, take over on success.
    cWaveform loaded;
    // A raw capture's extension names its type for this open; a recording's metadata does
    // the same inside LoadFile. Neither changes the chosen type.
    const int namedType = FileTypeForExtension(path);
    loaded.fileType = namedType != 0 ? namedType : chosenFileType_;
    loaded.sampleRate = mainWave.sampleRate;
    loaded.recordingChannel = nextOpenChannel_;
    // A capture beyond the working limit shows its overview while its first part loads; a
    // failed open gives the window back the capture it had.
    std::shared_ptr<cCaptureSource> previousCapture = capture_;
    UseCapture(MapCapture(path, loaded.fileType, nextOpenChannel_));
    int result;
    // A large file is read on a worker thread so the window stays alive meanwhile.
    if (busy_) {
        result = loaded.LoadFile(path, false);
    } else {
        const int64_t bytes = FileBytes(IsSigmfPath(path) ? SigmfDataPath(path) : path);
        const bool large = bytes >= 4 * busyThresholdSamples;
        result = large ? RunBusy([&] { return loaded.LoadFile(path, false); },
                                 "opening " + BaseName(path))
                       : loaded.LoadFile(path, false);
    }
    if (result != 0) {
        UseCapture(previousCapture);
        if (capture_) captureStrip_->SetRange(mainWave.source.firstSample, mainWave.sampleCount);
        SetStatusText("ERR: File Open Failed: " + LoadFailureText(loaded));
        return result;
    }
    AdoptLoadedWaveform(loaded, path);
    view->ClearMarkers();  // they marked the previous file
    currentAnnotation_ = -1;
    SetModified(false);
    if (addToRecent) AddRecentFile(path);
    SetTitleFromPath(path);
    ShowDecodeSettings();
    CheckMenuItem(kCmdReparseMode, true);
    CheckMenuItem(kCmdSaveTypeMode, false);
    SelectViewType(kViewMulti);
    view->recompute.recomputeNeeded = true;
    // What the file held besides samples (or beyond the bytes read) says more than "Opened",
    // and a decode that looks like the wrong type says so.
    std::string notes = LoadNotes(mainWave);
    if (const std::string doubt = DecodeDoubt(mainWave); !doubt.empty())
        notes += (notes.empty() ? "" : "; ") + doubt + ": choose its type under File Type";
    SetStatusText(notes.empty() ? "File Opened" : notes);
    if (capture_) captureStrip_->SetRange(0, mainWave.sampleCount);
    StartDigestCheck();
    return 0;
}

void CMainFrame::AdoptLoadedWaveform(cWaveform& loaded, const std::string& path) {
    mainWave.Clear();
    mainWave.I.swap(loaded.I);
    mainWave.Q.swap(loaded.Q);
    mainWave.rawFile.swap(loaded.rawFile);
    mainWave.sampleCount = loaded.sampleCount;
    mainWave.rawByteCount = loaded.rawByteCount;
    mainWave.sampleRate = loaded.sampleRate;
    mainWave.title = loaded.title;
    mainWave.source = loaded.source;
    mainWave.unparsedLines = loaded.unparsedLines;
    mainWave.nonFiniteValues = loaded.nonFiniteValues;
    mainWave.recording = loaded.recording;
    ShowFileType(loaded.fileType);
    mainWave.loadFailure = LoadFailure::None;
    mainWave.saveTypeMode = 0;
    mainWave.domainState = DomainState::TimeOnly;
    currentFileName = path;
    // Another capture is on screen now: the undo copy of the previous one is dropped, so an
    // undo can never put its samples under this file's name (and its memory is free).
    undoWave.Clear();
    undoAvailable_ = false;
    undoRedoes_ = false;
    UpdateUndoAction();
    keyEditRun_ = false;
    readFileType_ = mainWave.fileType;
    const NamedCapture named = CaptureFromName(path);
    if (const std::optional<double> given = mainWave.recording.sampleRateHz)
        rateSource_ = *given < 999.5 ? "fallback" : "from metadata";
    else
        rateSource_ = named.rateHz >= 1000 ? "from name: " + std::string(named.rule)
                      : mainWave.sampleRate == kFallbackSampleRateHz && named.rateHz > 0
                          ? "fallback"
                          : "kept from before";
    ScaleViewsToTheData();
}

void CMainFrame::ScaleViewsToTheData() {
    const double peak =
        LargestComponent(mainWave.I.data(), mainWave.Q.data(), mainWave.sampleCount);
    cPlotEngine& engine = view->engine;
    overFullScaleDb_ = 0.0;
    if (peak > 1.0) {
        engine.iqPlaneFullScale = ScaleAxesToPeak(engine.axes, peak);
        overFullScaleDb_ = 20.0 * std::log10(peak);
        axesScaledToData_ = true;
    } else if (axesScaledToData_) {
        RestoreFullScaleAxes(engine.axes);
        engine.iqPlaneFullScale = 1.0;
        axesScaledToData_ = false;
    }
    view->RequestRedraw();
}

void CMainFrame::AddRecentFile(const std::string& path) {
    RemoveRecentFile(path);
    recentFiles_.insert(recentFiles_.begin(), path);
    if (recentFiles_.size() > kRecentFileCount) recentFiles_.resize(kRecentFileCount);
    RebuildRecentMenu();
}

void CMainFrame::RemoveRecentFile(const std::string& path) {
    recentFiles_.erase(std::remove(recentFiles_.begin(), recentFiles_.end(), path),
                       recentFiles_.end());
    RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu() {
    if (!recentMenu_) return;
    recentMenu_->clear();
    for (size_t i = 0; i < recentFiles_.size(); ++i) {
        const int id = kCmdRecentFirst + static_cast<int>(i);
        QAction* a = recentMenu_->addAction(
            QString("&%1 %2").arg(i + 1).arg(QString::fromStdString(recentFiles_[i])));
        a->setData(id);
        QObject::connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    recentMenu_->setEnabled(!recentFiles_.empty());
}

void CMainFrame::SaveWaveform() {
    if (currentFileName.empty() || currentFileName == "New Waveform" ||
        currentFileName == kFirTapsName) {
        SaveWaveformAs("", true, true);
        return;
    }
    // Saving over the file in another encoding than it was read in is the user's choice,
    // never a side effect of the save-type setting. A recording is written as ci16_le or
    // cf32_le, with one channel, and with the annotations that name samples it holds.
    std::string question;
    if (IsSigmfRecordingPath(currentFileName)) {
        const std::string datatype = SigmfSaveDatatype(mainWave.fileType);
        const RecordingInfo& r = mainWave.recording;
        const std::string save = "Save " + BaseName(currentFileName) + "? ";
        if (!r.datatype.empty() && r.datatype != datatype)
            question = "Save " + BaseName(currentFileName) + " as " + datatype +
                       "? It was read as " + r.datatype + ".";
        const int64_t first = mainWave.source.IsRange() ? mainWave.source.firstSample : 0;
        const auto kept = static_cast<int64_t>(
            AnnotationsWithin(r.annotations, first, first + mainWave.sampleCount, SIZE_MAX).size());
        if (const int64_t lost = std::max(r.annotationCount, kept) - kept; lost > 0)
            question += (question.empty() ? save : " ") + "Its " + std::to_string(lost) +
                        (lost == 1 ? " annotation" : " annotations") +
                        " outside the samples (or naming none) " + (lost == 1 ? "is" : "are") +
                        " not kept.";
        if (r.channelCount > 1)
            question += (question.empty() ? save : " ") + "Only channel " +
                        std::to_string(r.channel) + " of its " + std::to_string(r.channelCount) +
                        " is written.";
    } else if (IsWavPath(currentFileName)) {
        // A WAV file is written as 16-bit PCM or float, whatever it was read as.
        const int written = WavSaveFileType(mainWave.fileType);
        if (written != mainWave.fileType)
            question = "Save " + BaseName(currentFileName) + " as " + TypeName(written) +
                       "? It was read as " + TypeName(mainWave.fileType) + ".";
    } else if (readFileType_ != 0 && readFileType_ != mainWave.fileType) {
        question = "Save " + BaseName(currentFileName) + " as " + TypeName(mainWave.fileType) +
                   "? It was read as " + TypeName(readFileType_) + ".";
    }
    if (!question.empty() && !(confirm && confirm("Save", question))) {
        SetStatusText("Save File Cancelled");
        return;
    }
    SetStatusText("Saving File...");
    SaveFailure why = SaveFailure::None;
    if (mainWave.SaveFile(currentFileName, &why) == 1) {
        readFileType_ = mainWave.fileType;
        SetModified(false);
        SetTitleFromPath(currentFileName);
        SetStatusText("File Saved");
    } else {
        ReportSaveFailure(currentFileName, static_cast<int>(why));
        SetStatusText("ERR: File Save Failed");
    }
}

void CMainFrame::ReportSaveFailure(const std::string& path, int why) {
    if (!showNotice) return;
    const SaveFailure failure = static_cast<SaveFailure>(why);
    if (failure == SaveFailure::CannotCreate) {
        showNotice("Error", "Failed to open file for writing\r\n" + path);
        return;
    }
    std::string text = SaveFailureText(failure, mainWave.SaveErrno(), path, mainWave.SaveCutFile());
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    showNotice("Error", text);
}

void CMainFrame::SaveWaveformAs(const std::string& requested, bool addToRecent, bool setTitle,
                                bool interactive) {
    SetStatusText("Saving File...");
    std::string path = requested;
    if (interactive && path.size() < 4) {
        path = chooseSaveFile ? chooseSaveFile() : std::string();
        if (path.size() < 4) {
            SetStatusText("Save File Cancelled");
            return;
        }
    }
    const int typeBefore = mainWave.fileType;
    PrepareSaveAs(path, interactive);
    SaveFailure why = SaveFailure::None;
    if (mainWave.SaveFile(path, &why) == 1) {
        currentFileName = path;
        readFileType_ = mainWave.fileType;
        SetModified(false);
        if (addToRecent) AddRecentFile(path);
        if (setTitle) SetTitleFromPath(path);
        SetStatusText("File Saved");
        return;
    }
    ShowFileType(typeBefore);  // nothing was written in the extension's type
    ReportSaveFailure(path, static_cast<int>(why));
    SetStatusText("ERR: Save File operation failed");
}

void CMainFrame::PrepareSaveAs(const std::string& path, bool ask) {
    if (IsSigmfRecordingPath(path)) {
        if (!prompter || !ask) return;
        RecordingInfo& r = mainWave.recording;
        // Both may stay empty; a cancelled prompt leaves its field empty.
        r.description = prompter->PromptString("Description of the recording", "May be left empty",
                                               r.description, "");
        r.author =
            prompter->PromptString("Author of the recording", "May be left empty", r.author, "");
        return;
    }
    if (IsWavPath(path)) return;  // written as 16-bit PCM or float, the header says which
    // A capture saved as x.cs8 is written as int8, whatever type was chosen for headerless
    // files: the name would otherwise promise bytes the file does not hold.
    if (const int named = FileTypeForExtension(path); named != 0) {
        ShowFileType(named);
        return;
    }
    // A raw capture's type under a headerless name: opened again, it would be read in the
    // File Type instead.
    const int type = mainWave.fileType;
    if (ask && type != chosenFileType_ && !ExtensionOf(type).empty() && confirm &&
        confirm("Save", BaseName(path) + " does not name the type " + FileTypeLabel(type) +
                            ", so it would be read as " + FileTypeLabel(chosenFileType_) +
                            " when opened. Save it as " + FileTypeLabel(chosenFileType_) + "?"))
        ShowFileType(chosenFileType_);
}

void CMainFrame::ShowFileType(int type) {
    if (type == mainWave.fileType) return;
    CheckMenuItem(mainWave.fileType, false);
    mainWave.fileType = type;
    CheckMenuItem(type, true);
    ShowDecodeSettings();
}

void CMainFrame::SelectFileType(int type) {
    const int previous = mainWave.fileType;
    if (mainWave.saveTypeMode == 0) {
        // A re-parse replaces the samples by the file's bytes decoded again.
        if (!MayDiscardEdits()) {
            CheckOnly(kFileTypeCommands, previous);
            return;
        }
        mainWave.fileType = type;
        const bool large = mainWave.rawByteCount >= 4 * busyThresholdSamples && !busy_;
        const int decoded = large ? RunBusy([this] { return mainWave.ParseRaw(); }, "re-parsing")
                                  : mainWave.ParseRaw();
        if (decoded < 1) {
            SetStatusText("ERR: No valid samples identified for Requested File type");
            mainWave.fileType = previous;
            return;
        }
        readFileType_ = type;
        chosenFileType_ = type;
        SetModified(true);
        // The capture behind the samples is read in the new type too (ranges, the overview).
        if (capture_ && !IsSigmfRecordingPath(capture_->Path()) && !IsWavPath(capture_->Path())) {
            UseCapture(MapCapture(capture_->Path(), type));
            if (capture_)
                captureStrip_->SetRange(mainWave.source.firstSample, mainWave.sampleCount);
        }
        view->recompute.recomputeNeeded = true;
        RecomputeNow();
        ShowDecodeSettings();
        SetStatusText("Waveform reloaded as New File type selected");
    } else {
        SetStatusText("New File type selected for use when Saving");
        mainWave.fileType = type;
        chosenFileType_ = type;
        ShowDecodeSettings();
    }
    CheckMenuItem(previous, false);
    CheckMenuItem(type, true);
}

void CMainFrame::ExportFft() {
    if (!view->engine.trace.traceValid) return;
    if (view->ViewType() > kViewQIDcFs) {
        SelectViewType(view->recompute.lastWasReal ? kViewI : kViewIQ);
        view->settings.phaseWanted = true;
        RecomputeNow();
        view->settings.phaseWanted = false;
    }
    const std::string path = chooseExportFile ? chooseExportFile() : std::string();
    if (path.empty()) {
        SetStatusText("FFT Export Cancelled");
        return;
    }
    mainWave.exportFileName = path;
    switch (ExportSpectrum(view->engine.trace, view->ViewType(), path)) {
        case ExportResult::Exported: SetStatusText("FFT Exported"); break;
        case ExportResult::CannotCreate:
            if (showNotice) showNotice("Error", "Failed to open file for writing");
            SetStatusText("FFT Export Failed");
            break;
        default: SetStatusText("FFT Export Failed"); break;
    }
}
