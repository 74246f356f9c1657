// The writer: exact bytes of each type, round trips through the reader, the instrument header,
// table formats, failures that leave an existing file alone, and number texts against printf.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

#include "test_signals.h"
#include "unprivileged.h"
#include "waveform/fast_file.h"
#include "waveform/file_messages.h"
#include "waveform/number_format.h"
#include "waveform/waveform.h"
#include "waveform/waveform_writer.h"

namespace {

namespace fs = std::filesystem;

class Writer : public FolderTest {
protected:
    // Everything in the folder: a failed save must leave no temporary file behind.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        return names;
    }
};

cWaveform Samples(std::initializer_list<std::pair<float, float>> values) {
    cWaveform w;
    w.AllocateScratch(static_cast<int>(values.size()));
    int k = 0;
    for (auto [i, q] : values) {
        w.scratchI[k] = i;
        w.scratchQ[k++] = q;
    }
    w.SwapScratch();
    return w;
}

std::string Saved(cWaveform& w, int type, const std::string& path) {
    w.fileType = type;
    EXPECT_EQ(w.SaveFile(path), 1) << type;
    return Slurp(path);
}

TEST_F(Writer, ExactBytesOfEachType) {
    cWaveform w = Samples({{1.0f, -1.0f}});
    EXPECT_EQ(Saved(w, 405, Path("a")), std::string("\x7f\xff\x80\x01", 4));
    EXPECT_EQ(Saved(w, 404, Path("a")), std::string("\xff\xff\x00\x01", 4));
    EXPECT_EQ(Saved(w, 406, Path("a")), std::string("\xff\xff\x01\x00", 4));
    EXPECT_EQ(Saved(w, 410, Path("a")), std::string("\x7f\xff", 2));
    EXPECT_EQ(Saved(w, 408, Path("a")), std::string("\x00\x01\xff\xff\xff\xfe\x00\x01", 8));
    cWaveform half = Samples({{0.5f, -0.25f}});
    EXPECT_EQ(Saved(half, 407, Path("a")).substr(0, 2),
              std::string("\x00\x40", 2));  // 16383.5 + 0.5
    EXPECT_EQ(Saved(half, 401, Path("a")), "+5.000000e-01,-2.500000e-01\r\n");
    EXPECT_EQ(Saved(half, 400, Path("a")), "+5.000000e-01\r\n-2.500000e-01\r\n");
    EXPECT_EQ(Saved(half, 402, Path("a")), "16384 -8192\n");  // -8191.75 - 0.5 truncates to -8192
    cWaveform lsb = Samples({{-1.0f / 32767.0f, 1.0f}});
    EXPECT_EQ(Saved(lsb, 403, Path("a")), "0xffff,0x7fff\r\n");
    // Beyond full scale the 16-bit types wrap (1.5 * 32767 = 49150.5 -> 49151 = 0xBFFF).
    cWaveform over = Samples({{1.5f, 0.0f}});
    EXPECT_EQ(Saved(over, 405, Path("a")).substr(0, 2), std::string("\xbf\xff", 2));
    EXPECT_EQ(Saved(over, 402, Path("a")), "-16385 0\n");
}

