#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/Connection.h"
#include "link/LinkState.h"
#include "link/RefreshRequest.h"
#include "platform/PseudoTerminal.h"
#include "tests/support/PortSandbox.h"

namespace testing_support {

// A main window stand-in for the workers: records every refresh request
// with the status it found in `link`, and may hold a request up on a gate.
class FakeWindow : public linkcore::RefreshSink {
public:
    explicit FakeWindow(const linkcore::LinkState& link) : link_(link) {}

    struct Request {
        unsigned code;
        int status;
    };

    bool Refresh(unsigned code, const platform::Event& stop) override {
        if (onRefresh) onRefresh(code, stop);
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back({code, link_.linkStatus.load()});
        cv_.notify_all();
        return true;
    }

    void CaptureEnded(const std::string& message) override {
        std::lock_guard<std::mutex> lock(mutex_);
        captureEnds_.push_back(message);
        cv_.notify_all();
    }

    // Waits until at least n requests of `code` have come.
    bool WaitForRequests(unsigned code, std::size_t n, int ms = 5000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return CountLocked(code) >= n; });
    }

    bool WaitForCaptureEnd(int ms = 5000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !captureEnds_.empty(); });
    }

    std::size_t Count(unsigned code) {
        std::lock_guard<std::mutex> lock(mutex_);
        return CountLocked(code);
    }

    std::vector<int> Statuses(unsigned code) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<int> out;
        for (const auto& r : requests_)
            if (r.code == code) out.push_back(r.status);
        return out;
    }

    std::vector<std::string> CaptureEnds() {
        std::lock_guard<std::mutex> lock(mutex_);
        return captureEnds_;
    }

    std::function<void(unsigned, const platform::Event&)> onRefresh;

private:
    std::size_t CountLocked(unsigned code) const {
        std::size_t n = 0;
        for (const auto& r : requests_) n += r.code == code;
        return n;
    }

    const linkcore::LinkState& link_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Request> requests_;
    std::vector<std::string> captureEnds_;
};

// A link state of the test's own with its objects created, a temporary
// port directory whose COM1 is a pseudo-terminal, and the controller's end
// of that line.
class LinkHarness : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox_.Open("zonter-test");
        if (HasFatalFailure()) return;
        peer = std::move(sandbox_.peer);
        ASSERT_TRUE(linkcore::CreateSyncObjects(link, &window));
    }

    void TearDown() override {
        linkcore::ReleaseSyncObjects(link);
        peer.reset();
        sandbox_.Close();
    }

    bool Connect(int decoder) { return linkcore::Connect(link, 1, decoder).opened; }

    bool Running(linkcore::WorkerKind kind) const { return link.Slot(kind).thread.Running(); }

    bool Send(std::vector<std::uint8_t> bytes) { return peer->WriteAll(bytes); }

    // Reads what the tool sent, up to n bytes within ms.
    std::vector<std::uint8_t> Receive(std::size_t n, int ms = 3000) {
        std::vector<std::uint8_t> buf(n);
        buf.resize(peer->ReadExactly(buf.data(), n, ms));
        return buf;
    }

    const std::string& dir() const { return sandbox_.dir(); }

    linkcore::LinkState link;  // before the window, which reports on it
    FakeWindow window{link};
    std::unique_ptr<platform::PseudoTerminal> peer;

private:
    PortSandbox sandbox_;
};

}  // namespace testing_support
