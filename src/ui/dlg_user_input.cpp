#include "ui/dlg_user_input.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

// Prompt and note are for reading (and copying), never for typing.
QLineEdit* MakeReadOnlyField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::ClickFocus);
    // Greyed like any read-only field, so the one to type in stands out.
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
    return field;
}

}  // namespace

cDlgUserInput::cDlgUserInput(QWidget* parent)
    : QDialog(parent),
      valueEdit_(new QLineEdit(this)),
      promptEdit_(MakeReadOnlyField("prompt", this)),
      noteEdit_(MakeReadOnlyField("note", this)) {
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

    auto* noteLabel = new QLabel(QStringLiteral("Note:"), this);
    noteLabel->setBuddy(noteEdit_);

    auto* grid = new QGridLayout(this);
    grid->addWidget(promptEdit_, 0, 0, 1, 2);
    grid->addWidget(valueEdit_, 1, 0, 1, 2);
    grid->addWidget(noteLabel, 2, 0);
    grid->addWidget(noteEdit_, 2, 1);
    grid->addWidget(okButton, 0, 2);
    grid->addWidget(cancelButton, 1, 2);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(330);

    setTabOrder(valueEdit_, okButton);
    setTabOrder(okButton, cancelButton);
}

void cDlgUserInput::SetValueText(const QString& text) {
    valueText_ = text;
    valueEdit_->setText(text);
}

void cDlgUserInput::SetPromptText(const QString& text) {
    promptEdit_->setText(text);
    promptEdit_->setCursorPosition(0);
}

void cDlgUserInput::SetNoteText(const QString& text) {
    noteEdit_->setText(text);
    noteEdit_->setCursorPosition(0);
}

void cDlgUserInput::accept() {
    valueText_ = valueEdit_->text();
    QDialog::accept();
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
