#pragma once
// The spectrogram view: time (down) against frequency over the working waveform or, for a
// capture larger than a waveform holds, the whole file. Rows come from tiles computed on
// worker threads; a paint only assembles what is there, maps it to colours and asks for the
// rest, so dragging, zooming and scrolling never wait for a transform.
//
// Mouse: drag a box to zoom into its band and time; Shift+drag selects a box and offers what
// to do with it; right click shows the whole source. Wheel: levels 3 dB up or down (Ctrl: the
// range). Keys: Up/Down and Page Up/Down scroll in time, Left/Right in frequency, +/- zoom in
// time; Shift+Up/Down move the levels and Ctrl+Up/Down the range by 3 dB; A levels automatic
// again.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "display/annotation_overlay.h"
#include "display/marker_overlay.h"
#include "display/marker_table.h"
#include "display/spectrogram_plot.h"
#include "workers/spectrogram_tiles.h"

class QMenu;

// What the view shows: samples [0, total) through read, at a rate, with sample 0 at
// timeOffset samples into the file (for the time axis). identity changes when the samples do.
struct SpectrogramSource {
    SampleReader read;
    int64_t total = 0;
    double sampleRateHz = 1;
    int64_t timeOffset = 0;
    // The working waveform's samples within the source (the time shown first).
    int64_t workingFirst = 0, workingCount = 0;
    bool wholeCapture = false;  // the source is a capture beyond the working waveform
    const void* identity = nullptr;
    uint64_t generation = 0;
};

class CSpectrogramView : public QWidget {
public:
    explicit CSpectrogramView(QWidget* parent = nullptr);
    // Stops the tile workers while the widget is whole (they post repaints to it).
    ~CSpectrogramView() override;

    // Called before each paint for the source; a change of identity or generation drops the
    // tiles and shows the working part of the new source.
    std::function<SpectrogramSource()> sourceProvider;
    // A click that drew no box (the 4-up view's pane opens the view itself).
    std::function<void()> onClick;
    // The readout under the mouse and what the view did.
    std::function<void(const std::string&)> onStatus;
    // The box's actions (Shift+drag), in source samples [t0, t1) and Hz.
    std::function<void(double f0, double f1, int64_t t0, int64_t t1)> onShowInSpectrum,
        onShowInTime, onMeasureBand, onLoadRange, onAnnotate;
    // Draws the recording's annotations over the plot; the view fills in where (the area, the
    // data file's samples and the band shown).
    std::function<void(QPainter&, AnnotationPlace)> drawAnnotations;

    void SetSettings(const SpectrogramSettings& settings);
    const SpectrogramSettings& Settings() const { return settings_; }
    void SetColours(SpectrogramColours colours);
    SpectrogramColours Colours() const { return colours_; }
    void SetAutoLevels();
    void ShiftLevels(double db, double rangeDb);
    double LevelLo() const { return levelLo_; }
    double LevelHi() const { return levelHi_; }
    bool dbm = false;
    double dbmOffsetDb = 0;

    // The frequency span shown (shared with the spectrum view) and the time shown.
    void SetFrequencySpan(double f0, double f1);
    double FrequencyStart() const { return f0_; }
    double FrequencyEnd() const { return f1_; }
    void SetTimeSpan(double firstSample, double count);
    double TimeFirst() const { return t0_; }
    double TimeCount() const { return tCount_; }
    // The whole source's time and the full band.
    void ShowWhole();

    // The box chosen with Shift+drag (empty when none), and its menu.
    QRect SelectedBox() const { return box_; }
    // The selected box's band (Hz) and source samples [t0, t1); false when there is none.
    bool SelectedBoxBounds(double& f0, double& f1, int64_t& t0, int64_t& t1) const {
        if (box_.isNull()) return false;
        BoxBounds(box_, f0, f1, t0, t1);
        return true;
    }
    QMenu* BoxMenu() const { return boxMenu_; }
    // Markers M1 … M4, each at a time (source samples) and a frequency, read from the frame
    // on the hop grid that starts at or before its time. Ctrl+click places one, a drag moves
    // it, the arrows move the selected one by a bin or a row (Escape lets go of it).
    MarkerPositions markerSample, markerHz;
    int selectedMarker = 0;
    bool markerDelta = false;
    std::string MarkerCommand(MarkerAction action);
    // Puts marker number at frequency hz, at its time or the middle of the time shown.
    bool SetMarker(int number, std::optional<double> hz, std::string& why);
    void ClearMarkers();
    MarkerTable MarkerTableNow();
    // After each paint (the frame's marker table follows).
    std::function<void()> onPainted;

    // The picture the window shows at W × H (tiles as they are now).
    QImage Render(int W, int H);
    const SpectrogramScreen& Screen() const { return screen_; }
    cSpectrogramTiles& Tiles() { return *tiles_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The marker whose point is within a few pixels of p, or 0.
    int MarkerNear(QPoint p) const;
    void MoveMarkerTo(int number, QPoint p);
    void DrawMarkerFlags(QPainter& p, int W, int H) const;
    // Powers (linear) of the frame on the hop grid at or before sample; empty when it cannot
    // be read. Kept until the source or the settings change.
    const std::vector<float>& FrameAt(double sample);
    std::map<int64_t, std::vector<float>> frames_;
    const void* framesSource_ = nullptr;
    uint64_t framesGeneration_ = 0;
    SpectrogramSettings framesSettings_;
    int draggedMarker_ = 0;
    bool hoverValid_ = false;

    void Refresh();  // the source, then a new screen
    // Source sample and frequency under widget point (x, y).
    double SampleAt(int y) const;
    double HzAt(int x) const;
    void BoxBounds(const QRect& box, double& f0, double& f1, int64_t& t0, int64_t& t1) const;

    std::unique_ptr<cSpectrogramTiles> tiles_;
    SpectrogramSource source_;
    SpectrogramSettings settings_;
    SpectrogramColours colours_ = SpectrogramColours::kPerceptual;
    SpectrogramScreen screen_;
    bool autoLevels_ = true;
    double levelLo_ = -100, levelHi_ = 0;
    double f0_ = 0, f1_ = 0;      // Hz
    double t0_ = 0, tCount_ = 0;  // source samples
    bool spanSet_ = false;
    QPoint pressAt_, mouseAt_;
    bool dragging_ = false, selecting_ = false;
    QRect box_;
    QMenu* boxMenu_ = nullptr;
};
