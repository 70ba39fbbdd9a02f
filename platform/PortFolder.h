#pragma once

#include <optional>
#include <string>

// The file-system side of the port directory (PortNames.h), implemented
// for each system: PortNames.cpp decides what is looked up in which
// order, these functions touch the folder.
namespace platform::portdir {

// The port directory when none is set: in the user's runtime folder, or
// else in a per-user folder under the shared temporary folder.
std::string DefaultDirectory();

// Creates `dir` (and its parents) as needed, private to this user.
// False when it cannot be made or is not fit to hold port links.
bool Prepare(const std::string& dir);

// Whether anything (a link, even a dangling one, or a file) is at `path`.
bool EntryExists(const std::string& path);

// Makes `link` a symbolic link to `target`, replacing an earlier entry of
// that name in one step, so that a concurrent lookup sees either the old
// or the new target.
bool PlaceLink(const std::string& link, const std::string& target);

// Where the symbolic link at `link` points; nothing when it is no link.
std::optional<std::string> LinkTarget(const std::string& link);

void RemoveEntry(const std::string& path);

}  // namespace platform::portdir
