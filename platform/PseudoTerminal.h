#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform {

// A pseudo-terminal pair whose slave side stands in for a serial port: the
// program under test opens slavePath() as its port, while the holder of
// this object plays the controller on the master side.
//
// The slave is not held open here, so the port's own open and close are
// the only ones on it. The master reports a hang-up (and reads fail with
// EIO) only after a slave opener has closed it again, not before the first
// open; the reads below wait through such gaps without spinning.
// The slave's line settings can be read on the master (the kernel answers
// there with the slave's), which SlaveSpeed() uses.
class PseudoTerminal {
public:
    // Opens a new pair; nothing when the system has no pseudo-terminals.
    [[nodiscard]] static std::unique_ptr<PseudoTerminal> Open();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // Waits up to boundMs for bytes from the slave side and reads what is
    // there, at most `max`. Returns the count, 0 when none came in time.
    [[nodiscard]] std::size_t ReadSome(std::uint8_t* buf, std::size_t max, int boundMs);

    // Reads until n bytes have come or boundMs has passed; returns the count.
    [[nodiscard]] std::size_t ReadExactly(std::uint8_t* buf, std::size_t n, int boundMs);

    // Hands all bytes to the slave side within boundMs.
    [[nodiscard]] bool WriteAll(std::span<const std::uint8_t> bytes, int boundMs = 2000);

    // The bit rate the slave side last set; -1 when it cannot be read.
    [[nodiscard]] std::int64_t SlaveSpeed() const;

    // Closes the master: the slave side sees POLLHUP from then on.
    void HangUp();
    bool hungUp() const { return master_ < 0; }

private:
    PseudoTerminal(int master, std::string slavePath) : master_(master), slavePath_(std::move(slavePath)) {}
    int master_;
    std::string slavePath_;
};

}  // namespace platform
