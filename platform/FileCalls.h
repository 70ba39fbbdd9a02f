#pragma once

#include <cstddef>
#include <string>

#include "platform/NativeHandle.h"

namespace platform {

class Event;

// The few system calls that place a new file (WriteNewFile, NewFile.h),
// one table a system. Paths are UTF-8; every call returns 0 or the
// system's error number (errno, or a GetLastError code on Windows). Tests
// put a scripted table in the system's place for a scope (FileCallsScope).
struct FileCalls {
    // Creates `path` for writing; fails when a file of that name exists.
    int (*createNew)(const std::string& path, NativeHandle* file);
    // Writes all `size` bytes.
    int (*write)(NativeHandle file, const char* data, std::size_t size);
    // Flushes the file's contents to the disk.
    int (*flush)(NativeHandle file);
    int (*close)(NativeHandle file);
    // Gives the file `from` the name `to` in the same folder, never
    // replacing a file of that name.
    int (*moveNew)(const std::string& from, const std::string& to);
    int (*remove)(const std::string& path);
    // The wait between two tries of a move that another program refused:
    // `ms` milliseconds, unless `stop` (null: none) is set first. False
    // when stopped.
    bool (*pause)(const Event* stop, int ms);
};

// The system's own table.
[[nodiscard]] const FileCalls& SystemFileCalls();

// The table in force: the one a FileCallsScope put in place, or the
// system's.
[[nodiscard]] const FileCalls& CurrentFileCalls();

// Puts `calls` in the system's place for the whole process while it
// lives; the table in force before comes back after.
class FileCallsScope {
public:
    explicit FileCallsScope(const FileCalls& calls);
    ~FileCallsScope();
    FileCallsScope(const FileCallsScope&) = delete;
    FileCallsScope& operator=(const FileCallsScope&) = delete;

private:
    const FileCalls* previous_;
};

// The system's answers, by kind:
// a file of that name exists (a move or a create must take another name);
[[nodiscard]] bool NameTaken(int error);
// another program holds the file or the name for a moment (a scanner, an
// indexer, a sync client): the move is tried again.
[[nodiscard]] bool HeldByAnother(int error);

// What goes between a folder and a name in a path.
extern const char kFolderSeparator;

// This process's number, to keep its temporary names apart from another's.
[[nodiscard]] unsigned ProcessNumber();

// The system table's pause: a paced wait that wakes at once when `stop`
// is set.
[[nodiscard]] bool PauseBetweenTries(const Event* stop, int ms);

// A refused move is tried again every kHeldRetryPaceMs for kHeldRetryMs.
inline constexpr int kHeldRetryMs = 2000;
inline constexpr int kHeldRetryPaceMs = 100;

}  // namespace platform
