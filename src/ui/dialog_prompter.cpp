#include "ui/dialog_prompter.h"

#include <QSettings>
#include <QVariant>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>
#if !defined(_WIN32)
#include <locale.h>
#endif

#include "ui/dlg_user_input.h"
#include "waveform/number_format.h"

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// Cuts to at most maxChars characters without splitting a surrogate pair.
QString CutToChars(QString text, int maxChars) {
    if (text.size() <= maxChars) return text;
    int cut = maxChars;
    if (text.at(cut - 1).isHighSurrogate()) --cut;
    text.truncate(cut);
    return text;
}

// Shows one dialog; returns false on Cancel, else the typed text in answer. A numeric dialog
// accepts only a number.
bool Ask(QWidget* parent, const std::string& prompt, const std::string& note,
         const QString& offered, QString& answer, bool numeric) {
    cDlgUserInput dialog(parent);
    dialog.SetNumeric(numeric);
    dialog.SetValueText(offered);
    dialog.SetPromptText(FromUtf8(prompt));
    dialog.SetNoteText(FromUtf8(note));
    if (dialog.exec() != QDialog::Accepted) return false;
    answer = dialog.ValueText();
    return true;
}

// A remembered answer, or nothing when the key is empty or holds no usable value.
QVariant Remembered(const std::string& key) {
    if (key.empty()) return {};
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    return settings.value(FromUtf8(key));
}

void Remember(const std::string& key, const QVariant& value) {
    if (key.empty()) return;
    QSettings settings(QString::fromLatin1(kSettingsOrganisation),
                       QString::fromLatin1(kSettingsApplication));
    settings.setValue(FromUtf8(key), value);
    // A failed write is not the user's problem here: the answer is still returned.
    settings.sync();
}

template <typename T>
T RememberedNumber(const std::string& key, T fallback) {
    const QVariant stored = Remembered(key);
    if (!stored.isValid()) return fallback;
    bool ok = false;
    T value;
    if constexpr (std::is_same_v<T, float>) {
        value = stored.toFloat(&ok);
    } else if constexpr (std::is_same_v<T, double>) {
        value = stored.toDouble(&ok);
    } else {
        value = stored.toInt(&ok);
    }
    return ok ? value : fallback;
}

}  // namespace

double TextToNumber(const std::string& text) {
    // strtod in the fixed "C" locale: atof's grammar without the process locale's decimal
    // comma.
#if defined(_WIN32)
    static const _locale_t cLocale = _create_locale(LC_ALL, "C");
    return _strtod_l(text.c_str(), nullptr, cLocale);
#else
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtod_l(text.c_str(), nullptr, cLocale);
#endif
}

int RoundToInt(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::trunc(value > 0.0 ? value + 0.5 : value - 0.5);
    // Converting an out-of-range double to int is undefined; saturate instead.
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

float cDialogPrompter::PromptFloat(const std::string& prompt, const std::string& note,
                                   float defaultValue, const std::string& key) {
    const float offered = RememberedNumber(key, defaultValue);
    QString answer;
    lastCancelled = !Ask(parent_, prompt, note, FromUtf8(General(offered, 6)), answer, true);
    if (lastCancelled) return kCancelFloat;
    const float value = static_cast<float>(TextToNumber(answer.toStdString()));
    Remember(key, QVariant(value));
    return value;
}

double cDialogPrompter::PromptDouble(const std::string& prompt, const std::string& note,
                                     double defaultValue, const std::string& key) {
    const double offered = RememberedNumber(key, defaultValue);
    QString answer;
    lastCancelled = !Ask(parent_, prompt, note, FromUtf8(General(offered, 6)), answer, true);
    if (lastCancelled) return kCancelDouble;
    const double value = TextToNumber(answer.toStdString());
    Remember(key, QVariant(value));
    return value;
}

int cDialogPrompter::PromptInt(const std::string& prompt, const std::string& note, int defaultValue,
                               const std::string& key) {
    const int offered = RememberedNumber(key, defaultValue);
    QString answer;
    lastCancelled = !Ask(parent_, prompt, note, QString::number(offered), answer, true);
    if (lastCancelled) return kCancelInt;
    const int value = RoundToInt(TextToNumber(answer.toStdString()));
    Remember(key, QVariant(value));
    return value;
}

std::string cDialogPrompter::PromptString(const std::string& prompt, const std::string& note,
                                          const std::string& defaultValue, const std::string& key) {
    QString offered = FromUtf8(defaultValue);
    // A stored empty or unreadable text leaves the caller's default.
    if (const QVariant stored = Remembered(key); stored.isValid()) {
        const QString text = stored.toString();
        if (!text.isEmpty()) offered = text;
    }
    QString answer;
    lastCancelled =
        !Ask(parent_, prompt, note, CutToChars(offered, kPromptTextMaxChars), answer, false);
    if (lastCancelled) return {};
    answer = CutToChars(answer, kPromptTextMaxChars);
    // An empty answer is returned but never replaces the remembered text.
    if (!answer.isEmpty()) Remember(key, QVariant(answer));
    return answer.toStdString();
}
