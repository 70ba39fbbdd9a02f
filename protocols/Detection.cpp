#include "protocols/Detection.h"

#include <algorithm>
#include <unordered_map>

#include "protocols/Codecs.h"

namespace protocols {

namespace {

// Frame starts more than this far from the period (or a whole multiple of
// it, for a frame lost between two) are not steady. Bytes reach a reader in
// packets, so a start may arrive late by a packet's time.
constexpr std::int64_t kJitterMs = 30;

// The longest frame a structure is looked for at.
constexpr std::size_t kMaxStructureLength = 64;
constexpr std::size_t kMinStructureLength = 4;

// How often a listening window looks for a decoder's frames.
constexpr std::int64_t kExamineEveryMs = 25;

// The median of the intervals between the given times, and whether they
// come steadily: at least three in four of the intervals lie within the
// jitter of one, two or three periods.
struct Period {
    int ms = 0;
    bool steady = false;
};

Period PeriodOf(const std::vector<std::int64_t>& starts) {
    if (starts.size() < 3) return {};
    std::vector<std::int64_t> gaps;
    for (std::size_t i = 1; i < starts.size(); ++i) gaps.push_back(starts[i] - starts[i - 1]);
    std::vector<std::int64_t> sorted = gaps;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    const std::int64_t median = sorted[sorted.size() / 2];
    const std::int64_t tolerance = std::max(kJitterMs, median / 4);
    std::size_t fitting = 0;
    for (const std::int64_t gap : gaps) {
        for (std::int64_t k = 1; k <= 3; ++k) {
            if (std::abs(gap - k * median) <= tolerance) {
                ++fitting;
                break;
            }
        }
    }
    return {static_cast<int>(median), fitting * 4 >= gaps.size() * 3};
}

bool SyncAt(const ProtocolInfo& info, std::span<const std::uint8_t> bytes, std::size_t at) {
    if (at + info.syncCount > bytes.size()) return false;
    for (std::size_t k = 0; k < info.syncCount; ++k) {
        if (bytes[at + k] != info.sync[k]) return false;
    }
    return true;
}

// The frames of one codec in the bytes: a frame is its sync bytes and the
// frame length; one whose check fails counts as an error only when the
// next frame's sync bytes follow it, else its start was chance.
// `promising` (when given) tells whether some frame that passes its checks
// is followed by the next one's sync bytes or ends what was heard: frames
// may be coming.
Finding FramesOf(const Codec& codec, std::span<const std::uint8_t> bytes, std::span<const std::int64_t> atMs,
                 bool* promising = nullptr) {
    const ProtocolInfo& info = codec.Info();
    const std::size_t length = info.rxFrameLength;
    Finding f;
    f.protocol = info.index;
    std::vector<std::int64_t> starts;
    for (std::size_t i = 0; i + length <= bytes.size();) {
        if (!SyncAt(info, bytes, i)) {
            ++i;
            continue;
        }
        const FrameFit fit = codec.FitControllerFrame(bytes.subspan(i, length));
        if (fit == FrameFit::Valid) {
            ++f.frames;
            if (promising && (i + length == bytes.size() || SyncAt(info, bytes, i + length))) *promising = true;
        } else if (fit == FrameFit::BadCheck && SyncAt(info, bytes, i + length)) {
            ++f.errors;
        } else {
            ++i;
            continue;
        }
        starts.push_back(atMs[i]);
        i += length;
    }
    const Period period = PeriodOf(starts);
    f.periodMs = period.ms;
    if (f.frames >= kMinProtocolFrames && f.errors < f.frames && period.steady) f.kind = Finding::Kind::Protocol;
    return f;
}

// The strongest structure: a two-byte start whose places in the bytes
// recur at one frame length, the shortest length at which at least three
// in four of them do. Among starts with equally long runs the one after
// the longest pauses in arrival wins: a frame starts after the line was
// quiet.
Finding StructureOf(std::span<const std::uint8_t> bytes, std::span<const std::int64_t> atMs) {
    Finding best;
    if (bytes.size() < kMinStructureLength * kMinStructureFrames) return best;
    std::unordered_map<unsigned, std::vector<std::size_t>> places;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) places[bytes[i] * 256u + bytes[i + 1]].push_back(i);

