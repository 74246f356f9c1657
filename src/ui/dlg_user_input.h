#pragma once
// The small modal dialog through which every typed value is asked: the prompt, the value field
// and a note, with OK and Cancel. Prompt and note wrap, and the dialog sizes itself to them.

#include <QDialog>
#include <QString>
#include <string>

class QLabel;
class QLineEdit;

// True when text, blanks around it aside, is one number as C's strtod reads it in the "C"
// locale ("2.5", "-1e6", "0x10"); value receives it. "2,5", "" and "5 MHz" are not.
bool ParseWholeNumber(const std::string& text, double& value);

class cDlgUserInput : public QDialog {
    Q_OBJECT
public:
    explicit cDlgUserInput(QWidget* parent = nullptr);

    // Fill these before exec(); the value text is read back from the field on OK only, so
    // after Cancel ValueText() still holds what the caller offered.
    void SetValueText(const QString& text);
    void SetPromptText(const QString& text);
    void SetNoteText(const QString& text);
    // A numeric dialog takes only text that is a number as a whole (blanks around it aside):
    // anything else is refused on OK with a line that says so, and the dialog stays open.
    void SetNumeric(bool numeric) { numeric_ = numeric; }
    const QString& ValueText() const { return valueText_; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString valueText_;
    bool numeric_ = false;
    QLineEdit* valueEdit_;
    QLabel* promptLabel_;
    QLabel* noteLabel_;
    QLabel* complaint_;

    void FitToText();
};
