// The file header keywords: [IBIS Ver], [File Name], [File Rev], [Date],
// [Source], [Notes], [Disclaimer] and [Copyright].
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The longest values kept (a longer one is cut, and reported).
constexpr std::size_t kVersionLimit = 70, kRevisionLimit = 70, kDateLimit = 40;

struct FileHeader {
    FileHeader* next = nullptr;
    // The single-line values, cut to their keyword's length; empty when not given.
    std::string ibisVersion, fileName, fileRevision, date;
    // The free texts, their lines joined by a line feed; none when not given.
    std::optional<std::string> source, notes, disclaimer, copyright;
};

// A new header starts: its record, which the caller stores (and frees with
// HdrFree); null when it could not be made (reported).
FileHeader* HdrOpen();
void HdrLine(int lineClass, std::int32_t code, const char* line);
void HdrClose(std::int32_t newCode);
void HdrFree(FileHeader** list);

// Getters: 1 and the value when present, else 0 and null.
int HdrGetIbisVersion(const FileHeader* h, const char** value);
int HdrGetFileName(const FileHeader* h, const char** value);
int HdrGetFileRevision(const FileHeader* h, const char** value);
int HdrGetDate(const FileHeader* h, const char** value);
int HdrGetSource(const FileHeader* h, const char** value);
int HdrGetNotes(const FileHeader* h, const char** value);
int HdrGetDisclaimer(const FileHeader* h, const char** value);
int HdrGetCopyright(const FileHeader* h, const char** value);

// Options, all off at load.
void HdrSetAcceptVersion1(bool on);
void HdrSetSkipFileNameChecks(bool on);
void HdrSetTreatAsVersion5(bool on);

// Common value utilities of the checker's keyword handlers.
int CopyFieldTruncating(std::string& field, const char* value, std::uint32_t limit, const char* keyword);
int CopyFieldChecked(std::string& field, const char* value, std::uint32_t limit, const char* keyword);
void CheckReservedWord(const char* value);
void CheckRequiredKeyword(const char* keyword, int seen);
