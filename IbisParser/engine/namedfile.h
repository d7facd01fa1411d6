// Files that a checked file names beside itself (a package model's .pkg, the
// .ibs and .ebd files of a board's reference designators): the names that one
// keyword gives in such a file, and the pins listed under each name. Each file
// is read once per checked file, however many lines name it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "IbisParser/engine/namedguard.h"

// The largest file named this way that is read: real package and model files
// reach a few tens of MB.
constexpr std::uintmax_t kNamedFileSizeLimit = 256ull << 20;

struct NamedEntry {
    std::string name;  // the rest of the keyword's line, without comment and trailing blanks
    std::unordered_set<std::string> pins;  // the first word of each data line of its pin keyword, in lower case

    // Whether the entry lists the pin, ignoring case.
    bool HasPin(std::string_view pin) const;
};

struct NamedFile {
    NamedFileProblem problem = NamedFileProblem::kMissing;  // kNone: read
    std::string path;                                       // the path looked at
    std::vector<NamedEntry> entries;                        // in file order
    std::unordered_map<std::string, std::size_t> byName;    // the first entry of each name

    // The first entry of that name; null when there is none.
    const NamedEntry* Find(const std::string& name) const;
};

// The entries of every `keyword` line (e.g. "[Component]") of the file `name`
// beside the checked file (tried as written, in lower and in upper case), in
// file order, each with the pins of the `pinKeyword` (e.g. "[Pin]"; null: none)
// that follow it. Keywords are compared ignoring case, a blank and an
// underscore alike. Only a file that passes the guards of named files is read;
// a later call for the same name and keywords returns the first result.
const NamedFile& ReadNamedFile(const std::string& name, const char* keyword, const char* pinKeyword = nullptr);

// Forgets the files read (a new checked file: they may have changed).
void ForgetNamedFiles();
