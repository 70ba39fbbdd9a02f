#pragma once

#include <optional>
#include <string>

// The file-system side of the port directory (PortNames.h): the POSIX
// PortNames.cpp decides what is looked up in which order, these functions
// touch the folder.
namespace platform::portdir {

// The port directory when none is set: in the user's runtime folder, or
// else in a per-user folder under the shared temporary folder.
[[nodiscard]] std::string DefaultDirectory();

// The per-user folder in a shared place that the default port directory
// falls back to (/tmp/zonter-<uid>); empty where there is none.
[[nodiscard]] std::string SharedBase();

// The one rule for a folder whose links name ports: `dir` is a real
// directory (not itself a link), owned by this user and writable by no
// one else; and when `dir` lies inside `sharedBase`, so is `sharedBase`.
// Otherwise another user could point COMn at a line of theirs.
[[nodiscard]] bool IsPrivate(const std::string& dir, const std::string& sharedBase);

// Creates `dir` (and its parents) as needed, new folders private to this
// user. Nothing is created inside `sharedBase` unless that folder is
// private by the rule above. Whether `dir` itself may be trusted is for
// IsPrivate to say.
[[nodiscard]] bool Prepare(const std::string& dir, const std::string& sharedBase);

// Whether anything (a link, even a dangling one, or a file) is at `path`.
[[nodiscard]] bool EntryExists(const std::string& path);

// Makes `link` a symbolic link to `target`, replacing an earlier entry of
// that name in one step, so that a concurrent lookup sees either the old
// or the new target.
[[nodiscard]] bool PlaceLink(const std::string& link, const std::string& target);

// Where the symbolic link at `link` points; nothing when it is no link.
[[nodiscard]] std::optional<std::string> LinkTarget(const std::string& link);

void RemoveEntry(const std::string& path);

}  // namespace platform::portdir