    std::int64_t bestPause = -1;
    for (const auto& place : places) {
        const unsigned pair = place.first;
        const std::vector<std::size_t>& at = place.second;  // named: clang before 16 cannot capture a binding
        if (at.size() < static_cast<std::size_t>(kMinStructureFrames)) continue;
        auto present = [&at](std::size_t p) { return std::binary_search(at.begin(), at.end(), p); };
        std::size_t length = 0;
        for (std::size_t l = 1; l <= kMaxStructureLength && length == 0; ++l) {
            std::size_t links = 0;
            for (const std::size_t p : at) links += present(p + l) ? 1 : 0;
            if (links * 4 >= (at.size() - 1) * 3) length = l;
        }
        if (length < kMinStructureLength) continue;

        // The longest run of starts one frame length apart.
        std::vector<std::size_t> run, longest;
        for (const std::size_t p : at) {
            if (!run.empty() && run.back() + length != p) {
                if (run.size() > longest.size()) longest = run;
                run.clear();
            }
            run.push_back(p);
        }
        if (run.size() > longest.size()) longest = run;
        if (longest.size() < static_cast<std::size_t>(kMinStructureFrames)) continue;

        std::vector<std::int64_t> starts;
        std::int64_t pause = 0;
        for (const std::size_t p : longest) {
            starts.push_back(atMs[p]);
            if (p > 0) pause += atMs[p] - atMs[p - 1];
        }
        const Period period = PeriodOf(starts);
        if (!period.steady) continue;
        const int frames = static_cast<int>(longest.size());
        const int strays = static_cast<int>(at.size() - longest.size());
        const bool better = best.kind == Finding::Kind::Nothing || frames - strays > best.frames - best.errors ||
                            (frames - strays == best.frames - best.errors && pause > bestPause);
        if (!better) continue;
        best.kind = Finding::Kind::Structure;
        best.frames = frames;
        best.errors = strays;
        best.frameLength = length;
        best.start = {static_cast<std::uint8_t>(pair >> 8), static_cast<std::uint8_t>(pair & 0xFF)};
        best.periodMs = period.ms;
        bestPause = pause;
    }
    return best;
}

}  // namespace

Finding ExamineProtocols(std::span<const std::uint8_t> bytes, std::span<const std::int64_t> atMs, unsigned speed) {
    Finding found;
    for (const Codec* codec : Codecs()) {
        const ProtocolInfo& info = codec->Info();
        if (info.rxFrameLength == 0 || info.syncCount == 0) continue;
        const Finding f = FramesOf(*codec, bytes, atMs);
        if (f.kind == Finding::Kind::Protocol && (found.kind != Finding::Kind::Protocol || f.frames > found.frames)) {
            found = f;
        }
    }
    found.speed = speed;
    found.bytesHeard = bytes.size();
    return found;
}

Finding Examine(std::span<const std::uint8_t> bytes, std::span<const std::int64_t> atMs, unsigned speed) {
    Finding found = ExamineProtocols(bytes, atMs, speed);
    if (found.kind == Finding::Kind::Protocol) return found;
    found = StructureOf(bytes, atMs);
    found.speed = speed;
    found.bytesHeard = bytes.size();
    return found;
}

std::vector<unsigned> SweepSpeeds() {
    std::vector<unsigned> speeds;
    auto add = [&speeds](unsigned speed) {
        if (speed != 0 && std::find(speeds.begin(), speeds.end(), speed) == speeds.end()) speeds.push_back(speed);
    };
    for (const Codec* codec : Codecs()) {
        const ProtocolInfo& info = codec->Info();
        if (info.rxFrameLength != 0 && info.syncCount != 0) add(info.connect.speed);
    }
    for (const unsigned speed : kStandardSpeeds) add(speed);
    return speeds;
}

void ListenWindow::Add(std::uint8_t byte, std::int64_t elapsedMs) {
    bytes_.push_back(byte);
    atMs_.push_back(elapsedMs);
}

bool ListenWindow::Done(std::int64_t elapsedMs) {
    // A bound is never passed on bytes not yet looked at.
    auto crosses = [&](std::int64_t bound) { return elapsedMs >= bound && examinedAtMs_ < bound; };
    const bool deciding = crosses(kQuickListenMs) || crosses(kLongListenMs);
    if (bytes_.size() > examined_ && (deciding || elapsedMs >= examinedAtMs_ + kExamineEveryMs)) {
        examined_ = bytes_.size();
        examinedAtMs_ = elapsedMs;
        for (const Codec* codec : Codecs()) {
            const ProtocolInfo& info = codec->Info();
            if (info.rxFrameLength == 0 || info.syncCount == 0) continue;
            const Finding f = FramesOf(*codec, bytes_, atMs_, &sawFrame_);
            foundProtocol_ = foundProtocol_ || f.kind == Finding::Kind::Protocol;
        }
    }
    if (foundProtocol_ || elapsedMs >= kLongListenMs) return true;
    return elapsedMs >= kQuickListenMs && !sawFrame_;
}

std::int64_t ListenWindow::WaitMs(std::int64_t elapsedMs) const {
    const std::int64_t bound = sawFrame_ || elapsedMs >= kQuickListenMs ? kLongListenMs : kQuickListenMs;
    return std::clamp<std::int64_t>(std::min(bound - elapsedMs, kExamineEveryMs), 1, kExamineEveryMs);
}

Sweep::Sweep() : speeds_(SweepSpeeds()) { done_ = speeds_.empty(); }

void Sweep::Take(const Finding& finding) {
    if (done_) return;
    bytes_ += finding.bytesHeard;
    ++next_;
    if (finding.kind == Finding::Kind::Protocol) {
        best_ = finding;
        done_ = true;
        return;
    }
    if (finding.kind == Finding::Kind::Structure &&
        (best_.kind != Finding::Kind::Structure || finding.frames - finding.errors > best_.frames - best_.errors)) {
        best_ = finding;
    }
    done_ = next_ >= speeds_.size();
}

Finding Sweep::Result() const {
    Finding result = best_;
    result.bytesHeard = bytes_;
    return result;
}

}  // namespace protocols
