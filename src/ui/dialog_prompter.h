#pragma once
// The prompter of the running program: one modal input dialog per value over the given
// parent, with remembered answers kept in the user's settings (organisation and application
// "Quorvalen", one value per key at the top level, stored with its type: a float's, double's
// or int's exact value, or the text).

#include <QPointer>
#include <QWidget>
#include <string>

#include "tools/prompter.h"

inline constexpr char kSettingsOrganisation[] = "Quorvalen";
inline constexpr char kSettingsApplication[] = "Quorvalen";

// Longest text answer kept, in characters.
inline constexpr int kPromptTextMaxChars = 255;

class cDialogPrompter : public IPrompter {
public:
    // parent: the window the dialogs are modal over (may be null).
    explicit cDialogPrompter(QWidget* parent = nullptr) : parent_(parent) {}

    float PromptFloat(const std::string& prompt, const std::string& note, float defaultValue,
                      const std::string& key) override;
    double PromptDouble(const std::string& prompt, const std::string& note, double defaultValue,
                        const std::string& key) override;
    int PromptInt(const std::string& prompt, const std::string& note, int defaultValue,
                  const std::string& key) override;
    std::string PromptString(const std::string& prompt, const std::string& note,
                             const std::string& defaultValue, const std::string& key) override;

private:
    QPointer<QWidget> parent_;
};

// The number at the start of text as C's atof reads it in the "C" locale (leading blanks, sign,
// decimal or hexadecimal digits, exponent, inf/nan); 0 when there is none. Independent of the
// process locale, which a GUI toolkit sets from the user's environment.
double TextToNumber(const std::string& text);

// value + 0.5 (or - 0.5 when not positive) truncated, limited to the int range; NaN gives 0.
int RoundToInt(double value);
