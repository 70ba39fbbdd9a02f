#include "link/Connection.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "link/LinkState.h"
#include "link/PortOps.h"
#include "link/StopWorkers.h"
#include "platform/PortNames.h"
#include "platform/SystemError.h"
#include "protocols/Catalogue.h"

namespace linkcore {

namespace {

std::atomic<PortOpenFunction> g_openForTests{nullptr};

// The device a port-directory link stands for, to show the user.
std::string DeviceBehind(const std::string& path) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? path : real.string();
}

// The link takes the opened port; its own settings, as they were before
// the open made it raw, are kept for Disconnect.
platform::SerialPort* Install(LinkState& s, OpenedPort& opened) {
    s.savedLineSettings = opened.port->SettingsAtOpen();
    s.portHandle = std::move(opened.port);
    s.port.store(s.portHandle.get());
    return s.portHandle.get();
}

// Whether the driver took the settings just applied (a refused speed or
// record leaves the port open all the same).
void NoteSettings(const platform::SerialPort& port, ConnectOutcome& outcome) {
    outcome.settingsError = port.SettingsError();
    outcome.settingsReason = platform::SystemErrorText(outcome.settingsError);
}

}  // namespace

void SetPortOpenForTests(PortOpenFunction open) { g_openForTests.store(open); }

OpenedPort OpenComPort(int portNumber) {
    OpenedPort opened;
    ConnectOutcome& outcome = opened.outcome;
    const auto device = platform::ResolveComPort(static_cast<unsigned>(portNumber));
    if (!device) {
        outcome.error = platform::OpenError::NotFound;
        return opened;
    }
    outcome.device = DeviceBehind(*device);
    platform::OpenFailure failure;
    const PortOpenFunction open = g_openForTests.load();
    opened.port = open ? open(*device, &failure) : platform::SerialPort::Open(*device, &failure);
    outcome.opened = opened.port != nullptr;
    outcome.error = failure.kind;
    outcome.systemError = failure.systemError;
    outcome.systemReason = platform::SystemErrorText(failure.systemError);
    return opened;
}

void ClosePort(LinkState& s) {
    // Every worker stops, a running capture too, so that no reader is
    // left on a closed or reopened port.
    if (s.port.load()) {
        StopAllWorkers(s);
        s.port.store(nullptr);
        s.portHandle.reset();
    }
    s.portOpen.store(false);
}

void TakeOpenedPort(LinkState& s, OpenedPort& opened, int decoder) {
    if (!opened.port) {
        s.portOpen.store(false);
        return;
    }
    const platform::SerialPort* port = Install(s, opened);
    const protocols::ProtocolInfo& protocol = protocols::Protocol(decoder);
    SetLineSpeed(s, protocol.connect.mode, static_cast<int>(protocol.connect.speed));
    NoteSettings(*port, opened.outcome);
    s.portOpen.store(true);
}

void TakeReturnedPort(LinkState& s, OpenedPort& opened) {
    if (!opened.port) return;
    platform::SerialPort* port = Install(s, opened);
    // A refused record leaves the port as the driver has it, as at Connect.
    static_cast<void>(port->ApplySettings(s.lineSettings));
    NoteSettings(*port, opened.outcome);
    s.portOpen.store(true);
}

ConnectOutcome Connect(LinkState& s, int portNumber, int decoder) {
    ClosePort(s);
    OpenedPort opened = OpenComPort(portNumber);
    TakeOpenedPort(s, opened, decoder);
    return opened.outcome;
}

void Disconnect(LinkState& s) {
    if (s.port.load()) {
        StopAllWorkers(s);
        // A display frame the adapter still sends goes out at the speed it
        // was written at; then, best effort, the port's own settings go
        // back: the port closes whether or not it takes them.
        FinishSending(s);
        static_cast<void>(s.portHandle->ApplySettings(s.savedLineSettings));
        s.port.store(nullptr);
        s.portHandle.reset();
    }
    s.portOpen.store(false);
}

// --- PortOpener ---

// What the dialog thread and the open's thread share. The thread holds
// it to the end, so that a job given up on outlives its opener.
struct PortOpener::Job {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool givenUp = false;
    std::function<void()> finished;  // cleared when given up
    OpenedPort result;
};

PortOpener::~PortOpener() { GiveUp(); }

bool PortOpener::Start(int portNumber, std::function<void()> finished) {
    if (Running()) return false;
    auto job = std::make_shared<Job>();
    job->finished = std::move(finished);
    job_ = job;
    std::thread([job, portNumber] {
        OpenedPort opened = OpenComPort(portNumber);
        std::unique_lock<std::mutex> lock(job->mutex);
        if (job->givenUp) {
            // Nobody takes it any more: the port closes here, on this thread.
            lock.unlock();
            opened.port.reset();
            lock.lock();
        } else {
            job->result = std::move(opened);
            if (job->finished) job->finished();
        }
        job->done = true;
        job->changed.notify_all();
    }).detach();
    return true;
}

bool PortOpener::Running() const {
    if (!job_) return false;
    const std::lock_guard<std::mutex> lock(job_->mutex);
    return !job_->done;
}

bool PortOpener::WaitFinished(int ms) {
    if (!job_) return true;
    std::unique_lock<std::mutex> lock(job_->mutex);
    return job_->changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return job_->done; });
}

std::optional<OpenedPort> PortOpener::Take() {
    if (!job_) return std::nullopt;
    {
        const std::lock_guard<std::mutex> lock(job_->mutex);
        if (!job_->done || job_->givenUp) return std::nullopt;
    }
    OpenedPort result = std::move(job_->result);
    job_.reset();
    return result;
}

void PortOpener::GiveUp() {
    if (!job_) return;
    std::unique_lock<std::mutex> lock(job_->mutex);
    job_->givenUp = true;
    job_->finished = nullptr;
    if (!job_->done) return;  // its thread closes what it opens
    // Finished but not taken: what it opened closes now.
    OpenedPort untaken = std::move(job_->result);
    lock.unlock();
    job_.reset();
}

}  // namespace linkcore
