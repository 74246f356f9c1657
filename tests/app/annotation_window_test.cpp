// A recording's annotations, channels and start time in the real window: the list, the spans
// and boxes drawn where the annotations lie, next and previous, adding from a selection,
// editing, deleting and saving, a hundred thousand of them; a channel chosen from the Capture
// menu; the time of day on the time axes; an archive opened and saved.

#include <gtest/gtest.h>

#include <QDockWidget>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <cstring>
#include <fstream>

#include "app/annotation_dock.h"
#include "app/spectrogram_view.h"
#include "app/view.h"
#include "display/spectrogram_plot.h"
#include "display/time_plot.h"
#include "ui/status_bar.h"
#include "waveform/sigmf.h"
#include "waveform/sigmf_archive.h"
#include "window_test_support.h"

namespace {

using Annotations = WindowTest;

constexpr int kRate = 1'000'000;

std::string Floats(int n, int channels = 1) {
    std::string bytes;
    for (int k = 0; k < n; ++k)
        for (int c = 0; c < channels; ++c)
            for (const float v : {0.1f * (c + 1), -0.05f * (c + 1)}) {
                char b[4];
                std::memcpy(b, &v, 4);
                bytes.append(b, 4);
            }
    return bytes;
}

std::string Decode(const CMainFrame& f) {
    QTest::qWait(3 * cQRVNStatusBar::kTimerPeriodMs);
    return f.statusBar->findChild<QLabel*>("decode")->text().toStdString();
}

// The columns of the plot area where two pictures differ.
std::pair<int, int> ChangedColumns(const QImage& a, const QImage& b) {
    int lo = a.width(), hi = -1;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
    return {lo, hi};
}

TEST_F(Annotations, AreListedDrawnVisitedAddedEditedDeletedAndSaved) {
    std::ofstream(Path("rec.sigmf-data"), std::ios::binary) << Floats(20000);
    std::ofstream(Path("rec.sigmf-meta")) << R"({"global": {"core:datatype": "cf32_le",
        "core:sample_rate": 1e6, "core:version": "1.0.0", "ext:site": "roof"},
        "captures": [{"core:sample_start": 0, "core:frequency": 1e8,
                      "core:datetime": "2024-05-01T12:00:00Z"}],
        "annotations": [
          {"core:sample_start": 15000, "core:sample_count": 3000, "core:label": "C"},
          {"core:sample_start": 1000, "core:sample_count": 1000, "core:label": "A",
           "core:freq_lower_edge": 100.1e6, "core:freq_upper_edge": 100.2e6},
          {"core:sample_start": 5000, "core:sample_count": 500, "core:label": "B",
           "core:comment": "weak"}]})";
    auto f = Start({});
    f->resize(1000, 700);
    f->show();
    f->chooseOpenFile = [this] { return Path("rec.sigmf-meta"); };
    f->ActionFor(kCmdOpen)->trigger();
    ASSERT_EQ(f->mainWave.sampleCount, 20000);

    // The list comes with the recording, in the order of the samples.
    CAnnotationDock& dock = *f->AnnotationDock();
    EXPECT_TRUE(dock.isVisible());
    EXPECT_TRUE(f->IsChecked(kCmdAnnotationList));
    const CAnnotationModel& model = *dock.Model();
    ASSERT_EQ(model.rowCount(), 3);
    const auto cell = [&](int row, int column) {
        return model.data(model.index(row, column), Qt::DisplayRole).toString().toStdString();
    };
    EXPECT_EQ(cell(0, 0), "A");
    EXPECT_EQ(cell(1, 1), "weak");
    EXPECT_EQ(cell(0, 2), "0.001000 s");
    EXPECT_EQ(cell(0, 3), "1 ms");
    EXPECT_EQ(cell(0, 5), "100.2 MHz");

    // N and Shift+N walk them in a time view, each shown with a margin around it.
    f->ActionFor(kViewTimeIQ)->trigger();
    f->ActionFor(kCmdAnnotationNext)->trigger();
    EXPECT_EQ(f->CurrentAnnotation(), 0);
    EXPECT_EQ(f->lastStatus,
              "Annotation 1 of 3: A \u00b7 0.001000 s + 1 ms \u00b7 100.1 MHz to 100.2 MHz");
    EXPECT_EQ(f->view->xStart, 500);
    EXPECT_EQ(f->view->xEnd, 2500);
    EXPECT_EQ(dock.Table()->currentIndex().row(), 0);
    f->ActionFor(kCmdAnnotationPrevious)->trigger();
    EXPECT_EQ(f->lastStatus, "No annotation before this one");
    f->ActionFor(kCmdAnnotationNext)->trigger();
    f->ActionFor(kCmdAnnotationNext)->trigger();
    EXPECT_EQ(f->CurrentAnnotation(), 2);
    f->ActionFor(kCmdAnnotationNext)->trigger();
    EXPECT_EQ(f->lastStatus, "No annotation after this one");

    // Its span is drawn where it lies: only the plot columns of samples 15000 to 18000 change.
    CView& v = *f->view;
    const int W = v.width(), H = v.height();
    v.ShowXRange(10000, 19999);
    const QImage with = v.Render(W, H);
    std::vector<SigmfAnnotation> kept;
    kept.swap(f->mainWave.recording.annotations);
    const QImage without = v.Render(W, H);
    kept.swap(f->mainWave.recording.annotations);
    const PlotMargins& mg = v.engine.style.margins;
    const double pw = mg.PlotWidth(W);
    const auto [lo, hi] = ChangedColumns(with, without);
    EXPECT_NEAR(lo, mg.left + 5000 / 9999.0 * pw, 2);
    EXPECT_NEAR(hi, mg.left + 8000 / 9999.0 * pw, 2);

    // A box on the spectrogram becomes an annotation through its menu: its band is absolute.
    f->ActionFor(kViewSpectrogram)->trigger();
    CSpectrogramView& s = *v.spectrogram;
    s.Render(s.width(), s.height());
    const QRect area = SpectrogramPlotArea(s.width(), s.height());
    const auto xOf = [&](double hz) { return int(SpectrogramXOfHz(hz, s.width(), -5e5, 5e5)); };
    const auto yOf = [&](double sample) {
        return int(area.top() + sample / 20000 * area.height());
    };
    QTest::mousePress(&s, Qt::LeftButton, Qt::ShiftModifier, QPoint(xOf(2e5), yOf(8000)));
    QTest::mouseMove(&s, QPoint(xOf(3e5), yOf(12000)));
    QTest::mouseRelease(&s, Qt::LeftButton, Qt::ShiftModifier, QPoint(xOf(3e5), yOf(12000)));
    ASSERT_TRUE(s.BoxMenu()->isVisible());
    prompter_.texts = {{"Label of the annotation", "box"},
                       {"Comment on the annotation", "by hand"}};
    s.BoxMenu()->findChild<QAction*>("annotateBox")->trigger();
    s.BoxMenu()->hide();
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(f->CurrentAnnotation(), 2);  // between B and C
    const SigmfAnnotation& box = f->mainWave.recording.annotations[2];
    EXPECT_EQ(box.label, "box");
    EXPECT_NEAR(static_cast<double>(box.firstSample), 8000, 40);
    EXPECT_NEAR(*box.lowerHz, 100.2e6, 2e3);
    EXPECT_NEAR(*box.upperHz, 100.3e6, 2e3);
    EXPECT_TRUE(f->Modified());
    // A is drawn as a box in its band, 100.1 to 100.2 MHz about the centre of 100 MHz.
    const QRect rowsOfA(0, yOf(1100), s.width(), yOf(1900) - yOf(1100));
    const QImage boxed = s.Render(s.width(), s.height()).copy(rowsOfA);
    kept = f->mainWave.recording.annotations;
    f->mainWave.recording.annotations.clear();
    const auto [bl, bh] = ChangedColumns(boxed, s.Render(s.width(), s.height()).copy(rowsOfA));
    f->mainWave.recording.annotations = kept;
    EXPECT_NEAR(bl, xOf(1e5), 2);
    EXPECT_NEAR(bh, xOf(2e5), 2);

    // Dragged in a time view and annotated through the menu; edited; the first deleted.
    f->ActionFor(kViewTimeIQ)->trigger();
    v.ShowXRange(3000, 3999);
    prompter_.texts = {{"Label of the annotation", "span"}, {"Comment on the annotation", ""}};
    f->ActionFor(kCmdAnnotationAdd)->trigger();
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(cell(1, 0), "span");
    EXPECT_EQ(cell(1, 3), "1 ms");
    prompter_.texts = {{"Label of the annotation", "span 2"}, {"Comment on the annotation", "x"}};
    f->ActionFor(kCmdAnnotationEdit)->trigger();
    EXPECT_EQ(cell(1, 0), "span 2");
    prompter_.texts.clear();  // a cancelled edit changes nothing
    f->ActionFor(kCmdAnnotationEdit)->trigger();
    EXPECT_EQ(f->lastStatus, "Cancelled");
    EXPECT_EQ(cell(1, 1), "x");
    dock.Table()->selectionModel()->setCurrentIndex(
        model.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(f->CurrentAnnotation(), 0);
    f->ActionFor(kCmdAnnotationDelete)->trigger();
    EXPECT_EQ(f->lastStatus, "Annotation deleted: A");
    ASSERT_EQ(model.rowCount(), 4);
    f->ActionFor(kCmdAnnotationDelete)->trigger();
    EXPECT_EQ(f->lastStatus, "ERR: choose an annotation first (N, Shift+N or the list)");

    // Saved in the metadata with what the program does not use; as an archive too.
    f->ActionFor(kCmdSave)->trigger();
    EXPECT_FALSE(f->Modified());
    for (const char* saved : {"rec.sigmf-meta", "copy.sigmf"}) {
        if (std::string(saved) == "copy.sigmf") {
            prompter_.texts = {{"Description of the recording", "roof"}};
            f->SaveWaveformAs(Path(saved), true, true);
        }
        cWaveform back;
        ASSERT_EQ(back.LoadFile(Path(saved), false), 0) << saved;
        const auto& notes = back.recording.annotations;
        ASSERT_EQ(notes.size(), 4u) << saved;
        EXPECT_EQ(notes[0].label, "span 2");
        EXPECT_EQ(notes[0].comment, "x");
        EXPECT_EQ(notes[1].label, "B");
        EXPECT_EQ(notes[2].upperHz, box.upperHz);
        EXPECT_EQ(back.recording.otherGlobalKeys, R"({"ext:site":"roof"})");
        EXPECT_EQ(back.recording.description, std::string(saved) == "copy.sigmf" ? "roof" : "");
    }
    // Opened, the archive's digest is checked on a thread of its own; a changed sample is
    // reported, and the samples still open.
    ASSERT_EQ(f->OpenWaveformFile(Path("copy.sigmf"), true), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f->DigestCheck() != "checking"; }, 10000));
    EXPECT_EQ(f->DigestCheck(), "matches");
    EXPECT_EQ(f->lastStatus, "copy.sigmf matches its core:sha512");
    {
        SigmfArchiveLayout layout;
        ASSERT_EQ(ReadSigmfArchive(Path("copy.sigmf"), layout), "");
        std::fstream data(Path("copy.sigmf"), std::ios::in | std::ios::out | std::ios::binary);
        data.seekp(layout.dataOffset + 100);
        data.put('\x55');
    }
    ASSERT_EQ(f->OpenWaveformFile(Path("copy.sigmf"), true), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f->DigestCheck() != "checking"; }, 10000));
    EXPECT_EQ(f->DigestCheck(), "differs");
    EXPECT_EQ(f->lastStatus,
              "ERR: copy.sigmf does not match its core:sha512: the samples are "
              "not those that were recorded");
    EXPECT_EQ(Decode(*f),
              "420 cf32 \u00b7 1 Msps (from metadata) \u00b7 centre 100 MHz \u00b7 recorded "
              "2024-05-01T12:00:00Z");
    EXPECT_EQ(model.rowCount(), 4);

    // The time of day on the time axes, from the segment's start: the axis numbers change.
    const QImage samples = v.Render(W, H);
    f->ActionFor(kCmdAbsoluteTime)->trigger();
    EXPECT_TRUE(f->IsChecked(kCmdAbsoluteTime));
    const auto [tl, th] = ChangedColumns(samples.copy(0, H - mg.bottom, W, mg.bottom),
                                         v.Render(W, H).copy(0, H - mg.bottom, W, mg.bottom));
    EXPECT_LT(tl, th);
    ASSERT_TRUE(TimeOfDayAtFileStart(f->mainWave));
    EXPECT_EQ(TimeOfDayText(*TimeOfDayAtFileStart(f->mainWave) + 12500 / 1e6, 6),
              "12:00:00.012500");
    EXPECT_EQ(TimeOfDayText(86399.9999996, 6), "00:00:00.000000");
}