TEST_F(Writer, ExactBytesOfTheCaptureTypes) {
    // cf32: the singles as they are, little-endian, NaN and all.
    cWaveform f = Samples({{0.5f, -2.0f}, {1.4e-45f, std::numeric_limits<float>::quiet_NaN()}});
    EXPECT_EQ(Saved(f, 420, Path("a.cf32")),
              std::string("\0\0\0\x3f\0\0\0\xc0\x01\0\0\0\0\0\xc0\x7f", 16));
    // The 8-bit types saturate instead of wrapping, and write NaN as zero.
    cWaveform w = Samples({{1.0f, -1.0f},
                           {1.5f, -1.5f},
                           {0.0f, std::numeric_limits<float>::quiet_NaN()},
                           {0.6f / 127.0f, -std::numeric_limits<float>::infinity()}});
    EXPECT_EQ(Saved(w, 421, Path("a.cs8")), std::string("\x7f\x81\x7f\x80\0\0\x01\x80", 8));
    // cu8: 127.5 + 127.5x, half away from zero: 0 is 128.
    EXPECT_EQ(Saved(w, 422, Path("a.cu8")), std::string("\xff\0\xff\0\x80\x80\x80\0", 8));
    // cf64: each single widened exactly (0.5 and -2 as doubles).
    cWaveform d = Samples({{0.5f, -2.0f}});
    EXPECT_EQ(Saved(d, 428, Path("a.cf64")),
              std::string("\0\0\0\0\0\0\xe0\x3f\0\0\0\0\0\0\0\xc0", 16));
    // ci32 saturates too: 1 and -1 at +-(2^31 - 1), beyond full scale and infinities at the
    // ends of the word, NaN 0, half away from zero (0.6 / (2^31 - 1) is 1).
    cWaveform c = Samples({{1.0f, -1.0f},
                           {1.5f, -1.5f},
                           {0.0f, std::numeric_limits<float>::quiet_NaN()},
                           {float(0.6 / 2147483647.0), -std::numeric_limits<float>::infinity()}});
    EXPECT_EQ(Saved(c, 429, Path("a.ci32")),
              std::string("\xff\xff\xff\x7f\x01\0\0\x80\xff\xff\xff\x7f\0\0\0\x80"
                          "\0\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\x80",
                          32));
}

struct RoundTrip {
    int type;
    double tolerance;  // after the first pass; the second pass must be exact
    bool real;
};

class WriterRoundTrip : public Writer, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(WriterRoundTrip, ReadsBackWithinTheQuantisationStep) {
    const RoundTrip c = GetParam();
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    cWaveform w;
    const int n = 3000;
    w.AllocateScratch(n);
    for (int k = 0; k < n; ++k) {
        // Some samples near zero so the CPRI exponent varies.
        const float scale = (k % 3 == 0) ? 0.01f : 1.0f;
        w.scratchI[k] = u(rng) * scale;
        w.scratchQ[k] = u(rng) * scale;
    }
    w.SwapScratch();
    w.fileType = c.type;
    ASSERT_EQ(w.SaveFile(Path("rt.bin")), 1);
    cWaveform r;
    r.fileType = c.type;
    ASSERT_EQ(r.LoadFile(Path("rt.bin"), false), 0);
    ASSERT_EQ(r.sampleCount, n);
    for (int k = 0; k < n; ++k) {
        double tol = c.tolerance;
        if (c.type == 418)  // 13-bit mantissas under a shared exponent
            tol = std::max(std::fabs(w.I[k]), std::fabs(w.Q[k])) / 4000.0 + std::ldexp(1.0, -20);
        ASSERT_NEAR(r.I[k], w.I[k], tol) << k;
        ASSERT_NEAR(r.Q[k], c.real ? 0.0f : w.Q[k], c.real ? 0.0 : tol) << k;
    }
    // Quantised values survive a second pass unchanged.
    ASSERT_EQ(r.SaveFile(Path("rt2.bin")), 1);
    cWaveform r2;
    r2.fileType = c.type;
    ASSERT_EQ(r2.LoadFile(Path("rt2.bin"), false), 0);
    if (c.type == 400 || c.type == 401) return;  // decimal text is not idempotent in float
    for (int k = 0; k < n; ++k) {
        ASSERT_EQ(r2.I[k], r.I[k]) << k;
        ASSERT_EQ(r2.Q[k], r.Q[k]) << k;
    }
}

constexpr double kStep16 = 0.5 / 32767 + 1e-9;
INSTANTIATE_TEST_SUITE_P(
    Types, WriterRoundTrip,
    ::testing::Values(RoundTrip{404, kStep16, false}, RoundTrip{405, kStep16, false},
                      RoundTrip{406, kStep16, false}, RoundTrip{407, kStep16, false},
                      RoundTrip{408, 0.5 / 131071 + 1e-9, false}, RoundTrip{409, kStep16, true},
                      RoundTrip{410, kStep16, true}, RoundTrip{411, kStep16, true},
                      RoundTrip{412, kStep16, true}, RoundTrip{402, kStep16, false},
                      RoundTrip{403, kStep16, false}, RoundTrip{400, 1e-6, false},
                      RoundTrip{401, 1e-6, false}, RoundTrip{418, 0, false},
                      RoundTrip{420, 0, false}, RoundTrip{421, 0.5 / 127 + 1e-9, false},
                      RoundTrip{422, 0.5 / 127.5 + 1e-9, false}, RoundTrip{428, 0, false},
                      RoundTrip{429, 1e-7, false}));

