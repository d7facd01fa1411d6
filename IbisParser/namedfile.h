// Files that a checked file names beside itself (a package model's .pkg, the
// .ibs and .ebd files of a board's reference designators): the names that one
// keyword gives in such a file, and the pins listed under each name.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct NamedEntry {
    std::string name;               // the rest of the keyword's line, without comment and trailing blanks
    std::vector<std::string> pins;  // the first word of each data line of its pin keyword
};

// The entries of every `keyword` line (e.g. "[Component]") of the file at
// `path`, in file order, each with the pins of the `pinKeyword` (e.g. "[Pin]";
// null: none) that follow it; nothing when the file cannot be read. Keywords
// are compared ignoring case, a blank and an underscore alike.
std::optional<std::vector<NamedEntry>> ReadNamedFile(const std::string& path, const char* keyword,
                                                     const char* pinKeyword = nullptr);
