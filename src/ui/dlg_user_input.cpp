#include "ui/dlg_user_input.h"

#include <locale.h>
#include <stdlib.h>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Prompt and note are for reading (and copying), never for typing: labels that wrap, so a
// long question is shown whole.
QLabel* MakeTextLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setTextFormat(Qt::PlainText);
    return label;
}

constexpr int kMinimumWidth = 330;
constexpr int kMaximumTextWidth = 560;  // beyond this the text wraps instead of widening

}  // namespace

cDlgUserInput::cDlgUserInput(QWidget* parent)
    : QDialog(parent),
      valueEdit_(new QLineEdit(this)),
      promptLabel_(MakeTextLabel("prompt", this)),
      noteLabel_(MakeTextLabel("note", this)),
      complaint_(MakeTextLabel("complaint", this)) {
    setWindowTitle(QStringLiteral("Input Required"));
    setModal(true);
    // Numbers read best aligned on their last digit.
    valueEdit_->setObjectName(QStringLiteral("value"));
    valueEdit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    connect(okButton, &QPushButton::clicked, this, &cDlgUserInput::accept);
    connect(cancelButton, &QPushButton::clicked, this, &cDlgUserInput::reject);

    auto* noteTitle = new QLabel(QStringLiteral("Note:"), this);
    noteTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* grid = new QGridLayout(this);
    grid->addWidget(promptLabel_, 0, 0, 1, 2);
    grid->addWidget(valueEdit_, 1, 0, 1, 2);
    grid->addWidget(noteTitle, 2, 0);
    grid->addWidget(noteLabel_, 2, 1);
    complaint_->setStyleSheet(QStringLiteral("color: #c00000"));
    complaint_->hide();
    grid->addWidget(complaint_, 3, 0, 1, 2);
    grid->addWidget(okButton, 0, 2, Qt::AlignTop);
    grid->addWidget(cancelButton, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetMinimumSize);
    setMinimumWidth(kMinimumWidth);

    setTabOrder(valueEdit_, okButton);
    setTabOrder(okButton, cancelButton);
}

void cDlgUserInput::SetValueText(const QString& text) {
    valueText_ = text;
    valueEdit_->setText(text);
}

void cDlgUserInput::SetPromptText(const QString& text) {
    promptLabel_->setText(text);
    FitToText();
}

void cDlgUserInput::SetNoteText(const QString& text) {
    noteLabel_->setText(text);
    FitToText();
}

void cDlgUserInput::FitToText() {
    // Wide enough for the longer text on one line up to a limit, then wrapped and as tall as
    // the wrapped lines need.
    const QFontMetrics metrics(font());
    const int widest = std::max(metrics.horizontalAdvance(promptLabel_->text()),
                                metrics.horizontalAdvance(noteLabel_->text()) + 60);
    promptLabel_->setMinimumWidth(std::min(widest, kMaximumTextWidth));
    adjustSize();
}

void cDlgUserInput::accept() {
    double value = 0;
    if (numeric_ && !ParseWholeNumber(valueEdit_->text().toStdString(), value)) {
        // Said at once and asked again: a number read loosely ("2,5" as 2) would run the tool
        // with a value nobody typed.
        complaint_->setText(
            QStringLiteral("\u201c%1\u201d is not a number: type one such as 2.5 or 1e6")
                .arg(valueEdit_->text()));
        complaint_->show();
        valueEdit_->setFocus(Qt::OtherFocusReason);
        valueEdit_->selectAll();
        return;
    }
    valueText_ = valueEdit_->text();
    QDialog::accept();
}

bool ParseWholeNumber(const std::string& text, double& value) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    if (*begin == '\0') return false;
    char* end = nullptr;
    value = strtod_l(begin, &end, cLocale);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    return *end == '\0';
}

void cDlgUserInput::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Typing replaces the offered value at once; the dialog comes up over everything else
    // where it is, without being moved.
    valueEdit_->setFocus(Qt::OtherFocusReason);
    valueEdit_->selectAll();
    raise();
    activateWindow();
}