TEST(Cpri, ExponentKeepsTheMostMantissaBitsAndDecodesBack) {
    uint16_t wi, wq;
    EncodeCpri(-1.0f, 0.0f, wi, wq);  // -4096 * 2^7 * 2^-19
    EXPECT_EQ(wi, 0xC000 | (0x1000 << 1));
    EncodeCpri(std::ldexp(3.0f, -19), std::ldexp(-5.0f, -19), wi, wq);  // fits at e = 0
    EXPECT_EQ(wi, 3 << 1);
    EXPECT_EQ(wq, (0x1FFB << 1));
    EncodeCpri(0.25f, std::ldexp(1.0f, -12), wi, wq);  // the larger value sets e = 6 for both
    EXPECT_EQ((wi >> 14) & 1, 0);
    EXPECT_EQ((wi >> 15) & 1, 1);
    EXPECT_EQ((wq >> 14) & 1, 1);
    EncodeCpri(3.0f, -3.0f, wi, wq);  // beyond full scale saturates
    EXPECT_EQ((wi >> 1) & 0x1FFF, 0x0FFF);
    EXPECT_EQ((wq >> 1) & 0x1FFF, 0x1000);
}

TEST_F(Writer, InstrumentCsvHeaderThenPairLines) {
    cWaveform w = Samples({{0.5f, -0.25f}, {0.0f, 1.0f}});
    w.sampleRate = 30'720'000;
    w.centreFrequencyKHz = 1'800'000.0;
    w.inputRange = 0.5;
    const std::string text = Saved(w, 399, Path("inst.csv"));
    char xdelta[64], fmax[64], fmin[64];
    std::snprintf(xdelta, sizeof xdelta, "%.14g", 1.0 / 30'720'000);
    std::snprintf(fmax, sizeof fmax, "%g", 1.8e9 + 15'360'000);
    std::snprintf(fmin, sizeof fmin, "%g", 1.8e9 - 15'360'000);
    const std::string head =
        std::string("InputZoom,TRUE\r\nInputCenter,1.8e+09\r\nInputRange,0.5000000000\r\n") +
        "InputRefImped,50.0\r\nXStart,0.0\r\nXDelta," + xdelta + "\r\nXDomain,2\r\nXUnit,Sec\r\n" +
        "YUnit,V\r\nFreqValidMax," + fmax + "\r\nFreqValidMin," + fmin + "\r\nTimeString,";
    ASSERT_EQ(text.substr(0, head.size()), head);
    const size_t y = text.find("\r\nY\r\n");
    ASSERT_NE(y, std::string::npos);
    EXPECT_LE(text.find("TimeString,"), y);
    EXPECT_EQ(text.substr(y + 5), "+5.000000e-01,-2.500000e-01\r\n+0.000000e+00,+1.000000e+00\r\n");
    // 61.44 MHz is the one rate whose valid band is +-30 MHz.
    const std::string special = BuildInstrumentHeader(61'440'000, 0.0, 1.0, 0);
    EXPECT_NE(special.find("FreqValidMax,3e+07\r\nFreqValidMin,-3e+07\r\n"), std::string::npos);
}

TEST_F(Writer, TableFormats) {
    cWaveform w = Samples({{2.5e6f, 1.256f}, {0.0f, 7.0f}, {-1.0e6f, -0.004f}});
    EXPECT_EQ(Saved(w, 40111, Path("t")), "2.500,1.26\n0.000,7.00\n-1.000,-0.00\n");
    EXPECT_EQ(Saved(w, 40114, Path("t")), "2.5000,1.26\n0.0000,7.00\n-1.0000,-0.00\n");
    EXPECT_EQ(Saved(w, 40113, Path("t")), "2500000000,1256\n-1000000000,-4\n");  // I = 0 skipped
    w.EnsureSpectrum(false);
    const std::string spec3 = Saved(w, 40112, Path("t"));
    char first[64];
    std::snprintf(first, sizeof first, "2.500,1.26,%.2f\n", w.spectrum[0]);
    EXPECT_EQ(spec3.substr(0, std::strlen(first)), first);
}

