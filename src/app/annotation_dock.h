#pragma once
// The annotation list: a dock that lists a recording's annotations (label, comment, start,
// length, frequency edges), one row each, for any number of them (the rows are read from the
// recording as they are shown, never copied). A click goes to the annotation, a double click
// edits it.

#include <QAbstractTableModel>
#include <QDockWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "waveform/sigmf.h"

class QLabel;
class QTableView;

class CAnnotationModel : public QAbstractTableModel {
public:
    explicit CAnnotationModel(QObject* parent) : QAbstractTableModel(parent) {}
    // Shows annotations (kept by the caller, which calls Reset after each change), with times
    // at rateHz counted from the start of the recording's data file.
    void Reset(const std::vector<SigmfAnnotation>* annotations, double rateHz);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const std::vector<SigmfAnnotation>* annotations_ = nullptr;
    double rateHz_ = 1;
};

class CAnnotationDock : public QDockWidget {
public:
    explicit CAnnotationDock(QWidget* parent);
    void Reset(const std::vector<SigmfAnnotation>* annotations, double rateHz);
    // Marks row k (-1: none) without calling onChosen.
    void Select(int k);
    QTableView* Table() const { return table_; }
    CAnnotationModel* Model() const { return model_; }
    // A row clicked (or reached with the keys), and a row double-clicked.
    std::function<void(int)> onChosen, onEdit;

private:
    QTableView* table_;
    QLabel* hint_;
    CAnnotationModel* model_;
    bool selecting_ = false;
};
