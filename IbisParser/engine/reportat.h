// Reports at a line read earlier: checks that run when a group or the file
// ends name the line of the text they are about, not the line being read.
#pragma once

#include <cstdint>

#include "IbisParser/engine/report.h"

inline std::uint32_t CurrentLine() { return Reporting().currentLine; }

template <typename... Args>
void ReportErrorAt(std::uint32_t line, MessageOf<Severity::kError, std::type_identity_t<Args>...> message,
                   Args... args) {
    const CurrentLineScope at(line);
    ReportErrorAtLine(message, args...);
}

template <typename... Args>
void ReportWarningAt(std::uint32_t line, MessageOf<Severity::kWarning, std::type_identity_t<Args>...> message,
                     Args... args) {
    const CurrentLineScope at(line);
    ReportWarningAtLine(message, args...);
}