TEST_F(Writer, RefusedSavesLeaveTheExistingFile) {
    const std::string target = Path("keep.bin");
    std::ofstream(target) << "precious";
    cWaveform w = Samples({{0.1f, 0.2f}});
    SaveFailure why;
    for (int type : {419, 999, 0}) {
        w.fileType = type;
        EXPECT_EQ(w.SaveFile(target, &why), 0);
        EXPECT_EQ(why, SaveFailure::NoEncoder);
    }
    w.fileType = 40112;  // no spectrum buffer
    EXPECT_EQ(w.SaveFile(target, &why), 0);
    EXPECT_EQ(why, SaveFailure::NoSpectrumBuffer);
    EXPECT_EQ(Slurp(target), "precious");
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.bin"});
    w.fileType = 405;
    EXPECT_EQ(w.SaveFile(Path("no/such/folder/x.bin"), &why), 0);
    EXPECT_EQ(why, SaveFailure::CannotCreate);
    EXPECT_NE(w.title, Path("no/such/folder/x.bin"));
}

TEST_F(Writer, AFailingWriteReportsFailureAndKeepsTheOldFile) {
    // The child may write only 100 kB per file: the save runs out part-way, like a full disk.
    const std::string target = Path("old.bin");
    std::ofstream(target) << "old contents";
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            100'000, 100'000
        };
        setrlimit(RLIMIT_FSIZE, &limit);
        cWaveform w = SignalWave(1'000'000, kDefaultSampleRateHz,
                                 [](int) { return std::complex<double>(0.25, -0.25); });
        w.fileType = 405;
        SaveFailure why = SaveFailure::None;
        const int result = w.SaveFile(target, &why);
        _exit(result == 0 && why == SaveFailure::WriteFailed && w.SaveErrno() == EFBIG ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "SaveFile did not report the failed write";
    EXPECT_EQ(Slurp(target), "old contents");
    EXPECT_EQ(Entries(), std::vector<std::string>{"old.bin"});
}

TEST_F(Writer, ReplacesThroughLinksAndKeepsPermissions) {
    const std::string real = Path("real.bin"), link = Path("link.bin");
    std::ofstream(real) << "x";
    chmod(real.c_str(), 0640);
    fs::create_symlink(real, link);
    cWaveform w = Samples({{0.5f, 0.5f}});
    w.fileType = 405;
    ASSERT_EQ(w.SaveFile(link), 1);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(real).size(), 4u);
    struct stat st {};
    stat(real.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(w.title, link);
}

TEST_F(Writer, ADanglingLinkIsKept) {
    // cp refuses to write through such a link; replacing it by a file would lose where it led.
    const std::string link = Path("dangling.bin");
    fs::create_symlink(Path("gone/target.bin"), link);
    cWaveform w = Samples({{0.5f, 0.5f}});
    w.fileType = 405;
    SaveFailure why = SaveFailure::None;
    EXPECT_EQ(w.SaveFile(link, &why), 0);
    EXPECT_EQ(why, SaveFailure::DanglingLink);
    EXPECT_EQ(WriteWholeFile(link, "x", 1), SaveFailure::DanglingLink);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Entries(), std::vector<std::string>{"dangling.bin"});
}

