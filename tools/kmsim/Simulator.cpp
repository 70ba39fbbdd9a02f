#include "tools/kmsim/Simulator.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Event.h"
#include "platform/PortNames.h"
#include "platform/PseudoTerminal.h"
#include "protocols/Catalogue.h"
#include "tools/kmsim/ControllerFrames.h"
#include "tools/kmsim/DisplayDecoder.h"
#include "tools/kmsim/LineEnd.h"
#include "tools/kmsim/LineFaults.h"
#include "tools/kmsim/LinePacing.h"
#include "tools/kmsim/StatusText.h"
#include "tools/kmsim/WrongRate.h"

namespace kmsim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint8_t kFiller = 0xFF;

// A slot that sends nothing still comes round at least this often, so the
// loop looks again at the port and the speed without spinning.
constexpr milliseconds kIdleRecheck{20};

// Longest single wait of the loop; the quit event wakes it sooner.
constexpr milliseconds kLongestWait{60'000};

constexpr milliseconds kTerminalStatusEvery{250};
constexpr milliseconds kPlainStatusEvery{1000};

// COM<n> in the port directory for as long as this object lives.
class PortLink {
public:
    PortLink(unsigned port, std::string device) : port_(port), device_(std::move(device)) {}
    ~PortLink() { Remove(); }
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    bool Add() {
        added_ = platform::RegisterPort(port_, device_).has_value();
        return added_;
    }
    void Remove() {
        if (added_) platform::UnregisterPort(port_, device_);
        added_ = false;
    }

private:
    unsigned port_;
    std::string device_;
    bool added_ = false;
};

// Before the reader first opens it, the slave side echoes and edits what
// the controller sends; a real line does neither. The master answers
// termios requests for the slave, so it is made raw from here.
void MakeSlaveRaw(int masterFd) {
    termios t{};
    if (::tcgetattr(masterFd, &t) != 0) return;
    ::cfmakeraw(&t);
    ::tcsetattr(masterFd, TCSANOW, &t);
}

// A time on the system's monotonic clock (CLOCK_MONOTONIC, the steady
// clock's), in seconds: readers in other processes can compare it with
// their own.
std::string MonotonicText(std::chrono::steady_clock::time_point t) {
    char text[32];
    std::snprintf(text, sizeof text, "monotonic=%.6f", std::chrono::duration<double>(t.time_since_epoch()).count());
    return text;
}

LineState MismatchState(MismatchMode mode) {
    switch (mode) {
        case MismatchMode::Garbled:
            return LineState::Garbled;
        case MismatchMode::Filler:
            return LineState::Filler;
        case MismatchMode::Mute:
            break;
    }
    return LineState::Mute;
}

std::optional<std::uint8_t> FirstSyncByte(int protocol) {
    const auto& info = protocols::Protocol(protocol);
    if (info.syncCount == 0) return std::nullopt;
    return info.sync[0];
}

class Simulator {
public:
    Simulator(const Options& options, const platform::Event& quit, std::FILE* out, std::FILE* err)
        : options_(options),
          quit_(quit),
          out_(out),
          err_(err),
          frames_(options.protocol, options.seed),
          decoder_(options.protocol),
          controllerSpeed_(protocols::Protocol(options.protocol).connect.speed),
          sync_(FirstSyncByte(options.protocol)) {
        status_.protocol = options.protocol;
        status_.port = options.port;
        status_.controllerSpeed = controllerSpeed_;
        statusOnTerminal_ = !options.quiet && ::isatty(::fileno(err)) == 1;
    }

    ~Simulator() {
        if (log_) std::fclose(log_);
    }

    int Run();

private:
    // One frame slot: the bytes it puts on the line, paced at `speed`.
    struct Slot {
        bool active = false;
        LineState state = LineState::Frames;
        std::vector<std::uint8_t> bytes;
        std::size_t junk = 0;
        bool byteDropped = false;
        std::size_t written = 0;
        std::int64_t speed = 0;
        Clock::duration quietTime{};  // line time of a slot that sends nothing
        Clock::time_point start;
    };

    bool Setup();
    // A new pseudo-terminal, raw, linked as COM<n>; false (said on `err`)
    // when either cannot be had.
    bool OpenLine(const char* what);
    bool OpenMirror();
    void WriteLine(int fd, const std::uint8_t* data, std::size_t n);
    void Step(Clock::time_point now);
    void BeginSlot(Clock::time_point now);
    void WriteChunk();
    void FinishSlot(Clock::time_point now);
    void ReadDisplay();
    bool PortClosedByReader() const;
    void NotePortClosed(Clock::time_point now);
    void CutLine();
    void Unplug();
    void Replug(Clock::time_point now);
    void SetState(LineState state);
    int PollTimeoutMs(Clock::time_point now) const;
    void ShowStatus(Clock::time_point now, bool force);
    void Log(const std::string& line);

    const Options& options_;
    const platform::Event& quit_;
    std::FILE* out_;
    std::FILE* err_;
    std::FILE* log_ = nullptr;

    std::unique_ptr<platform::PseudoTerminal> pty_;
    std::unique_ptr<PortLink> link_;
    std::unique_ptr<platform::PseudoTerminal> mirror_;
    std::unique_ptr<PortLink> mirrorLink_;
    ControllerFrameSource frames_;
    DisplayDecoder decoder_;
    const std::int64_t controllerSpeed_;
    const std::optional<std::uint8_t> sync_;

    StatusSnapshot status_;
    std::optional<LineState> loggedState_;
    bool portClosed_ = false;
    bool finished_ = false;
    int exitCode_ = kExitDone;
    bool unplugged_ = false;  // the line is cut and COM<n> unlinked for now
    bool unplugDone_ = false;
    std::optional<Clock::time_point> replugAt_;
    Slot slot_;
    Clock::time_point started_;
    Clock::time_point nextStep_;
    Clock::time_point nextStatus_;
    bool statusOnTerminal_ = false;
};

int Simulator::Run() {
    if (!Setup()) return kExitSetupFailed;

    if (mirror_) {
        std::fprintf(out_, "mirror %s %s\n", platform::ComName(options_.mirrorPort).c_str(),
                     mirror_->slavePath().c_str());
    }
    std::fprintf(out_, "%s %s\n", platform::ComName(options_.port).c_str(), pty_->slavePath().c_str());
    std::fflush(out_);

    started_ = Clock::now();
    nextStep_ = started_;
    nextStatus_ = started_;
    if (options_.frameLimit && *options_.frameLimit == 0) finished_ = true;
    if (options_.faults.hangupAfter && *options_.faults.hangupAfter == 0) CutLine();
    if (!finished_ && options_.faults.unplugAfter && *options_.faults.unplugAfter == 0) Unplug();

    while (!finished_ && !quit_.IsSet()) {
        Clock::time_point now = Clock::now();
        // Every step that is due, then a wait until the next one.
        while (!finished_ && now >= nextStep_) {
            Step(now);
            now = Clock::now();
        }
        if (finished_) break;
        ShowStatus(now, false);

        const bool watchPort = pty_ && !portClosed_;
        pollfd fds[2] = {{quit_.Handle(), POLLIN, 0}, {watchPort ? pty_->masterFd() : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 2, PollTimeoutMs(Clock::now()));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (fds[0].revents & POLLIN) break;
        if (fds[1].revents & POLLIN) ReadDisplay();
        if (pty_ && !portClosed_ && (fds[1].revents & (POLLHUP | POLLERR))) NotePortClosed(Clock::now());
    }

    if (options_.frameLimit && status_.framesSent >= *options_.frameLimit && pty_) {
        EndLine(
            *pty_, quit_, [this] { ReadDisplay(); }, [this](const std::string& line) { Log(line); });
    }
    // Display bytes already on their way still count.
    if (pty_ && !pty_->hungUp() && !portClosed_) ReadDisplay();
    ShowStatus(Clock::now(), true);
    if (statusOnTerminal_) std::fputs("\n", err_);
    link_->Remove();
    if (mirrorLink_) mirrorLink_->Remove();
    std::fprintf(out_, "%s\n", SummaryLine(status_).c_str());
    std::fflush(out_);
    return exitCode_;
}

bool Simulator::Setup() {
    if (!options_.portDirectory.empty()) platform::SetPortDirectory(options_.portDirectory);
    if (!options_.logPath.empty()) {
        log_ = std::fopen(options_.logPath.c_str(), "w");
        if (!log_) {
            std::fprintf(err_, "zonter-kmsim: cannot write the log %s\n", options_.logPath.c_str());
            return false;
        }
        std::setvbuf(log_, nullptr, _IOLBF, 0);
    }
    if (!OpenLine("")) return false;
    if (options_.mirrorPort != 0 && !OpenMirror()) return false;
    Log("# " + platform::ComName(options_.port) + " " + pty_->slavePath() + " playing " +
        std::string(ProtocolName(options_.protocol)) + " at " + std::to_string(controllerSpeed_) + " bit/s");
    return true;
}

bool Simulator::OpenLine(const char* what) {
    auto pty = platform::PseudoTerminal::Open();
    if (!pty) {
        std::fprintf(err_, "zonter-kmsim: cannot open a pseudo-terminal%s\n", what);
        return false;
    }
    MakeSlaveRaw(pty->masterFd());
    auto link = std::make_unique<PortLink>(options_.port, pty->slavePath());
    if (!link->Add()) {
        std::fprintf(err_, "zonter-kmsim: cannot link %s in %s%s\n", platform::ComName(options_.port).c_str(),
                     platform::PortDirectory().c_str(), what);
        return false;
    }
    pty_ = std::move(pty);
    link_ = std::move(link);
    return true;
}

bool Simulator::OpenMirror() {
    mirror_ = platform::PseudoTerminal::Open();
    if (!mirror_) {
        std::fprintf(err_, "zonter-kmsim: cannot open a pseudo-terminal for the mirror\n");
        return false;
    }
    MakeSlaveRaw(mirror_->masterFd());
    mirrorLink_ = std::make_unique<PortLink>(options_.mirrorPort, mirror_->slavePath());
    if (!mirrorLink_->Add()) {
        std::fprintf(err_, "zonter-kmsim: cannot link %s in %s\n", platform::ComName(options_.mirrorPort).c_str(),
                     platform::PortDirectory().c_str());
        return false;
    }
    return true;
}

void Simulator::Step(Clock::time_point now) {
    if (unplugged_) {
        // No line: nothing to send or read until the replug, if any.
        if (replugAt_ && now >= *replugAt_) {
            Replug(now);
        } else {
            nextStep_ = replugAt_.value_or(now + kLongestWait);
        }
        return;
    }
    if (!slot_.active) {
        BeginSlot(now);
    } else if (slot_.written < slot_.bytes.size()) {
        WriteChunk();
    } else {
        FinishSlot(now);
    }
}

void Simulator::BeginSlot(Clock::time_point now) {
    slot_ = Slot{};
    slot_.active = true;
    slot_.start = now;

    portClosed_ = PortClosedByReader();
    const std::int64_t lineSpeed = pty_ ? pty_->SlaveSpeed() : -1;
    status_.lineSpeed = lineSpeed;
    const std::size_t frameLength = frames_.FrameLength();

    if (options_.faults.silenceAfter && status_.framesSent >= *options_.faults.silenceAfter) {
        slot_.state = LineState::Silenced;
    } else if (portClosed_) {
        slot_.state = LineState::PortClosed;
    } else if (SpeedMatches(lineSpeed, controllerSpeed_)) {
        slot_.state = LineState::Frames;
    } else {
        slot_.state = MismatchState(options_.mismatch);
    }
    SetState(slot_.state);

    switch (slot_.state) {
        case LineState::Frames: {
            const double seconds = std::chrono::duration<double>(now - started_).count();
            const LineSlot composed =
                ComposeSlot(frames_.Next(seconds), status_.framesSent + 1, options_.faults, options_.seed, sync_);
            slot_.bytes = composed.bytes;
            slot_.junk = composed.junkBytes;
            slot_.byteDropped = composed.byteDropped;
            slot_.speed = lineSpeed;
            break;
        }
        case LineState::Garbled: {
            // The frame takes its time at the controller's speed; what the
            // reader's UART makes of it goes out at the reader's speed.
            const std::vector<std::uint8_t> frame = frames_.Next(std::chrono::duration<double>(now - started_).count());
            slot_.bytes = ReadAtRate(frame, controllerSpeed_, lineSpeed);
            slot_.speed = lineSpeed;
            slot_.quietTime = LineTime(frame.size(), controllerSpeed_);
            Log("garbled " + HexLine(slot_.bytes));
            break;
        }
        case LineState::Filler:
            slot_.bytes.assign(frameLength, kFiller);
            slot_.speed = lineSpeed > 0 ? lineSpeed : controllerSpeed_;
            break;
        case LineState::Mute:
            slot_.quietTime = LineTime(frameLength, controllerSpeed_);
            break;
        case LineState::PortClosed:
        case LineState::Silenced:
        case LineState::Unplugged:  // Step() does not begin slots while unplugged
            break;
    }

    if (slot_.bytes.empty()) {
        // Nothing goes out; the slot still lasts, so the loop never spins.
        nextStep_ = now + std::max<Clock::duration>(slot_.quietTime, kIdleRecheck);
        return;
    }
    WriteChunk();
}

void Simulator::WriteChunk() {
    const std::size_t n = std::min(ChunkBytes(slot_.speed), slot_.bytes.size() - slot_.written);
    const std::uint8_t* data = slot_.bytes.data() + slot_.written;
    WriteLine(pty_->masterFd(), data, n);
    if (mirror_) WriteLine(mirror_->masterFd(), data, n);
    slot_.written += n;
    nextStep_ = slot_.start + std::chrono::duration_cast<Clock::duration>(LineTime(slot_.written, slot_.speed));
}

void Simulator::WriteLine(int fd, const std::uint8_t* data, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t k = ::write(fd, data + done, n - done);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
            continue;
        }
        if (k < 0 && errno == EINTR) continue;
        // EAGAIN: nobody reads and the reader's queue is full. The bytes
        // still take their time on the line; they are lost like bytes into
        // a UART that nobody services.
        break;
    }
}

