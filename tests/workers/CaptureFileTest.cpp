#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "protocols/CaptureReader.h"
#include "workers/CaptureFile.h"

namespace {

using workers::CaptureTime;
using workers::kCaptureBytes;

std::array<std::uint8_t, kCaptureBytes> Frames(int firstMarked) {
    std::array<std::uint8_t, kCaptureBytes> f{};
    for (int k = 0; k < 600; ++k) {
        std::uint8_t* frame = f.data() + k * 15;
        frame[0] = 0x36;
        frame[1] = (firstMarked >= 0 && k >= firstMarked) ? (k == firstMarked ? 0x00 : 0x05) : 0x05;
        for (int i = 2; i < 15; ++i) frame[i] = static_cast<std::uint8_t>(k * 7 + i);
    }
    return f;
}

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Builds the expected text independently: line by line.
std::string Expected(const std::array<std::uint8_t, kCaptureBytes>& f, const CaptureTime& t, int firstMarked) {
    std::string out;
    char line[128];
    std::snprintf(line, sizeof line, "%u.%u.%u %u:%u\r\n", t.day, t.month, t.year, t.hour, t.minute);
    out += line;
    for (int k = 0; k < 600; ++k) {
        for (int i = 0; i < 15; ++i) {
            std::snprintf(line, sizeof line, "%.2X ", f[k * 15 + i]);
            out += line;
        }
        out += ";" + std::to_string(k) + "\r\n";
    }
    out += "--\xC4\xEE\xEF-------------------\r\n";
    if (firstMarked < 0) return out;
    int n = 0;
    for (int k = firstMarked; k < 600; ++k) {
        std::snprintf(line, sizeof line, "%.2X,", f[k * 15 + 13]);
        out += line;
        if (++n % 16 == 0) out += "\r\n";
    }
    return out;
}

const CaptureTime kTime{2021, 3, 5, 9, 7};

TEST(CaptureFile, NameAndHeaderFollowTheLocalTime) {
    EXPECT_EQ(workers::CaptureFileName(kTime), "km03050907.txt");
    EXPECT_EQ(workers::CaptureFileName({2026, 12, 31, 23, 59}), "km12312359.txt");
    const auto f = Frames(0);
    const std::string text = workers::CaptureFileText(f, kTime);
    EXPECT_EQ(text.substr(0, 14), "5.3.2021 9:7\r\n");
}

TEST(CaptureFile, TextMatchesTheFormatForEveryKeySectionStart) {
    for (int first : {0, 2, 8, 599, -1}) {
        SCOPED_TRACE(first);
        const auto f = Frames(first);
        EXPECT_EQ(workers::CaptureFileText(f, kTime), Expected(f, kTime, first));
    }
}

TEST(CaptureFile, KeySectionLineShapes) {
    // From frame 0: 600 values, 37 full lines and a last line of 8 without a line end.
    std::string text = workers::CaptureFileText(Frames(0), kTime);
    std::string keys = text.substr(text.find("---\r\n") + 5);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), ','), 600);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), '\n'), 37);
    EXPECT_EQ(text.back(), ',');
    // From frame 8: 592 values, 37 full lines, the file ends with CR LF.
    text = workers::CaptureFileText(Frames(8), kTime);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    // No marked frame: the file ends with the separator line.
    text = workers::CaptureFileText(Frames(-1), kTime);
    EXPECT_EQ(text.substr(text.size() - 26), "--\xC4\xEE\xEF-------------------\r\n");
}

// Every byte value in every position, whatever the key section's shape.
TEST(CaptureFile, ReadsBackToTheSameFramesAndTime) {
    for (int first : {0, 8, 599, -1}) {
        SCOPED_TRACE(first);
        auto frames = Frames(first);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (i % 15 != 1) frames[i] = static_cast<std::uint8_t>(i * 11 + static_cast<std::size_t>(first));
        }
        const protocols::CaptureReadResult read = protocols::ReadCaptureFile(workers::CaptureFileText(frames, kTime));
        ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->message;
        ASSERT_EQ(read.frames.size(), 600u);
        for (std::size_t k = 0; k < 600; ++k) {
            ASSERT_TRUE(std::equal(read.frames[k].begin(), read.frames[k].end(), frames.begin() + k * 15)) << k;
        }
        EXPECT_EQ(read.time, (protocols::WallTime{2021, 3, 5, 9, 7, 0, 0}));
    }
}

class CaptureDir : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zonter-capture-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override {
        chmod(dir_.c_str(), 0700);
        std::filesystem::remove_all(dir_);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string dir_;
};

TEST_F(CaptureDir, SameMinuteNeverReplacesAnEarlierCapture) {
    const auto a = workers::WriteCaptureFile(dir_, "km03050907.txt", "first");
    const auto b = workers::WriteCaptureFile(dir_, "km03050907.txt", "second");
    const auto c = workers::WriteCaptureFile(dir_, "km03050907.txt", "third");
    ASSERT_TRUE(a.written && b.written && c.written);
    EXPECT_EQ(a.name, "km03050907.txt");
    EXPECT_EQ(b.name, "km03050907-2.txt");
    EXPECT_EQ(c.name, "km03050907-3.txt");
    EXPECT_EQ(ReadFile(dir_ + "/km03050907.txt"), "first");
    EXPECT_EQ(ReadFile(dir_ + "/km03050907-2.txt"), "second");
    EXPECT_EQ(Names().size(), 3u);  // no temporary file left behind
}

TEST_F(CaptureDir, UnwritableDirectoryLeavesNothingAndReportsTheName) {
    if (geteuid() == 0) {
        // root ignores directory permissions; a missing folder fails the same way.
        const auto r = workers::WriteCaptureFile(dir_ + "/missing", "km01010101.txt", "x");
        EXPECT_FALSE(r.written);
        EXPECT_EQ(r.name, "km01010101.txt");
        EXPECT_NE(r.error, 0);
        EXPECT_TRUE(Names().empty());
        return;
    }
    chmod(dir_.c_str(), 0500);
    const auto r = workers::WriteCaptureFile(dir_, "km01010101.txt", "x");
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.name, "km01010101.txt");
    chmod(dir_.c_str(), 0700);
    EXPECT_TRUE(Names().empty());
}

TEST_F(CaptureDir, AFullDiskLeavesNoPartialFileUnderACaptureName) {
    // A child process with a file size limit stands for a full disk.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const auto r = workers::WriteCaptureFile(dir_, "km01010101.txt", std::string(40000, 'x'));
        _exit(!r.written && r.error == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(Names().empty());
}

}  // namespace
