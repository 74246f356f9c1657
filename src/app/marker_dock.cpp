#include "app/marker_dock.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

CMarkerDock::CMarkerDock(QWidget* parent) : QDockWidget("Markers", parent) {
    setObjectName("markerDock");
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 2, 4, 2);
    hint_ = new QLabel(
        "M or Ctrl+click places a marker at the mouse; drag it, or move the selected one with "
        "the arrows; P puts it on the peak, Ctrl+Left/Right on the next peak, L on the next "
        "lower one; Del removes it.",
        body);
    hint_->setWordWrap(true);
    table_ = new QTableWidget(body);
    table_->setObjectName("markerTable");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);  // the arrows stay with the plot
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(hint_);
    layout->addWidget(table_);
    setWidget(body);
    Show({});
}

void CMarkerDock::Show(const MarkerTable& table) {
    if (table == shown_ && table_->columnCount() > 0) return;
    shown_ = table;
    hint_->setVisible(table.rows.empty());
    table_->setColumnCount(static_cast<int>(table.columns.size()));
    QStringList titles;
    for (const std::string& c : table.columns)
        titles << QString::fromStdString(c);
    table_->setHorizontalHeaderLabels(titles);
    table_->setRowCount(static_cast<int>(table.rows.size()));
    for (size_t r = 0; r < table.rows.size(); ++r)
        for (size_t c = 0; c < table.rows[r].size(); ++c)
            table_->setItem(static_cast<int>(r), static_cast<int>(c),
                            new QTableWidgetItem(QString::fromStdString(table.rows[r][c])));
    // Room for four markers below the titles, no more.
    const int rowHeight = table_->verticalHeader()->defaultSectionSize();
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() + 4 * rowHeight + 4);
}
