// The input dialog as the user meets it through the prompter: what it shows, what typed
// answers become, and which answers are remembered across runs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <optional>
#include <string>

#include "ui/dialog_prompter.h"
#include "ui/dlg_user_input.h"
#include "ui_test_support.h"

namespace {

// What the dialog showed: title, prompt, value, note, and whether the value is right-aligned
// beside a "Note:" label.
struct Shown {
    QString title, prompt, value, note;
    bool rightAligned = false, noteLabel = false;
    bool whole = false;  // prompt and note fit their labels, wrapped where needed
};

// Once the dialog is up: records it into shown, types `typed` over the value when given and
// presses `button`. Polls 3 s for the dialog; cancels it 3 s later if still open (no hangs).
void Act(Shown* shown, std::optional<QString> typed, QString button, int triesLeft = 300) {
    auto* dialog = qobject_cast<cDlgUserInput*>(QApplication::activeModalWidget());
    if (!dialog) {
        if (triesLeft > 0)
            QTimer::singleShot(10, [=] { Act(shown, typed, button, triesLeft - 1); });
        return;
    }
    QTimer::singleShot(3000, [guard = QPointer(dialog)] {
        if (guard) guard->reject();
    });
    auto* value = dialog->findChild<QLineEdit*>("value");
    if (shown) {
        *shown = {dialog->windowTitle(),
                  dialog->findChild<QLabel*>("prompt")->text(),
                  value->text(),
                  dialog->findChild<QLabel*>("note")->text(),
                  (value->alignment() & Qt::AlignRight) != 0,
                  false};
        for (auto* label : dialog->findChildren<QLabel*>())
            shown->noteLabel |= label->text() == "Note:";
        shown->whole = true;
        for (const char* name : {"prompt", "note"}) {
            auto* label = dialog->findChild<QLabel*>(name);
            shown->whole &= label->geometry().right() < dialog->width() &&
                            label->height() >= label->heightForWidth(label->width());
        }
    }
    if (typed) {
        value->selectAll();
        QTest::keyClick(value, Qt::Key_Delete);
        QTest::keyClicks(value, *typed);
    }
    for (auto* pressed : dialog->findChildren<QPushButton*>())
        if (pressed->text() == button) return QTest::mouseClick(pressed, Qt::LeftButton);
}

void Answer(const std::string& typed) {
    QTimer::singleShot(0, [=] { Act(nullptr, QString::fromStdString(typed), "OK"); });
}
void Confirm(Shown* shown) {
    QTimer::singleShot(0, [=] { Act(shown, std::nullopt, "OK"); });
}
void Cancel(Shown* shown = nullptr) {
    QTimer::singleShot(0, [=] { Act(shown, std::nullopt, "Cancel"); });
}

class PromptTest : public ::testing::Test {
protected:
    void SetUp() override { UseFreshSettingsFolder(); }
    cDialogPrompter prompter_;
    Shown shown_;
};

TEST_F(PromptTest, DialogShowsPromptNoteAndFormattedDefaultWhole) {
    const std::string prompt =
        "Please enter the RMS power of the carrier in dBm as it is measured at the antenna "
        "connector of the transmitter under test";
    const std::string note =
        "Spectral Emission Mask Configuration: the mask limits are placed relative to this "
        "power, so an error here moves every limit line";
    Cancel(&shown_);
    prompter_.PromptDouble(prompt, note, 1228800.0, "");
    EXPECT_EQ(shown_.title, "Input Required");
    EXPECT_EQ(shown_.prompt.toStdString(), prompt);
    EXPECT_EQ(shown_.note.toStdString(), note);
    EXPECT_EQ(shown_.value, "1.2288e+06");
    EXPECT_TRUE(shown_.rightAligned && shown_.noteLabel && shown_.whole);
}

TEST_F(PromptTest, CancelReturnsTheCancelResultsAndKeepsRememberedAnswers) {
    Answer("5");
    prompter_.PromptInt("i", "", 1, "ki");
    Cancel();
    EXPECT_EQ(prompter_.PromptFloat("f", "", 1.0f, "kf"), 1e36f);
    Cancel();
    EXPECT_EQ(prompter_.PromptDouble("d", "", 1.0, "kd"), 1e36);
    Cancel();
    EXPECT_EQ(prompter_.PromptInt("i", "", 1, "ki"), 2147483647);
    Cancel();
    EXPECT_EQ(prompter_.PromptString("s", "", "x", "ks"), "");
    const QSettings settings(kSettingsOrganisation, kSettingsApplication);
    EXPECT_EQ(settings.allKeys(), QStringList{"ki"});
    EXPECT_EQ(settings.value("ki").toInt(), 5);
}

// A typed answer and what the tool receives (numbers) or the text it receives.
struct TypedCase {
    char kind;  // 'f' float, 'd' double, 'i' int, 's' text
    std::string typed;
    double number;
    std::string text = {};
};
void PrintTo(const TypedCase& c, std::ostream* os) { *os << c.kind << c.typed.substr(0, 12); }

class TypedAnswerTest : public PromptTest, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(TypedAnswerTest, ConvertsLikeTheCRuntimeInTheCLocale) {
    const TypedCase& c = GetParam();
    Answer(c.typed);
    if (c.kind == 'f') {
        // Narrowed once from the double, so "0.1" gives the float nearest 0.1.
        const float got = prompter_.PromptFloat("p", "", 3.0f, "");
        const float expected = static_cast<float>(c.number);
        EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << got;
    } else if (c.kind == 'd') {
        EXPECT_EQ(prompter_.PromptDouble("p", "", 3.0, ""), c.number);
    } else if (c.kind == 'i') {
        EXPECT_EQ(prompter_.PromptInt("p", "", 3, ""), c.number);
    } else {
        EXPECT_EQ(prompter_.PromptString("p", "", "abc", ""), c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TypedAnswerTest,
    ::testing::Values(TypedCase{'i', "2.5", 3}, TypedCase{'i', "-2.5", -3},
                      TypedCase{'i', "2.49", 2}, TypedCase{'i', "  12 ", 12},
                      TypedCase{'i', "-1e12", -2147483648.0}, TypedCase{'i', "nan", 0},
                      TypedCase{'f', "0.1", 0.1}, TypedCase{'d', "-3.25e-3", -3.25e-3},
                      TypedCase{'d', "0x10", 16}, TypedCase{'s', "RND", 0, "RND"},
                      TypedCase{'s', std::string(300, 'x'), 0, std::string(255, 'x')}));

// Text that is not a number as a whole ("2,5" would read as 2) is refused where it was typed:
// the dialog says so and stays open until a number comes.
TEST_F(PromptTest, TextThatIsNotANumberIsRefusedAndAskedAgain) {
    for (const char* typed : {"2,5", "abc", "5 MHz", ""}) {
        QString complaint;
        bool stillOpen = false;
        QTimer::singleShot(0, [&] { Act(nullptr, QString::fromLatin1(typed), "OK"); });
        QTimer::singleShot(200, [&] {
            auto* dialog = qobject_cast<cDlgUserInput*>(QApplication::activeModalWidget());
            stillOpen = dialog != nullptr;
            if (!dialog) return;
            auto* label = dialog->findChild<QLabel*>("complaint");
            if (label && label->isVisible()) complaint = label->text();
            Act(nullptr, QStringLiteral("2.5"), "OK");
        });
        EXPECT_EQ(prompter_.PromptDouble("p", "", 3.0, ""), 2.5) << typed;
        EXPECT_TRUE(stillOpen) << typed;
        EXPECT_TRUE(complaint.contains("is not a number")) << typed << complaint.toStdString();
    }
}

TEST_F(PromptTest, RememberedAnswersSurviveARestartExactly) {
    Answer("0.1");
    prompter_.PromptFloat("Level", "", -40.0f, "AddDC");
    Answer("0.1");
    prompter_.PromptDouble("Shift", "", 7.68, "Freq_Shift");
    Answer("4");
    prompter_.PromptInt("Factor", "", 2, "Upsample");
    Answer("@Variant, 1");  // text an INI file would otherwise read as a list or a typed value
    prompter_.PromptString("Label", "", "RND", "Label");

    RestartSettings();
    cDialogPrompter restarted;
    Confirm(&shown_);
    EXPECT_EQ(restarted.PromptFloat("Level", "", -40.0f, "AddDC"), 0.1f);
    EXPECT_EQ(shown_.value, "0.1");
    Confirm(&shown_);
    EXPECT_EQ(restarted.PromptDouble("Shift", "", 7.68, "Freq_Shift"), 0.1);
    Confirm(&shown_);  // another prompt sharing the key
    EXPECT_EQ(restarted.PromptInt("Interpolation factor", "", 8, "Upsample"), 4);
    EXPECT_EQ(shown_.value, "4");
    Confirm(&shown_);
    EXPECT_EQ(restarted.PromptString("Label", "", "RND", "Label"), "@Variant, 1");
}

TEST_F(PromptTest, EmptyKeyAlwaysOffersTheCallersDefaultAndStoresNothing) {
    Answer("-3");
    EXPECT_EQ(prompter_.PromptFloat("Level", "", -12.0f, ""), -3.0f);
    Cancel(&shown_);
    prompter_.PromptFloat("Level", "", -12.0f, "");
    EXPECT_EQ(shown_.value, "-12");
    EXPECT_TRUE(QSettings(kSettingsOrganisation, kSettingsApplication).allKeys().isEmpty());
}

}  // namespace
