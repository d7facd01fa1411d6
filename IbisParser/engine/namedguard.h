// The guards of every file that a checked file names (an [Algorithmic Model]'s
// executable and .ami file, a package model's .pkg, the files of a board's
// [Reference Designator Map]): a plain name, looked up only in the folder of the
// checked file; a regular file (a device would spin a reader, a pipe block it);
// and no larger than what its reader takes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class NamedFileProblem { kNone, kMissing, kDirectoryPart, kNotRegular, kTooLarge };

// Absolute, on a drive, the parent folder, or with any separator.
bool HasDirectoryPart(std::string_view name);

// What stands in the way of reading `name` from `directory`. The name is tried
// as written and, with `otherCases`, in lower and then in upper case; the first
// spelling that exists decides (a folder of that name is not passed over for
// another spelling). `path` receives the path of that spelling (as written when
// none exists). A `sizeLimit` of 0 allows any size.
NamedFileProblem GuardNamedFile(const std::string& directory, const std::string& name, bool otherCases,
                                std::uintmax_t sizeLimit, std::string* path);

// Reports at the current line why a named file was not read: 1926 with the
// keyword that named it, 1925 or 1927. A missing file is the caller's to report
// (its wording says what the file was needed for); false then.
bool ReportNamedFileProblem(NamedFileProblem problem, const std::string& name, const std::string& path,
                            const char* keyword, std::uintmax_t sizeLimit);
