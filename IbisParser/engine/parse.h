// The IBIS file checker's frame: file kinds, version detection, line reading and
// classification, keyword lookup and the dispatch of lines to keyword handlers.
#pragma once

#include <cstdint>
#include <string>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/keywords.h"

// Checks one file of a kind; 1 when it was read to its end, 0 when it could not
// be checked (the reason reported).
int CheckIbisFile(const char* path, int kind);
// The same with the state of the check in `context` (bound to this thread for
// the check): files checked with contexts of their own may be checked at once.
class CheckContext;
int CheckIbisFile(CheckContext& context, const char* path, int kind);

// 1 ... 5 from the file's [IBIS Ver], or 0 when no version is found.
int DetectIbisVersion(const char* path, std::uint32_t* lineCount, int kind);

// The code of the keyword on a keyword line, refined by context; 1 when found.
int LookupKeyword(const char* line, std::int32_t currentCode, std::int32_t* code, const KeywordRow* table);

// The keyword's name from the 2.1 table (or the others for later keywords).
const char* KeywordName(std::int32_t code, std::string* text);


// The line handler of a version: the keyword group machinery for one line.
void HandleLine(int lineClass, char* line);