void Simulator::FinishSlot(Clock::time_point now) {
    const Clock::time_point lineFree =
        slot_.start + std::max<Clock::duration>(slot_.quietTime, std::chrono::duration_cast<Clock::duration>(
                                                                     LineTime(slot_.bytes.size(), slot_.speed)));
    slot_.active = false;

    if (slot_.state != LineState::Frames) {
        nextStep_ = std::max(lineFree + milliseconds(options_.intervalMs), now);
        return;
    }

    const std::span<const std::uint8_t> all(slot_.bytes);
    if (slot_.junk > 0) Log("junk " + HexLine(all.first(slot_.junk)));
    std::string tx = "tx " + HexLine(all.subspan(slot_.junk));
    if (slot_.byteDropped) {
        tx += " # byte " + std::to_string(DroppedByteIndex(frames_.FrameLength())) + " dropped";
    }
    Log(tx);
    ++status_.framesSent;

    if (options_.faults.hangupAfter && status_.framesSent >= *options_.faults.hangupAfter) CutLine();
    if (!finished_ && !unplugDone_ && options_.faults.unplugAfter &&
        status_.framesSent >= *options_.faults.unplugAfter) {
        Unplug();
    }
    if (options_.frameLimit && status_.framesSent >= *options_.frameLimit) finished_ = true;
    nextStep_ = std::max(lineFree + milliseconds(options_.intervalMs), now);
}

