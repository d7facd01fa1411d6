// Reports at a line read earlier: checks that run when a group or the file
// ends name the line of the text they are about, not the line being read.
#pragma once

#include <cstdint>

#include "IbisParser/report.h"

inline std::uint32_t CurrentLine() { return Reporting().currentLine; }

// Runs a line reporter with the current line set to `line` for its report.
template <typename Reporter, typename... Args>
void ReportAt(std::uint32_t line, Reporter reporter, std::int32_t number, Args... args) {
    const std::uint32_t keep = Reporting().currentLine;
    Reporting().currentLine = line;
    reporter(number, args...);
    Reporting().currentLine = keep;
}

template <typename... Args>
void ReportErrorAt(std::uint32_t line, std::int32_t number, Args... args) {
    ReportAt(line, ReportErrorAtLine, number, args...);
}

template <typename... Args>
void ReportWarningAt(std::uint32_t line, std::int32_t number, Args... args) {
    ReportAt(line, ReportWarningAtLine, number, args...);
}
