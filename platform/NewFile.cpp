#include "platform/NewFile.h"

#include <atomic>

#include "platform/Event.h"
#include "platform/FileCalls.h"

namespace platform {

namespace {

constexpr int kMostNames = 999;
constexpr int kTempAttempts = 100;
// Marks the name of complete contents that could not be moved into place.
constexpr const char* kKeptMark = "-временный";

std::atomic<const FileCalls*> g_installed{nullptr};
std::atomic<unsigned> g_tempSerial{0};

using NameFor = std::function<std::string(int)>;

// "журнал.csv" → "журнал-временный.csv", then "журнал-временный-2.csv", ...
std::string KeptName(const std::string& name, int n) {
    const std::size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    return stem + kKeptMark + (n < 2 ? std::string() : "-" + std::to_string(n)) + extension;
}

struct Move {
    int error = 0;     // 0: moved
    std::string name;  // the name it got
};

// Moves `temp` to the first free name of nameFor(1), nameFor(2), ... A move
// another program holds up is tried again, paced, while `retry` allows and
// kHeldRetryMs last, unless `stop` is set. The error is the last refusal; a
// refusal for a taken name means that every name was taken.
Move MoveToFreeName(const FileCalls& calls, const std::string& prefix, const std::string& temp, const NameFor& nameFor,
                    bool retry, const Event* stop) {
    Move move;
    int waitedMs = 0;
    for (int n = 1; n <= kMostNames;) {
        const std::string candidate = nameFor(n);
        move.error = calls.moveNew(temp, prefix + candidate);
        if (move.error == 0) {
            move.name = candidate;
            return move;
        }
        if (NameTaken(move.error)) {
            ++n;
            continue;
        }
        if (!retry || !HeldByAnother(move.error) || waitedMs >= kHeldRetryMs) break;
        if (!calls.pause(stop, kHeldRetryPaceMs)) break;
        waitedMs += kHeldRetryPaceMs;
    }
    return move;
}

}  // namespace

const FileCalls& CurrentFileCalls() {
    const FileCalls* installed = g_installed.load();
    return installed != nullptr ? *installed : SystemFileCalls();
}

FileCallsScope::FileCallsScope(const FileCalls& calls) : previous_(g_installed.exchange(&calls)) {}

FileCallsScope::~FileCallsScope() { g_installed.store(previous_); }

bool PauseBetweenTries(const Event* stop, int ms) {
    if (stop == nullptr) return WaitAny({nullptr}, ms) < 0;
    return PauseUnlessStopped(*stop, ms);
}

NewFileResult WriteNewFile(const std::string& dir, const NameFor& nameFor, std::string_view contents,
                           const Event* stop) {
    const FileCalls& calls = CurrentFileCalls();
    NewFileResult result;
    result.name = nameFor(1);
    std::string prefix = dir;
    if (!prefix.empty() && prefix.back() != '/' && prefix.back() != kFolderSeparator) prefix += kFolderSeparator;

    // A temporary name of this process's own in the same folder, so that the
    // move below stays on one volume and cannot half-happen.
    std::string tempName;
    NativeHandle file = kNoHandle;
    int error = 0;
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        tempName = "." + result.name + "." + std::to_string(ProcessNumber()) + "-" +
                   std::to_string(g_tempSerial.fetch_add(1)) + ".tmp";
        error = calls.createNew(prefix + tempName, &file);
        if (error == 0 || !NameTaken(error)) break;
    }
    if (error != 0) {
        result.error = error;
        return result;
    }
    const std::string temp = prefix + tempName;
    error = calls.write(file, contents.data(), contents.size());
    if (error == 0) error = calls.flush(file);
    const int closeError = calls.close(file);
    if (error == 0) error = closeError;
    if (error != 0) {
        result.error = error;
        static_cast<void>(calls.remove(temp));  // a part of the contents is no file
        return result;
    }

    const Move placed = MoveToFreeName(calls, prefix, temp, nameFor, true, stop);
    if (placed.error == 0) {
        result.written = true;
        result.name = placed.name;
        return result;
    }
    result.error = placed.error;
    if (NameTaken(placed.error)) {
        static_cast<void>(calls.remove(temp));  // every name is taken: nowhere to keep it
        return result;
    }
    // The contents are whole: they stay, under a name that shows if the
    // system lets it be given.
    const Move kept = MoveToFreeName(
        calls, prefix, temp, [&](int n) { return KeptName(result.name, n); }, false, stop);
    result.kept = kept.error == 0 ? kept.name : tempName;
    return result;
}

}  // namespace platform
