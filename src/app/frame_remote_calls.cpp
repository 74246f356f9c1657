// What other programs ask the window through the command channel: open, save, render and
// measure without dialogs. Each reports through the status bar as the menus do.

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <sstream>

#include "app/main_frame.h"
#include "app/view.h"
#include "display/frequency_plot.h"
#include "display/measurement_json.h"
#include "display/view_kinds.h"
#include "waveform/fast_file.h"
#include "waveform/waveform_writer.h"

bool CMainFrame::OpenAndShow(const std::string& path) {
    // As the Open command: refused while a tool runs, a running worker stopped first.
    if (busy_ || (WorkerRunning() && !StopWorker())) return false;
    if (OpenWaveformFile(path, true) != 0) return false;
    RecomputeNow();
    return true;
}

bool CMainFrame::SaveInType(const std::string& path, int type) {
    if (busy_ || (WorkerRunning() && !StopWorker())) return false;
    if (!HasEncoder(type)) {
        SetStatusText("ERR: file type " + std::to_string(type) + " cannot be written");
        return false;
    }
    // No message boxes for a caller that cannot answer them: the reason goes to the status bar.
    const auto notice = showNotice;
    std::string reason;
    showNotice = [&reason](const std::string&, const std::string& text) { reason = text; };
    const int previous = mainWave.fileType;
    mainWave.fileType = type;
    SaveWaveformAs(path, true, true);
    showNotice = notice;
    const bool saved = lastStatus == "File Saved";
    if (!saved) {
        mainWave.fileType = previous;
        if (!reason.empty()) SetStatusText("ERR: " + reason);
    }
    CheckOnly(kFileTypeCommands, mainWave.fileType);
    ShowDecodeSettings();
    return saved;
}

std::string CMainFrame::MeasurementsJson() {
    // The tone values are measured as the spectrum is drawn: draw it (the multi view's pane
    // when the 4-up view is shown) at the size of the window's view.
    std::unique_lock<std::mutex> lock(waveLock_, std::defer_lock);
    if (WorkerRunning()) lock.lock();
    const int kind = IsSpectrumKind(view->ViewType())
                         ? view->ViewType()
                         : (view->recompute.lastWasReal ? kViewI : kViewIQ);
    double f0 = 0, f1 = 0;
    if (IsSpectrumKind(view->ViewType()) && view->xEnd > view->xStart) {
        f0 = view->xStart;
        f1 = view->xEnd;
    } else {
        FullViewRange(kind, mainWave.sampleRate, mainWave.sampleCount, f0, f1);
    }
    QImage image(std::max(view->width(), 400), std::max(view->height(), 300), QImage::Format_RGB32);
    QPainter p(&image);
    DrawSpectrum(view->engine, p, image.width(), image.height(), f0, f1);
    p.end();
    std::ostringstream out;
    WriteMeasurementsJson(view->engine,
                          {currentFileName, kind, view->recompute.framesLastRecompute, f0, f1,
                           mainWave.recording.centreFrequencyHz},
                          out);
    return out.str();
}

bool CMainFrame::RenderPng(const std::string& path, int W, int H) {
    if (W < 64 || H < 64 || W > 10000 || H > 10000) {
        SetStatusText("ERR: a picture size from 64 to 10000 pixels is needed");
        return false;
    }
    std::unique_lock<std::mutex> lock(waveLock_, std::defer_lock);
    if (WorkerRunning()) lock.lock();
    const QImage image = view->Render(W, H);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return false;
    int error = 0;
    const SaveFailure why =
        WriteWholeFile(path, png.constData(), static_cast<size_t>(png.size()), &error);
    if (why != SaveFailure::None) {
        SetStatusText("ERR: " + path + " was not written");
        return false;
    }
    SetStatusText("Picture written");
    return true;
}