void Simulator::ReadDisplay() {
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t k = ::read(pty_->masterFd(), buffer, sizeof buffer);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return;
        for (const DisplayFrame& frame :
             decoder_.Feed(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(k)))) {
            Log(DisplayFrameLogLine(frame));
            if (frame.checksumOk && frame.settings.gearPosition >= 0) frames_.SetGearEcho(frame.settings.gearPosition);
        }
        status_.display = decoder_.stats();
        status_.settings = decoder_.lastSettings();
    }
}

bool Simulator::PortClosedByReader() const { return !pty_ || ReaderClosed(*pty_); }

void Simulator::NotePortClosed(Clock::time_point now) {
    portClosed_ = true;
    decoder_.Restart();
    SetState(LineState::PortClosed);
    // A frame under way is cut off with the port.
    if (slot_.active && slot_.state != LineState::PortClosed) {
        slot_.active = false;
        nextStep_ = now + kIdleRecheck;
    }
}

void Simulator::CutLine() {
    Log("# line cut: pseudo-terminal closed, " + platform::ComName(options_.port) + " removed");
    if (pty_) pty_->HangUp();
    link_->Remove();
    finished_ = true;
}

void Simulator::Unplug() {
    if (pty_) pty_->HangUp();
    link_->Remove();
    const Clock::time_point at = Clock::now();
    unplugged_ = true;
    unplugDone_ = true;
    portClosed_ = true;
    if (options_.faults.replugAfter) replugAt_ = at + *options_.faults.replugAfter;
    SetState(LineState::Unplugged);
    std::fprintf(out_, "unplugged %s %s\n", platform::ComName(options_.port).c_str(), MonotonicText(at).c_str());
    std::fflush(out_);
}

