// Reports by a bare number and a severity of the caller's choice, unchecked:
// the reporter's own tests exercise every severity, band and unknown number
// through them. The checker reports through the typed functions of report.h.
#pragma once

#include <cstdint>

void ReportBug(std::int32_t number, ...);
void ReportBugAtLine(std::int32_t number, ...);
void ReportError(std::int32_t number, ...);
void ReportErrorAtLine(std::int32_t number, ...);
void ReportWarning(std::int32_t number, ...);
void ReportWarningAtLine(std::int32_t number, ...);
void ReportCaution(std::int32_t number, ...);
void ReportNote(std::int32_t number, ...);
void ReportNoteAtLine(std::int32_t number, ...);
