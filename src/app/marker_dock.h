#pragma once
// The marker table: a dock below the plot that lists the readings of the markers on the plot
// shown (one row a marker). It can be closed and brought back from the View menu.

#include <QDockWidget>

#include "display/marker_table.h"

class QLabel;
class QTableWidget;

class CMarkerDock : public QDockWidget {
public:
    explicit CMarkerDock(QWidget* parent);
    // Shows table (nothing is rebuilt when it is what is shown already).
    void Show(const MarkerTable& table);
    const MarkerTable& Shown() const { return shown_; }
    QTableWidget* Table() const { return table_; }

private:
    QTableWidget* table_;
    QLabel* hint_;
    MarkerTable shown_;
};
