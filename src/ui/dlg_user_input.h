#pragma once
// The small modal dialog through which every typed value is asked: the prompt, the value field
// and a note, with OK and Cancel. Prompt and note wrap, and the dialog sizes itself to them.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

class cDlgUserInput : public QDialog {
    Q_OBJECT
public:
    explicit cDlgUserInput(QWidget* parent = nullptr);

    // Fill these before exec(); the value text is read back from the field on OK only, so
    // after Cancel ValueText() still holds what the caller offered.
    void SetValueText(const QString& text);
    void SetPromptText(const QString& text);
    void SetNoteText(const QString& text);
    const QString& ValueText() const { return valueText_; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString valueText_;
    QLineEdit* valueEdit_;
    QLabel* promptLabel_;
    QLabel* noteLabel_;

    void FitToText();
};