// A hundred thousand annotations: listed without copies, drawn only where shown.
TEST_F(Annotations, AHundredThousandAreListedAndDrawn) {
    std::ofstream(Path("many.sigmf-data"), std::ios::binary) << Floats(200000);
    {
        std::ofstream meta(Path("many.sigmf-meta"));
        meta << R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 1e6},
                    "annotations": [)";
        for (int k = 0; k < 100000; ++k)
            meta << (k ? "," : "") << R"({"core:sample_start": )" << 2 * k
                 << R"(, "core:sample_count": 1, "core:label": "n)" << k << "\"}";
        meta << "]}";
    }
    auto f = Start({Path("many.sigmf-meta")});
    f->resize(1000, 700);
    f->show();
    EXPECT_EQ(f->AnnotationDock()->Model()->rowCount(), 100000);
    f->ActionFor(kViewTimeIQ)->trigger();
    // All of them in view: at most kMaxDrawnAnnotations are drawn, without labels.
    QImage image(800, 400, QImage::Format_RGB32);
    QPainter p(&image);
    AnnotationPlace place;
    place.area = QRect(50, 10, 700, 360);
    place.sampleCount = 200000;
    EXPECT_EQ(DrawAnnotationSpans(p, f->mainWave.recording.annotations, place),
              kMaxDrawnAnnotations);
    place.firstSample = 1000;
    place.sampleCount = 100;
    EXPECT_EQ(DrawAnnotationSpans(p, f->mainWave.recording.annotations, place), 50u);
    f->ActionFor(kCmdAnnotationNext)->trigger();
    f->ActionFor(kCmdAnnotationNext)->trigger();
    EXPECT_EQ(f->CurrentAnnotation(), 1);
    EXPECT_EQ(f->AnnotationDock()->Table()->currentIndex().row(), 1);
}

