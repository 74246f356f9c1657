// Stored settings read from damaged files, and the command line.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QSettings>
#include <filesystem>
#include <fstream>

#include "app/app_settings.h"
#include "app/command_line.h"

namespace {

namespace fs = std::filesystem;

class Settings : public ::testing::Test {
protected:
    std::string path_ =
        ::testing::TempDir() + "qrvn_settings_" + std::to_string(::getpid()) + ".conf";
    void TearDown() override { fs::remove(path_); }
    AppSettings ReadFile(const std::string& content) {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << content;
        QSettings store(QString::fromStdString(path_), QSettings::IniFormat);
        return ReadAppSettings(store);
    }
};

TEST_F(Settings, MissingOrDamagedValuesGiveDefaults) {
    const AppSettings defaults;
    AppSettings s = ReadFile("");
    EXPECT_EQ(s.fileType, 405);
    EXPECT_EQ(s.sampleRateHz, 491'520'000);
    EXPECT_EQ(s.fftSize, 16384);
    EXPECT_EQ(s.lteDuplex, 40106);
    EXPECT_FALSE(s.waveformFolder || s.installPath);

    s = ReadFile(
        "[General]\nFiletype=abc\nFs=-5\nFFTSize=1000\nLTEDuplex=999999999\nWaveform_Folder=ab\n"
        "InstallPath=" +
        std::string(300, 'x') + "\n");
    EXPECT_EQ(s.fileType, defaults.fileType);
    EXPECT_EQ(s.sampleRateHz, kReplacementSampleRateHz);  // a negative rate is replaced
    EXPECT_EQ(s.fftSize, defaults.fftSize);               // not a power of two in range
    EXPECT_EQ(s.lteDuplex, defaults.lteDuplex);
    EXPECT_FALSE(s.waveformFolder);  // shorter than 3 characters
    EXPECT_FALSE(s.installPath);     // 255 characters or more

    s = ReadFile("[General]\nFs=0\nFFTSize=65536\nInstallPath=/opt/q\nWaveform_Folder=a, b\n");
    EXPECT_EQ(s.sampleRateHz, kReplacementSampleRateHz);  // a zero rate would divide by zero
    EXPECT_EQ(s.fftSize, 65536);
    EXPECT_EQ(s.installPath.value_or(""), "/opt/q");
    EXPECT_FALSE(s.waveformFolder);  // read back as a list, not a text

    // Only file types the program reads count: others, write-only ones too, would fail every
    // open.
    for (const auto& [stored, expected] :
         {std::pair{"999", 405}, std::pair{"-3", 405}, std::pair{"4294967701", 405},
          std::pair{"401", 401}, std::pair{"40111", 405}, std::pair{"421", 421}}) {
        s = ReadFile(std::string("[General]\nFiletype=") + stored + "\n");
        EXPECT_EQ(s.fileType, expected) << stored;
    }

    static const char kJunk[] = "\x00\xff\x13garbage[[[\n=\n\x7f";
    s = ReadFile(std::string(kJunk, sizeof kJunk - 1));
    EXPECT_EQ(s.fftSize, defaults.fftSize);
}

TEST_F(Settings, WrittenValuesReadBackWithTheirTypes) {
    {
        QSettings store(QString::fromStdString(path_), QSettings::IniFormat);
        AppSettings s;
        s.fileType = 419;
        s.sampleRateHz = 5'000'000'000;  // above 32 bits
        s.fftSize = 524288;
        s.lteDuplex = 40144;
        WriteAppSettings(store, s);
        WriteWaveformFolder(store, "/data/captures/");
        WriteWaveformFolder(store, std::string(300, 'y'));  // not written
    }
    QSettings store(QString::fromStdString(path_), QSettings::IniFormat);
    const AppSettings s = ReadAppSettings(store);
    EXPECT_EQ(s.fileType, 419);
    EXPECT_EQ(s.sampleRateHz, 5'000'000'000);
    EXPECT_EQ(s.fftSize, 524288);
    EXPECT_EQ(s.lteDuplex, 40144);
    EXPECT_EQ(s.waveformFolder.value_or(""), "/data/captures/");
}

TEST(CommandLine, OptionsInOrder) {
    EXPECT_TRUE(ParseCommandLine({}).newWaveform);
    CommandLine c = ParseCommandLine({"-t", "16BBE2S", "-f", "a.bin", "-t", "CPRI_ManExp"});
    ASSERT_EQ(c.actions.size(), 3u);
    EXPECT_FALSE(c.newWaveform);
    EXPECT_EQ(c.actions[0].kind, CommandLineAction::SetFileType);
    EXPECT_EQ(c.actions[0].value, 405);
    EXPECT_EQ(c.actions[1].kind, CommandLineAction::OpenFile);
    EXPECT_EQ(c.actions[1].path, "a.bin");
    EXPECT_EQ(c.actions[2].value, 418);  // after the file: too late for it

    c = ParseCommandLine({"-x", "1", "-b", "20", "-m", "FRCA3", "-d", "TDD14", "-d", "tdd14",
                          "-type", "16BBE2S", "-f"});
    ASSERT_EQ(c.actions.size(), 4u);
    EXPECT_EQ(c.actions[0].value, 20);
    EXPECT_EQ(c.actions[1].value, 0xA3);
    EXPECT_EQ(c.actions[2].value, 40144);  // "tdd14": values match exactly, case included
    EXPECT_EQ(c.actions[3].value, 405);    // only the second character selects the option

    // A bare path opens in its place among the options; an option's value is not a path.
    c = ParseCommandLine({"-t", "16BBE2S", "cap.bin", "-f", "b.bin", "", "c.bin"});
    ASSERT_EQ(c.actions.size(), 4u);
    EXPECT_EQ(c.actions[1].kind, CommandLineAction::OpenFile);
    EXPECT_EQ(c.actions[1].path, "cap.bin");
    EXPECT_EQ(c.actions[2].path, "b.bin");
    EXPECT_EQ(c.actions[3].path, "c.bin");
    EXPECT_FALSE(ParseCommandLine({"-f"}).newWaveform);  // an argument, though nothing to do
}

TEST(CommandLine, RelativePaths) {
    EXPECT_EQ(ResolveOpenPath("/abs/a.bin", "/opt/q", "/home/u"), "/abs/a.bin");
    EXPECT_EQ(ResolveOpenPath("data/a.bin", "/opt/q", "/home/u"), "/opt/q/data/a.bin");
    EXPECT_EQ(ResolveOpenPath("data/a.bin", "", "/home/u/"), "/home/u/data/a.bin");
}

}  // namespace
