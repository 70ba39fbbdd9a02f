#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zonter_test {

// The controller's side of the line, played by line_peer.py outside Wine:
// each request goes out on standard output as "@@peer <command>" and its
// answer comes back on standard input.
class LinePeer {
public:
    // The COM name the peer registered ("COM5"), set from the command line.
    static std::string& PortName();
    static std::string PortPath() { return "\\\\.\\" + PortName(); }
    // Takes the port name from the command line the peer script gives:
    // --port=COM5.
    static void TakePortArgument(int argc, char** argv);

    // Sends a command and returns what follows "ok"; a test failure (and
    // an empty answer) when the peer answers anything else.
    static std::string Ask(const std::string& command);

    static void Fresh() { Ask("fresh"); }
    static void Send(const std::vector<std::uint8_t>& bytes) { Ask("send " + Hex(bytes)); }
    static void SendLater(int ms, const std::vector<std::uint8_t>& bytes) {
        Ask("send-later " + std::to_string(ms) + " " + Hex(bytes));
    }
    static std::vector<std::uint8_t> Receive(std::size_t n, int ms = 3000);
    static int Pending();
    // Bytes this program wrote that the peer has not read.
    static int Unread();
    static std::string Line() { return Ask("line"); }
    static void Unplug() { Ask("unplug"); }

    // CPU time used so far by this process and by the wineserver, in ms.
    struct CpuTimes {
        long long process = 0;
        long long server = 0;
    };
    static CpuTimes Cpu();

    // Waits until `count` bytes wait in the line for this program.
    static bool WaitPending(int count, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Waits until at least `count` written bytes wait for the peer.
    static bool WaitUnread(int count, std::chrono::milliseconds limit = std::chrono::seconds(5));

    static std::string Hex(const std::vector<std::uint8_t>& bytes);
};

}  // namespace zonter_test