void Simulator::Replug(Clock::time_point now) {
    replugAt_.reset();
    if (!OpenLine(" for the replug")) {
        exitCode_ = kExitSetupFailed;
        finished_ = true;
        return;
    }
    const Clock::time_point at = Clock::now();
    unplugged_ = false;
    portClosed_ = false;
    decoder_.Restart();
    const std::string line = platform::ComName(options_.port) + " " + pty_->slavePath();
    Log("# replugged: " + line);
    std::fprintf(out_, "replugged %s %s\n", line.c_str(), MonotonicText(at).c_str());
    std::fflush(out_);
    nextStep_ = now;
}

void Simulator::SetState(LineState state) {
    status_.state = state;
    if (loggedState_ == state) return;
    loggedState_ = state;
    Log("# " + LineStateText(status_));
}

int Simulator::PollTimeoutMs(Clock::time_point now) const {
    Clock::time_point wake = nextStep_;
    if (!options_.quiet) wake = std::min(wake, nextStatus_);
    if (wake <= now) return 0;
    return static_cast<int>(std::min(std::chrono::ceil<milliseconds>(wake - now), kLongestWait).count());
}

void Simulator::ShowStatus(Clock::time_point now, bool force) {
    if (options_.quiet || (!force && now < nextStatus_)) return;
    nextStatus_ = now + (statusOnTerminal_ ? kTerminalStatusEvery : kPlainStatusEvery);
    std::string line = StatusLine(status_);
    if (statusOnTerminal_) {
        // Cut to the terminal's width: a wrapped line could not be redrawn
        // in place.
        winsize size{};
        if (::ioctl(::fileno(err_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1 && line.size() >= size.ws_col) {
            line.resize(size.ws_col - 1u);
        }
        std::fprintf(err_, "\r%s\x1b[K", line.c_str());
    } else {
        std::fprintf(err_, "%s\n", line.c_str());
    }
    std::fflush(err_);
}

void Simulator::Log(const std::string& line) {
    if (log_) std::fprintf(log_, "%s\n", line.c_str());
}

}  // namespace

int RunSimulator(const Options& options, const platform::Event& quit, std::FILE* out, std::FILE* err) {
    Simulator simulator(options, quit, out, err);
    return simulator.Run();
}

}  // namespace kmsim
