#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/PortNames.h"
#include "platform/SerialPortScan.h"
#include "tests/platform/TestSupport.h"

namespace zonter_test {
namespace {

using platform::ResolveComPort;
using platform::SerialScanRoots;

std::optional<std::string> LinkTarget(const std::string& path) {
    std::error_code ec;
    auto target = std::filesystem::read_symlink(path, ec);
    if (ec) return std::nullopt;
    return target.string();
}

class PortDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetPortDirectoryOnly(true);
        platform::SetPortDirectory(dir_ / "run/ports");
    }
    void TearDown() override {
        platform::SetPortDirectoryOnly(true);
        platform::SetPortDirectory("");
    }
    std::string Link(unsigned n) { return platform::PortDirectory() + "/" + platform::ComName(n); }

    TempDir dir_;
};

TEST_F(PortDirectoryTest, NamesAndDirectory) {
    EXPECT_EQ(platform::ComName(1), "COM1");
    EXPECT_EQ(platform::ComName(10), "COM10");
    EXPECT_EQ(platform::PortDirectory(), dir_ / "run/ports");
}

TEST_F(PortDirectoryTest, RegisteredLinksResolve) {
    EXPECT_FALSE(ResolveComPort(3));
    const auto link = platform::RegisterPort(3, "/dev/pts/991");  // directory made on demand
    ASSERT_TRUE(link);
    EXPECT_EQ(*link, Link(3));
    EXPECT_EQ(LinkTarget(*link), "/dev/pts/991");
    EXPECT_EQ(ResolveComPort(3), Link(3));
    EXPECT_FALSE(ResolveComPort(4));

    // A new registration replaces the old link and leaves no stray files.
    ASSERT_TRUE(platform::RegisterPort(3, "/dev/pts/992"));
    EXPECT_EQ(LinkTarget(Link(3)), "/dev/pts/992");
    std::vector<std::string> entries;
    for (const auto& e : std::filesystem::directory_iterator(platform::PortDirectory())) {
        entries.push_back(e.path().filename().string());
    }
    EXPECT_EQ(entries, std::vector<std::string>{"COM3"});
}

TEST_F(PortDirectoryTest, UnregisterRemovesOnlyALinkToThatDevice) {
    ASSERT_TRUE(platform::RegisterPort(2, "/dev/pts/993"));
    platform::UnregisterPort(2, "/dev/pts/994");  // someone else's registration
    EXPECT_EQ(LinkTarget(Link(2)), "/dev/pts/993");
    platform::UnregisterPort(5, "/dev/pts/993");  // no such link
    platform::UnregisterPort(2, "/dev/pts/993");
    EXPECT_FALSE(LinkTarget(Link(2)));
    EXPECT_FALSE(ResolveComPort(2));
}

TEST_F(PortDirectoryTest, PlainEntryNamesAPortToo) {
    WriteTextFile(Link(6), "");
    EXPECT_EQ(ResolveComPort(6), Link(6));
    platform::UnregisterPort(6, Link(6));  // not a link: stays
    EXPECT_TRUE(std::filesystem::exists(Link(6)));
}

class DefaultPortDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        if (old) saved_ = old;
        platform::SetPortDirectory("");
    }
    void TearDown() override {
        if (saved_) {
            setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }
    std::optional<std::string> saved_;
    TempDir dir_;
};

TEST_F(DefaultPortDirectoryTest, RuntimeDirectoryWhenThereIsOne) {
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
    EXPECT_EQ(platform::PortDirectory(), dir_ / "zonter/ports");

    const std::string tmpDefault = "/tmp/zonter-" + std::to_string(getuid()) + "/ports";
    setenv("XDG_RUNTIME_DIR", (dir_ / "missing").c_str(), 1);
    EXPECT_EQ(platform::PortDirectory(), tmpDefault);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::PortDirectory(), tmpDefault);
}

// A made-up /sys/class/tty and /dev, as a machine with a serial console
// on ttyS0 and some adapters plugged in would show them.
class SerialScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        roots_.ttyClassDir = dir_ / "sys/class/tty";
        roots_.devDir = dir_ / "dev";
        roots_.cmdlineFile = dir_ / "proc/cmdline";
        WriteTextFile(roots_.cmdlineFile, "quiet root=/dev/vda1\n");
        platform::SetPortDirectory(dir_ / "ports");
        platform::SetPortDirectoryOnly(false);
    }
    void TearDown() override {
        platform::SetPortDirectoryOnly(true);
        platform::SetPortDirectory("");
    }

    void Tty(const std::string& name, std::optional<int> type = std::nullopt, bool node = true) {
        std::filesystem::create_directories(roots_.ttyClassDir + "/" + name);
        if (type) WriteTextFile(roots_.ttyClassDir + "/" + name + "/type", std::to_string(*type) + "\n");
        if (node) WriteTextFile(roots_.devDir + "/" + name, "");
    }
    void ActiveConsoles(const std::string& names) {
        WriteTextFile(roots_.ttyClassDir + "/console/active", names + "\n");
    }
    std::string Dev(const std::string& name) { return roots_.devDir + "/" + name; }

    TempDir dir_;
    SerialScanRoots roots_;
};

TEST_F(SerialScanTest, UartsThenUsbThenAcmByNumberWithoutTheConsole) {
    Tty("ttyS0", 4);  // the console
    Tty("ttyS1", 4);
    Tty("ttyS2", 0);  // empty UART slot
    Tty("ttyS10", 4);
    Tty("ttyS3");            // no type: not a UART we know
    Tty("ttyS4", 4, false);  // no device node
    Tty("ttyUSB10");
    Tty("ttyUSB2");
    Tty("ttyACM0");
    Tty("tty0");
    Tty("ttyUSBx");
    Tty("ptmx");
    ActiveConsoles("tty0 ttyS0");

    EXPECT_EQ(platform::ListSerialPorts(roots_),
              (std::vector<std::string>{Dev("ttyS1"), Dev("ttyS10"), Dev("ttyUSB2"), Dev("ttyUSB10"), Dev("ttyACM0")}));
}

TEST_F(SerialScanTest, CommandLineConsoleIsLeftOutToo) {
    Tty("ttyS0", 4);
    Tty("ttyUSB0");
    Tty("ttyUSB1");
    WriteTextFile(roots_.cmdlineFile, "quiet console=tty1 console=ttyUSB0,115200n8 panic=1\n");
    EXPECT_EQ(platform::ListSerialPorts(roots_), (std::vector<std::string>{Dev("ttyS0"), Dev("ttyUSB1")}));
}

TEST_F(SerialScanTest, NoTreeMeansNoPorts) { EXPECT_TRUE(platform::ListSerialPorts(roots_).empty()); }

TEST_F(SerialScanTest, PortDirectoryComesFirstThenThePortsPresent) {
    Tty("ttyS0", 4);
    Tty("ttyS1", 4);
    Tty("ttyUSB0");
    ActiveConsoles("ttyS0");
    ASSERT_TRUE(platform::RegisterPort(1, "/dev/pts/995"));

    EXPECT_EQ(ResolveComPort(1, roots_), dir_ / "ports/COM1");
    EXPECT_EQ(ResolveComPort(2, roots_), Dev("ttyUSB0"));
    EXPECT_FALSE(ResolveComPort(3, roots_));
    EXPECT_FALSE(ResolveComPort(0, roots_));

    platform::SetPortDirectoryOnly(true);
    EXPECT_EQ(ResolveComPort(1, roots_), dir_ / "ports/COM1");
    EXPECT_FALSE(ResolveComPort(2, roots_));
}

}  // namespace
}  // namespace zonter_test
