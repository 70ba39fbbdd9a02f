// zonter-bench-linepeer: a controller on a pseudo-terminal that sends its
// frames back to back at a line speed of the benchmark's choosing, which
// the controller simulator does not offer (it only sends at the
// protocol's own speed). Paced like a UART: 10 bits per character at the
// speed the reader has set, handed over in 10 ms chunks. Sends nothing
// while the reader's speed is another. Counts the display frames it gets.
//
//   zonter-bench-linepeer --port-dir DIR --port N --protocol halten|kugoo
//                         --speed BITS --frames COUNT [--mirror-port M]
//
// --mirror-port M: a second line, COM<M>, gets every byte at the same
// moment (a bare reader on it is the floor the tool is measured against);
// "mirror COM<M> <slave>" is printed before the ready line.
//
// Prints "COM<n> <slave>" when ready and "summary frames-sent=..." at the
// end (after COUNT frames, or at SIGTERM).
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "platform/Event.h"
#include "platform/PortNames.h"
#include "platform/PseudoTerminal.h"
#include "tools/bench/support/Clock.h"
#include "tools/bench/support/PortSandbox.h"
#include "tools/kmsim/ControllerFrames.h"
#include "tools/kmsim/DisplayDecoder.h"
#include "tools/kmsim/LineEnd.h"
#include "tools/kmsim/LinePacing.h"
#include "tools/kmsim/QuitSignals.h"

namespace {

using bench::Clock;

// How often the line is looked at while the reader's speed is another.
constexpr int kRecheckMs = 20;

struct Options {
    std::string portDir;
    unsigned port = 1;
    unsigned mirrorPort = 0;
    protocols::ProtocolIndex protocol = protocols::kHaltenRs;
    std::int64_t speed = 115200;
    std::uint64_t frames = 0;
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--port-dir") {
            o.portDir = value;
        } else if (key == "--port") {
            o.port = static_cast<unsigned>(std::stoul(value));
        } else if (key == "--mirror-port") {
            o.mirrorPort = static_cast<unsigned>(std::stoul(value));
        } else if (key == "--protocol") {
            if (value == "halten") {
                o.protocol = protocols::kHaltenRs;
            } else if (value == "kugoo") {
                o.protocol = protocols::kKugooM;
            } else {
                return false;
            }
        } else if (key == "--speed") {
            o.speed = std::stoll(value);
        } else if (key == "--frames") {
            o.frames = std::stoull(value);
        } else {
            return false;
        }
    }
    return !o.portDir.empty() && o.frames > 0 && o.speed > 0;
}

class Peer {
public:
    Peer(const Options& o, const platform::Event& quit)
        : o_(o), quit_(quit), source_(o.protocol, 1), decoder_(o.protocol) {}

    int Run() {
        platform::SetPortDirectory(o_.portDir);
        pty_ = bench::OpenRawLine(o_.port);
        if (!pty_) return 1;
        if (o_.mirrorPort != 0) {
            mirror_ = bench::OpenRawLine(o_.mirrorPort);
            if (!mirror_) return 1;
            std::printf("mirror %s %s\n", platform::ComName(o_.mirrorPort).c_str(), mirror_->slavePath().c_str());
        }
        std::printf("%s %s\n", platform::ComName(o_.port).c_str(), pty_->slavePath().c_str());
        std::fflush(stdout);

        const Clock::time_point begin = Clock::now();
        bool pacing = false;
        Clock::time_point lineStart;
        std::uint64_t lineBytes = 0;
        while (sent_ < o_.frames && !quit_.IsSet()) {
            if (!kmsim::SpeedMatches(pty_->SlaveSpeed(), o_.speed)) {
                pacing = false;
                WaitForInput(kRecheckMs);
                continue;
            }
            if (!pacing) {
                pacing = true;
                lineStart = Clock::now();
                lineBytes = 0;
            }
            const Clock::time_point due =
                lineStart + std::chrono::duration_cast<Clock::duration>(kmsim::LineTime(lineBytes, o_.speed));
            const Clock::time_point now = Clock::now();
            if (now < due) {
                WaitForInput(static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(due - now).count()));
                continue;
            }
            const std::size_t chunk = kmsim::ChunkBytes(o_.speed);
            Fill(chunk, std::chrono::duration<double>(now - begin).count());
            const std::size_t n = std::min(chunk, pending_.size());
            Put(n);
            lineBytes += n;
        }
        // The last chunk's line time; the reader takes the rest before the
        // line closes. Then what the display still sent.
        if (!quit_.IsSet()) WaitForInput(10);
        if (sent_ >= o_.frames)
            kmsim::EndLine(
                *pty_, quit_, [this] { ReadDisplay(); }, [](const std::string&) {});
        ReadDisplay();
        platform::UnregisterPort(o_.port, pty_->slavePath());
        if (mirror_) platform::UnregisterPort(o_.mirrorPort, mirror_->slavePath());
        const kmsim::DisplayStats& d = decoder_.stats();
        std::printf(
            "summary frames-sent=%llu display-frames=%llu checksum-errors=%llu counter-gaps=%llu "
            "missed-frames=%llu dropped-bytes=%llu\n",
            static_cast<unsigned long long>(sent_), static_cast<unsigned long long>(d.frames),
            static_cast<unsigned long long>(d.checksumErrors), static_cast<unsigned long long>(d.counterGaps),
            static_cast<unsigned long long>(d.missedFrames), static_cast<unsigned long long>(dropped_));
        std::fflush(stdout);
        return 0;
    }

