// State and services of the checker's file frame, shared by the keyword handlers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "IbisParser/engine/keywordcodes.h"

enum IbisFileKind : int { kFileIbs = 1, kFilePkg = 2, kFileEbd = 3, kFileAmi = 4 };

// Maximum path and name length of the file utilities.
constexpr std::size_t kMaxPath = 1024;

struct FrameState {
    int kind = kFileIbs;
    int version = 0;                 // 1 ... 7, the major IBIS version in force
    int versionCode = 72;            // the version in force as 10 * major + minor
    std::int32_t currentKeyword = 119;
    bool endSeen = false;
    bool ibisVerSeen = false;
    char commentChar = '|';
    bool tabReported = false;
    bool submodelOpen = false;
    std::string directory;           // of the file being checked, with its separator
    std::string bareName;            // the file's name without directory
    bool longLinesAllowed = false;
    bool quiet = false;              // no "Checking ..." banners
    bool noFileChecks = false;       // named executables and .ami files are not looked for
    // Open sections ([Algorithmic Model] ... [End Algorithmic Model]), innermost last.
    static constexpr int kMaxSections = 4;
    std::int32_t sections[kMaxSections] = {};
    std::uint32_t sectionLines[kMaxSections] = {};
    int sectionDepth = 0;
};

FrameState& Frame();

// Reads one line (line end removed: LF, CR LF or a lone CR; a Ctrl-Z at the very
// end of the file dropped); keeps at most `keep` characters. Illegal characters
// become blanks. With `report` set the line read becomes the current line of the
// reports and its illegal characters are reported there (error 1917).
// Returns false at the end of the file. `length` receives the full length.
bool ReadCheckedLine(std::FILE* file, std::string& line, std::size_t keep, std::size_t& length, bool report);

// What a path names, following symbolic links.
enum class PathKind { kMissing, kRegular, kOther };
PathKind KindOfPath(const std::string& path);

// Opens a regular file of a kind by the extension rules; sets the frame's directory.
int OpenCheckedFile(const char* path, int kind, std::FILE** file, std::string* bareName);

// The directory part of a path (up to the last slash or backslash) and the rest.
void SplitPath(const std::string& path, std::string& directory, std::string& name);

// The file kind of a path by its extension (0 when none fits).
int FileKindOf(const std::string& path);

// IBIS versions as 10 * major + minor: 11 is IBIS 1.1, 72 is IBIS 7.2.
constexpr int kIbisVersions[] = {11, 20, 21, 30, 31, 32, 40, 41, 42, 50, 51, 60, 61, 70, 71, 72};
constexpr int kNewestIbisVersion = 72;
// The code of an exact version text ("5.1" -> 51), or 0 when it is none of them.
int IbisVersionCode(const char* text);
// "5.1" for 51.
const char* IbisVersionText(int code);
