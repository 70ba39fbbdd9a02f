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
#include "platform/posix/PortFolder.h"
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

// Links in a folder that another user could change are never followed:
// COMn resolves through the port directory only while it is private.
TEST_F(PortDirectoryTest, LinksAreFollowedOnlyInAPrivateFolder) {
    ASSERT_TRUE(platform::RegisterPort(3, "/dev/pts/996"));
    const std::string dir = platform::PortDirectory();
    const struct {
        mode_t mode;
        bool followed;
    } cases[] = {
        {0700, true},  {0755, true},  {0750, true},  {0500, true},  {0777, false},
        {0775, false}, {0770, false}, {0707, false}, {0720, false}, {0702, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.mode);
        ASSERT_EQ(chmod(dir.c_str(), c.mode), 0);
        EXPECT_EQ(ResolveComPort(3).has_value(), c.followed);
        // Registering follows the same rule; a read-only folder refuses
        // the link for its own reason, unless the test runs as root.
        const bool writable = (c.mode & S_IWUSR) || geteuid() == 0;
        EXPECT_EQ(platform::RegisterPort(4, "/dev/pts/997").has_value(), c.followed && writable);
        ASSERT_EQ(chmod(dir.c_str(), 0700), 0);
        std::filesystem::remove(Link(4));
    }
}

TEST_F(PortDirectoryTest, APortDirectoryThatIsItselfALinkIsNotFollowed) {
    ASSERT_TRUE(platform::RegisterPort(3, "/dev/pts/996"));
    const std::string real = platform::PortDirectory();
    EXPECT_EQ(ResolveComPort(3), real + "/COM3");

    std::filesystem::create_directory_symlink(real, dir_ / "elsewhere");
    for (const std::string& alias : {dir_ / "elsewhere", dir_ / "elsewhere/"}) {
        SCOPED_TRACE(alias);
        platform::SetPortDirectory(alias);
        EXPECT_FALSE(ResolveComPort(3));
        EXPECT_FALSE(platform::RegisterPort(5, "/dev/pts/998"));
    }
    EXPECT_FALSE(std::filesystem::exists(real + "/COM5"));
}

TEST_F(PortDirectoryTest, APortDirectoryOfAnotherUserIsNotFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a folder away";
    ASSERT_TRUE(platform::RegisterPort(3, "/dev/pts/996"));
    const std::string dir = platform::PortDirectory();
    ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ResolveComPort(3));
    EXPECT_FALSE(platform::RegisterPort(4, "/dev/pts/997"));
    ASSERT_EQ(chown(dir.c_str(), 0, 0), 0);
    EXPECT_EQ(ResolveComPort(3), Link(3));
}

// The per-user folder in the shared /tmp must be private as well when the
// port directory lies in it: whoever made it could replace what is inside.
TEST(PortFolderTest, ASharedBaseMustBePrivateTooWhenTheDirectoryIsInIt) {
    TempDir tmp;
    const std::string base = tmp / "zonter-0";
    const std::string ports = base + "/ports";
    ASSERT_TRUE(platform::portdir::Prepare(ports, base));
    EXPECT_TRUE(platform::portdir::IsPrivate(ports, base));

    ASSERT_EQ(chmod(base.c_str(), 0777), 0);
    EXPECT_FALSE(platform::portdir::IsPrivate(ports, base));
    EXPECT_TRUE(platform::portdir::IsPrivate(ports, tmp / "other"));  // not inside: the base does not count
    // Nothing more is created inside a base that is not private.
    EXPECT_FALSE(platform::portdir::Prepare(base + "/more", base));
    EXPECT_FALSE(std::filesystem::exists(base + "/more"));
    ASSERT_EQ(chmod(base.c_str(), 0700), 0);

    // A base that is a link to a private folder is not private.
    const std::string alias = tmp / "zonter-1";
    std::filesystem::create_directory_symlink(base, alias);
    EXPECT_FALSE(platform::portdir::IsPrivate(alias + "/ports", alias));
    EXPECT_FALSE(platform::portdir::Prepare(alias + "/more", alias));
    EXPECT_FALSE(std::filesystem::exists(base + "/more"));
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

// A port directory that is not private is passed over as if it had no
// entry: the number goes to the port present instead of the link.
TEST_F(SerialScanTest, AnUntrustedPortDirectoryFallsThroughToThePortsPresent) {
    Tty("ttyS1", 4);
    ASSERT_TRUE(platform::RegisterPort(1, "/dev/pts/995"));
    ASSERT_EQ(chmod((dir_ / "ports").c_str(), 0777), 0);
    EXPECT_EQ(ResolveComPort(1, roots_), Dev("ttyS1"));
    platform::SetPortDirectoryOnly(true);
    EXPECT_FALSE(ResolveComPort(1, roots_));
}

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