// A recording of two channels opens its first; the Capture menu reads the other.
TEST_F(Annotations, AChannelIsChosenFromTheCaptureMenu) {
    std::ofstream(Path("two.sigmf-data"), std::ios::binary) << Floats(500, 2);
    std::ofstream(Path("two.sigmf-meta")) << R"({"global": {"core:datatype": "cf32_le",
        "core:sample_rate": 1e6, "core:num_channels": 2}})";
    auto f = Start({Path("two.sigmf-meta")});
    ASSERT_EQ(f->mainWave.sampleCount, 500);
    EXPECT_EQ(f->mainWave.I[499], 0.1f);
    EXPECT_EQ(Decode(*f), "420 cf32 \u00b7 1 Msps (from metadata) \u00b7 channel 0 of 2");
    prompter_.numbers["Channel to read (0 to 1)"] = 1;
    f->ActionFor(kCmdRecordingChannel)->trigger();
    EXPECT_EQ(f->mainWave.I[499], 0.2f);
    EXPECT_EQ(f->mainWave.Q[0], -0.1f);
    EXPECT_EQ(Decode(*f), "420 cf32 \u00b7 1 Msps (from metadata) \u00b7 channel 1 of 2");
    prompter_.numbers["Channel to read (0 to 1)"] = 2;
    f->ActionFor(kCmdRecordingChannel)->trigger();
    EXPECT_EQ(f->lastStatus, "ERR: the recording has channels 0 to 1");
    EXPECT_EQ(f->mainWave.I[0], 0.2f);
}

}  // namespace
