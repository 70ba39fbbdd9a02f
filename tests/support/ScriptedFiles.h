#pragma once

// A file system that answers as one does while another program (a
// scanner, the search indexer, a sync client) holds a file just written:
// the system's own calls, except that the first moves are refused. It
// stands in the system's place while it lives.

#include <atomic>
#include <functional>
#include <string>

#include "platform/Event.h"
#include "platform/FileCalls.h"

namespace testing_support {

// Refuses every move, however many are tried.
inline constexpr int kEveryMove = -1;

class ScriptedFiles {
public:
    // The first `refusals` moves (kEveryMove: all) are answered with
    // `error`. The waits between tries pass at once and are counted;
    // `onPause`, when given, runs at each instead and the system's own
    // wait follows it.
    ScriptedFiles(int error, int refusals, std::function<void()> onPause = {})
        : error_(error), refusals_(refusals), onPause_(std::move(onPause)), scope_(Installed(this)) {}
    ScriptedFiles(const ScriptedFiles&) = delete;
    ScriptedFiles& operator=(const ScriptedFiles&) = delete;

    int Moves() const { return moves_.load(); }
    int Pauses() const { return pauses_.load(); }

private:
    static const platform::FileCalls& Installed(ScriptedFiles* self) {
        current_.store(self);
        static const platform::FileCalls calls = [] {
            platform::FileCalls c = platform::SystemFileCalls();
            c.moveNew = &ScriptedFiles::MoveNew;
            c.pause = &ScriptedFiles::Pause;
            return c;
        }();
        return calls;
    }

    static int MoveNew(const std::string& from, const std::string& to) {
        ScriptedFiles& self = *current_.load();
        const int n = self.moves_.fetch_add(1);
        if (self.refusals_ == kEveryMove || n < self.refusals_) return self.error_;
        return platform::SystemFileCalls().moveNew(from, to);
    }

    static bool Pause(const platform::Event* stop, int ms) {
        ScriptedFiles& self = *current_.load();
        self.pauses_.fetch_add(1);
        if (!self.onPause_) return true;
        self.onPause_();
        return platform::SystemFileCalls().pause(stop, ms);
    }

    // The script in force: the seam's table holds plain functions.
    static inline std::atomic<ScriptedFiles*> current_{nullptr};

    const int error_;
    const int refusals_;
    const std::function<void()> onPause_;
    std::atomic<int> moves_{0};
    std::atomic<int> pauses_{0};
    platform::FileCallsScope scope_;
};

}  // namespace testing_support
