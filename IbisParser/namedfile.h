// Files that a checked file names beside itself (a package model's .pkg, the
// .ibs and .ebd files of a board's reference designators): the names that one
// keyword gives in such a file.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The names after every `keyword` line (e.g. "[Component]") of the file at
// `path`, each the rest of its line without comment and trailing blanks, in
// file order; nothing when the file cannot be read.
std::optional<std::vector<std::string>> NamesInFile(const std::string& path, const char* keyword);
