// One QApplication for all widget tests, made in SetUp (listing tests needs none), with the
// user settings redirected into temporary folders before anything reads them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <list>
#include <memory>

#include "ui/dialog_prompter.h"
#include "ui_test_support.h"

namespace {

std::list<QTemporaryDir> g_settingsFolders;

QString SettingsFile(const QString& folder) {
    return QStringLiteral("%1/%2/%3.conf").arg(folder, kSettingsOrganisation, kSettingsApplication);
}

class QtAppEnvironment : public ::testing::Environment {
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        UseFreshSettingsFolder();
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override {
        app_.reset();
        g_settingsFolders.clear();
    }

    int argc_ = 1;
    char name_[9] = "ui_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

}  // namespace

QString UseFreshSettingsFolder() {
    const QString folder = g_settingsFolders.emplace_back().path();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, folder + "/system");
    return folder;
}

void RestartSettings() {
    const QString oldFile = SettingsFile(g_settingsFolders.back().path());
    const QString newFile = SettingsFile(UseFreshSettingsFolder());
    QDir().mkpath(QFileInfo(newFile).path());
    QFile::copy(oldFile, newFile);
}
