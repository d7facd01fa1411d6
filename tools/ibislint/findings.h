// The findings of one checked file, made ready for the formats read by programs
// and by people in pipelines: in file order, runs of alike findings folded.
#pragma once

#include <string>
#include <vector>

#include "IbisParser/engine/report.h"

// The result of checking one file named on the command line.
struct CheckedFile {
    std::string path;  // as given
    std::uint32_t bugs = 0, errors = 0, warnings = 0, cautions = 0;
    bool failed = false;
    bool checked = true;  // false: the file could not be read (a failure, whatever was disabled)
    std::vector<Finding> findings;  // its own and those of the files it names
};

// Groups the findings by file (`first`, the file named on the command line,
// then the files it names in the order they were first reported on) and puts each file's findings in line order; findings without a line follow
// those with one. Equal lines keep the order they were reported in.
void OrderFindings(std::vector<Finding>& findings, const std::string& first);

// Folds each run of alike findings into its first one, with the count and the
// last line: the same file, severity, number and text, on the same line or the
// next one (without a line: the same text).
void FoldFindings(std::vector<Finding>& findings);

// "E", "W", "C", "N" or "B": the letter of the numbered style.
char SeverityLetter(std::int32_t kind);
// "error", "warning" or "note", as compilers write them; bugs are errors and
// cautions warnings.
const char* SeverityWord(std::int32_t kind);
// " (12 times, lines 40-51)" for a folded finding, "" for a single one.
std::string FoldNote(const Finding& f);