private:
    // Frames queued until at least `bytes` wait, as long as frames are left.
    void Fill(std::size_t bytes, double seconds) {
        while (pending_.size() < bytes && made_ < o_.frames) {
            const std::vector<std::uint8_t> f = source_.Next(seconds);
            pending_.insert(pending_.end(), f.begin(), f.end());
            frameEnds_.push_back(queuedTotal_ += f.size());
            ++made_;
        }
    }

    // Hands n queued bytes to the line. Bytes the reader's full queue does
    // not take are lost, as from a UART nobody services.
    void Put(std::size_t n) {
        std::uint8_t buf[4096];
        n = std::min(n, sizeof buf);
        std::copy_n(pending_.begin(), n, buf);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
        if (mirror_) {
            // The floor's line: what its reader's full queue does not take is lost there alike.
            [[maybe_unused]] const ssize_t m = ::write(mirror_->masterFd(), buf, n);
        }
        std::size_t done = 0;
        while (done < n) {
            const ssize_t k = ::write(pty_->masterFd(), buf + done, n - done);
            if (k > 0) {
                done += static_cast<std::size_t>(k);
            } else if (!(k < 0 && errno == EINTR)) {
                break;
            }
        }
        dropped_ += n - done;
        writtenTotal_ += n;
        while (!frameEnds_.empty() && frameEnds_.front() <= writtenTotal_) {
            frameEnds_.pop_front();
            ++sent_;
        }
    }

    void WaitForInput(int ms) {
        pollfd p[2] = {{pty_->masterFd(), POLLIN, 0}, {quit_.Handle(), POLLIN, 0}};
        if (::poll(p, 2, ms) > 0 && (p[0].revents & POLLIN)) ReadDisplay();
        // A reader that closed the port leaves POLLHUP standing: the wait
        // above then returns at once, so wait out the rest on the quit fd.
        if (p[0].revents & POLLHUP) ::poll(&p[1], 1, ms);
    }

    void ReadDisplay() {
        std::uint8_t buf[512];
        for (;;) {
            const ssize_t k = ::read(pty_->masterFd(), buf, sizeof buf);
            if (k < 0 && errno == EINTR) continue;
            if (k <= 0) return;
            decoder_.Feed(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(k)));
        }
    }

    const Options& o_;
    const platform::Event& quit_;
    std::unique_ptr<platform::PseudoTerminal> pty_;
    std::unique_ptr<platform::PseudoTerminal> mirror_;
    kmsim::ControllerFrameSource source_;
    kmsim::DisplayDecoder decoder_;
    std::deque<std::uint8_t> pending_;
    std::deque<std::uint64_t> frameEnds_;
    std::uint64_t queuedTotal_ = 0;
    std::uint64_t writtenTotal_ = 0;
    std::uint64_t made_ = 0;
    std::uint64_t sent_ = 0;
    std::uint64_t dropped_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: zonter-bench-linepeer --port-dir DIR --port N --protocol halten|kugoo --speed BITS "
                     "--frames COUNT [--mirror-port M]\n");
        return 2;
    }
    platform::Event quit;
    kmsim::CatchQuitSignals(quit);
    Peer peer(options, quit);
    return peer.Run();
}
