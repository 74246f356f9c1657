// The marker commands of the View menu and the marker table below the plot.

#include <QTableWidget>

#include "app/main_frame.h"
#include "app/marker_dock.h"
#include "app/view.h"

void CMainFrame::RefreshMarkerTable(bool lockHeld) {
    if (!markerDock_->isVisible()) return;
    // The readings come from the trace and samples, which a running worker may be replacing.
    std::unique_lock<std::mutex> lock(waveLock_, std::defer_lock);
    if (!lockHeld && WorkerRunning() && !lock.try_lock()) return;
    markerDock_->Show(view->MarkerTableNow());
}

void CMainFrame::RegisterMarkerCommands() {
    markerDock_ = new CMarkerDock(this);
    addDockWidget(Qt::BottomDockWidgetArea, markerDock_);
    markerDock_->hide();
    connect(markerDock_, &QDockWidget::visibilityChanged, this, [this](bool) {
        // The check mark follows the dock, also when its own close button hides it.
        CheckMenuItem(kCmdMarkerTable, !markerDock_->isHidden());
        RefreshMarkerTable(false);
    });
    // The view paints with the samples' lock held; the spectrogram reads copies.
    view->onMarkersChanged = [this] { RefreshMarkerTable(true); };
    view->spectrogram->onPainted = [this] { RefreshMarkerTable(false); };

    AddCommand(
        {kCmdMarkerPlace, kCmdMarkerPeak, kCmdMarkerNextLeft, kCmdMarkerNextRight,
         kCmdMarkerNextLower, kCmdMarkerDelete, kCmdMarkerDeleteAll},
        [this](int id, int64_t) {
            static const std::pair<int, MarkerAction> kActions[] = {
                {kCmdMarkerPlace, MarkerAction::Place},
                {kCmdMarkerPeak, MarkerAction::Peak},
                {kCmdMarkerNextLeft, MarkerAction::NextLeft},
                {kCmdMarkerNextRight, MarkerAction::NextRight},
                {kCmdMarkerNextLower, MarkerAction::NextLower},
                {kCmdMarkerDelete, MarkerAction::Delete},
                {kCmdMarkerDeleteAll, MarkerAction::DeleteAll}};
            MarkerAction action = MarkerAction::Place;
            for (const auto& [command, a] : kActions)
                if (command == id) action = a;
            std::string why;
            {
                // The searches read the trace a running worker recomputes; placing a marker
                // takes the lock itself.
                std::unique_lock<std::mutex> lock(waveLock_, std::defer_lock);
                if (WorkerRunning() && action != MarkerAction::Place) lock.lock();
                why = view->MarkerCommand(action);
            }
            if (!why.empty()) {
                SetStatusText(why);
                return 0;
            }
            // The first marker brings the table; after that it stays as the user leaves it.
            const bool removes =
                action == MarkerAction::Delete || action == MarkerAction::DeleteAll;
            if (!removes && !markerTableOffered_) {
                markerTableOffered_ = true;
                markerDock_->show();
            }
            return 1;
        },
        kDisplayCommand);
    AddCommand(
        {kCmdMarkerDelta},
        [this](int id, int64_t) {
            const bool on = !IsChecked(id);
            CheckMenuItem(id, on);
            view->markers.delta = on;
            view->spectrogram->markerDelta = on;
            view->update();
            view->spectrogram->update();
            return 1;
        },
        kDisplayCommand);
    AddCommand(
        {kCmdMarkerWidths},
        [this](int, int64_t) {
            const double band =
                prompter->PromptDouble("Band power around each marker over (Hz, 0 for none)", "",
                                       view->markers.bandWidthHz, "MarkerBandWidth");
            if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
            const double noise =
                prompter->PromptDouble("Noise density around each marker over (Hz, 0 for none)", "",
                                       view->markers.noiseWidthHz, "MarkerNoiseWidth");
            if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
            if (!(band >= 0 && noise >= 0 && std::isfinite(band) && std::isfinite(noise)))
                return SetStatusText("ERR: marker widths are 0 or more hertz"), 0;
            view->markers.bandWidthHz = band;
            view->markers.noiseWidthHz = noise;
            view->update();
            return 1;
        },
        kDisplayCommand);
    AddCommand(
        {kCmdMarkerTable},
        [this](int, int64_t) {
            markerTableOffered_ = true;
            markerDock_->setVisible(markerDock_->isHidden());
            return 1;
        },
        kAnyTimeCommand);
}
