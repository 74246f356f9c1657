#include "app/annotation_dock.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>

#include "display/value_format.h"
#include "waveform/file_messages.h"
#include "waveform/number_format.h"

namespace {
enum Column { kLabel, kComment, kStart, kLength, kLower, kUpper, kColumns };
const char* const kTitles[kColumns] = {"Label",  "Comment",  "Start",
                                       "Length", "Low edge", "High edge"};
}  // namespace

void CAnnotationModel::Reset(const std::vector<SigmfAnnotation>* annotations, double rateHz) {
    beginResetModel();
    annotations_ = annotations;
    rateHz_ = rateHz > 0 ? rateHz : 1;
    endResetModel();
}

int CAnnotationModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !annotations_ ? 0 : static_cast<int>(annotations_->size());
}

int CAnnotationModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant CAnnotationModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !annotations_ || index.row() < 0 ||
        index.row() >= static_cast<int>(annotations_->size()))
        return {};
    const SigmfAnnotation& a = (*annotations_)[static_cast<size_t>(index.row())];
    const auto hz = [](const std::optional<double>& v) {
        return v ? QString::fromStdString(CentreFrequencyText(*v)) : QString();
    };
    switch (index.column()) {
        case kLabel: return QString::fromStdString(a.label);
        case kComment: return QString::fromStdString(a.comment);
        case kStart:
            return QString::fromStdString(Fixed(static_cast<double>(a.firstSample) / rateHz_, 6) +
                                          " s");
        case kLength:
            return QString::fromStdString(
                FormatDuration(a.sampleCount, static_cast<int64_t>(std::llround(rateHz_))));
        case kLower: return hz(a.lowerHz);
        case kUpper: return hz(a.upperHz);
        default: return {};
    }
}

QVariant CAnnotationModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= kColumns)
        return {};
    return QString(kTitles[section]);
}

CAnnotationDock::CAnnotationDock(QWidget* parent) : QDockWidget("Annotations", parent) {
    setObjectName("annotationDock");
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 2, 4, 2);
    hint_ = new QLabel(
        "N and Shift+N go to the next and previous annotation. Drag across a time view (or "
        "Shift+drag a box on the spectrogram), then Capture > Annotate Selection to add one; "
        "double-click a row to edit it.",
        body);
    hint_->setWordWrap(true);
    model_ = new CAnnotationModel(this);
    table_ = new QTableView(body);
    table_->setObjectName("annotationTable");
    table_->setModel(model_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    // Rows of one height need no measuring: a hundred thousand of them scroll at once.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->setWordWrap(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Widths set once: measuring a hundred thousand rows' texts would stall the list.
    const int widths[kColumns] = {110, 120, 90, 70, 90, 90};
    for (int c = 0; c < kColumns; ++c)
        table_->setColumnWidth(c, widths[c]);
    layout->addWidget(hint_);
    layout->addWidget(table_);
    setWidget(body);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (!selecting_ && now.isValid() && onChosen) onChosen(now.row());
            });
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& at) {
        if (at.isValid() && onEdit) onEdit(at.row());
    });
}

void CAnnotationDock::Reset(const std::vector<SigmfAnnotation>* annotations, double rateHz) {
    selecting_ = true;
    model_->Reset(annotations, rateHz);
    hint_->setVisible(!annotations || annotations->size() < 3);
    selecting_ = false;
}

void CAnnotationDock::Select(int k) {
    selecting_ = true;
    if (k < 0 || k >= model_->rowCount()) {
        table_->clearSelection();
    } else {
        const QModelIndex at = model_->index(k, 0);
        table_->selectionModel()->setCurrentIndex(
            at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        table_->scrollTo(at);
    }
    selecting_ = false;
}
