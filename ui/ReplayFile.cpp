#include "ui/ReplayFile.h"

#include <algorithm>

#include "platform/MappedFile.h"
#include "protocols/CaptureReader.h"
#include "protocols/SessionCsv.h"

namespace monitor {

namespace {

void ReadLog(platform::MappedFile& file, const ReplayProgress& progress, ReplayRead& out) {
    const std::size_t size = file.Bytes().size();
    protocols::SessionLog log =
        protocols::ParseSessionCsv(file.Bytes(), protocols::kSessionMaxRows, [&](std::size_t read) {
            file.Release(read);
            return !progress || progress(read, size);
        });
    file.Close();
    out.error = std::move(log.error);
    out.stopped = log.stopped;
    if (out.error || out.stopped) return;
    const protocols::SessionRecord* first = nullptr;
    for (const protocols::SessionRecord& row : log.rows) {
        if (row.direction != protocols::Direction::FromController) continue;
        if (first == nullptr) {
            first = &row;
            // Room for every row: a log is mostly the controller's frames.
            out.frames.reserve(log.rows.size() - static_cast<std::size_t>(first - log.rows.data()));
        }
        ReplayFrame& f = out.frames.emplace_back();
        f.atMs = std::max<std::int64_t>(0, row.timeMs - first->timeMs);
        std::copy_n(row.bytes.begin(), std::min<std::size_t>(row.length, f.bytes.size()), f.bytes.begin());
    }
}

void ReadCapture(const platform::MappedFile& file, double frameMs, ReplayRead& out) {
    const protocols::CaptureReadResult read = protocols::ReadCaptureFile(file.Bytes());
    out.error = read.error;
    if (out.error) return;
    // A capture's frames followed each other without gaps on the line.
    out.frames.resize(read.frames.size());
    for (std::size_t k = 0; k < read.frames.size(); ++k) {
        out.frames[k].atMs = static_cast<std::int64_t>(static_cast<double>(k) * frameMs);
        out.frames[k].bytes = read.frames[k];
    }
}

}  // namespace

ReplayRead ReadReplayFile(const std::string& path, ReplayKind kind, std::size_t limit, double captureFrameMs,
                          const ReplayProgress& progress) {
    ReplayRead out;
    platform::MappedFile file;
    out.opened = file.Open(path, limit);
    if (!out.opened) {
        out.tooLarge = file.TooLarge();
        out.systemError = file.Error();
        return out;
    }
    if (kind == ReplayKind::SessionLog) {
        ReadLog(file, progress, out);
    } else {
        ReadCapture(file, captureFrameMs, out);
    }
    return out;
}

}  // namespace monitor