TEST_F(Writer, SpecialFilesAreNeverReplaced) {
    std::vector<std::string> targets = {Path("fifo"), Path("folder"), Path("to_fifo")};
    ASSERT_EQ(mkfifo(targets[0].c_str(), 0666), 0);
    fs::create_directory(targets[1]);
    fs::create_symlink(targets[0], targets[2]);
    // A device node needs privileges (and a container that grants them).
    if (mknod(Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        targets.push_back(Path("null"));
    cWaveform w = Samples({{0.5f, 0.5f}});
    for (int type : {405, 401}) {
        w.fileType = type;
        for (const std::string& target : targets) {
            SaveFailure why = SaveFailure::None;
            EXPECT_EQ(w.SaveFile(target, &why), 0) << target;
            EXPECT_EQ(why, SaveFailure::NotRegularFile) << target;
        }
    }
    EXPECT_TRUE(fs::is_fifo(targets[0]));
    EXPECT_TRUE(fs::is_directory(targets[1]));
    EXPECT_TRUE(fs::is_symlink(targets[2]));
    if (targets.size() > 3) {
        EXPECT_TRUE(fs::is_character_file(targets[3]));
    }
    EXPECT_EQ(Entries().size(), targets.size());  // no temporary file left
    EXPECT_EQ(WriteWholeFile(targets[0], "x", 1), SaveFailure::NotRegularFile);
}

TEST_F(Writer, WriteProtectedFilesAreRefusedAndReadOnlyFoldersRewriteInPlace) {
    // The folder allows new files, so only the file's own mode can refuse the save.
    const std::string locked = Path("locked.bin"), open = Path("open.bin");
    std::ofstream(locked) << "precious";
    std::ofstream(open) << "a longer old content than the new one";
    chmod(locked.c_str(), 0444);
    chmod(open.c_str(), 0666);
    chmod(dir_.c_str(), 0777);
    const int refused = RunUnprivileged([&] {
        cWaveform w = Samples({{0.5f, -0.5f}});
        w.fileType = 405;
        SaveFailure why = SaveFailure::None;
        return w.SaveFile(locked, &why) == 0 && why == SaveFailure::NotWritable &&
                       SaveFailureText(why, w.SaveErrno(), "f") ==
                           "f is write-protected (Permission denied); it was left as it is"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(Slurp(locked), "precious");

    // Now the folder takes no new file: the writable file is rewritten where it is, and cut
    // to its new length; a new file cannot be made there.
    chmod(dir_.c_str(), 0555);
    const int inPlace = RunUnprivileged([&] {
        cWaveform w = Samples({{0.5f, -0.5f}});
        w.fileType = 405;
        SaveFailure why = SaveFailure::None;
        if (w.SaveFile(open, &why) != 1) return 1;
        if (w.SaveFile(Path("new.bin"), &why) != 0 || why != SaveFailure::CannotCreate) return 2;
        return WriteWholeFile(open, "png", 3) == SaveFailure::None ? 0 : 3;
    });
    EXPECT_EQ(inPlace, 0);
    EXPECT_EQ(Slurp(open), "png");

    // A disk that cannot hold the new text (a file size limit stands in for a full one):
    // refused before the first old byte is overwritten.
    const std::string old(262'144, 'o');
    std::ofstream(open, std::ios::trunc) << old;
    const int full = RunUnprivileged([&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            300'000, 300'000
        };
        setrlimit(RLIMIT_FSIZE, &limit);
        cWaveform w = SignalWave(20'000, kDefaultSampleRateHz, [](int) { return 0.25; });
        w.fileType = 401;
        SaveFailure why = SaveFailure::None;
        return w.SaveFile(open, &why) == 0 && why == SaveFailure::WriteFailed ? 0 : 1;
    });
    chmod(dir_.c_str(), 0755);
    EXPECT_EQ(full, 0);
    EXPECT_TRUE(Slurp(open) == old);
    EXPECT_EQ(Entries().size(), 2u);
}

TEST_F(Writer, RootSavingAnotherUsersFileKeepsItsOwnerAndGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can save over another user's file";
    const std::string target = Path("theirs.bin");
    std::ofstream(target) << "old";
    ASSERT_EQ(chown(target.c_str(), kNobodyId, kNobodyId), 0);
    chmod(target.c_str(), 0604);
    cWaveform w = Samples({{0.5f, -0.5f}});
    w.fileType = 405;
    ASSERT_EQ(w.SaveFile(target), 1);
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobodyId);
    EXPECT_EQ(st.st_gid, kNobodyId);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(Slurp(target).size(), 4u);
}

// Text types never write "inf" or "nan"; an infinity reads back as 1e38.
class TextNonFinite : public Writer, public ::testing::WithParamInterface<int> {};

TEST_P(TextNonFinite, InfinitiesAreCappedAndNanIsZero) {
    const float inf = std::numeric_limits<float>::infinity();
    cWaveform w = Samples({{inf, -inf}, {std::nanf(""), 0.5f}, {0.25f, inf}});
    w.spectrum.assign(16, inf);
    std::string text = Saved(w, GetParam(), Path("t.txt"));
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(text.find("inf"), std::string::npos) << text;
    EXPECT_EQ(text.find("nan"), std::string::npos) << text;
    if (GetParam() != 401 && GetParam() != 400) return;
    cWaveform back;
    back.fileType = GetParam();
    ASSERT_EQ(back.LoadFile(Path("t.txt"), false), 0);
    ASSERT_EQ(back.sampleCount, 3);
    EXPECT_FLOAT_EQ(back.I[0], 1e38f);
    EXPECT_FLOAT_EQ(back.Q[0], -1e38f);
    EXPECT_EQ(back.I[1], 0.0f);
    EXPECT_FLOAT_EQ(back.Q[2], 1e38f);
}

INSTANTIATE_TEST_SUITE_P(Types, TextNonFinite,
                         ::testing::Values(399, 400, 401, 40111, 40112, 40113, 40114));

TEST_F(Writer, FastFileWritesInBlocksOfAtLeast4096Bytes) {
    const std::string path = Path("ff");
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    CFastFile f(fd);
    const std::string chunk(4095, 'a');
    f.Write(chunk.data(), chunk.size());
    EXPECT_EQ(fs::file_size(path), 0u);  // still buffered
    f.Write("b", 1);
    EXPECT_EQ(fs::file_size(path), 4096u);  // the threshold is reached: written out
    f.Write("cc", 2);
    const std::string big(5000, 'd');
    f.Write(big.data(), big.size());  // pending bytes first, then the large block directly
    EXPECT_EQ(fs::file_size(path), 4096u + 2 + 5000);
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(Slurp(path).substr(4096, 3), "ccd");
}

TEST(NumberFormat, MatchesPrintfForms) {
    std::mt19937 rng(13);
    std::uniform_int_distribution<uint32_t> bits;
    char a[128], b[128];
    for (int k = 0; k < 200000; ++k) {
        uint32_t u = bits(rng);
        float f;
        std::memcpy(&f, &u, sizeof f);  // every float pattern: denormals, inf, nan included
        if (std::isnan(f)) f = std::copysign(NAN, f);  // printf prints any NaN payload alike
        const double v = f;
        std::snprintf(a, sizeof a, "%+.6e", v);
        ASSERT_EQ(std::string(b, FormatSignedExp6(v, b)), a) << u;
        if (std::fabs(v) < 1e15 || !std::isfinite(v)) {
            std::snprintf(a, sizeof a, "%.3f", v);
            ASSERT_EQ(std::string(b, FormatFixed(v, 3, b)), a) << u;
        }
        std::snprintf(a, sizeof a, "%g", v);
        ASSERT_EQ(std::string(b, FormatGeneral(v, 6, b)), a) << u;
        std::snprintf(a, sizeof a, "%.14g", v);
        ASSERT_EQ(std::string(b, FormatGeneral(v, 14, b)), a) << u;
    }
    EXPECT_EQ(SignedExp6(-0.0), "-0.000000e+00");
    EXPECT_EQ(SignedExp6(0.0), "+0.000000e+00");
}

TEST(NumberFormat, ExportNumbers) {
    char buf[64];
    auto fmt = [&](double v, int p) { return std::string(buf, FormatExportNumber(v, p, buf)); };
    EXPECT_EQ(fmt(1234.5, 1), "1234.5");
    EXPECT_EQ(fmt(-0.125, 2), "-0.12");  // exact half, even digit: stays
    EXPECT_EQ(fmt(-0.375, 2), "-0.38");  // exact half, odd digit: up
    EXPECT_EQ(fmt(0.05, 1), "0.1");      // t = 0.5 exactly with F = 0: up
    EXPECT_EQ(fmt(0.25, 1), "0.2");
    EXPECT_EQ(fmt(9.96, 1), "10.0");  // the fraction carries into the integer part
    EXPECT_EQ(fmt(-120.0, 2), "-120.00");
    EXPECT_EQ(fmt(3.007, 2), "3.01");
    EXPECT_EQ(fmt(2147483647.0, 1), "2147483647.0");
    EXPECT_EQ(fmt(1e10, 1), "1.000000e+10");
    EXPECT_EQ(fmt(-1e10, 2), "-1.000000e+10");
    EXPECT_EQ(fmt(NAN, 2), "nan");
    EXPECT_EQ(fmt(0.123456789012, 12), "0.123456789");  // at most nine decimals
}

}  // namespace
