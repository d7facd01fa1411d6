// The keyword groups of an IBIS file (file header, component, model, package
// model, ...): opened by their first keyword, closed when a keyword of another
// group arrives or the file ends. The engine tells the registered checks of
// each opening and closing, of the start and end of the file, and hands them
// the lines of the keywords they listen to. Nothing here calls the frame: the
// frame hands lines in.
#pragma once

#include <cstdint>

#include "IbisParser/engine/keywords.h"

// Forgets the groups and names of a previous file; the checks start a new file.
void ResetGroups();
// Closes the group that is open unless the new keyword (its table row) continues it.
void CloseGroupFor(const KeywordInfo& next);
// Opens the group that the keyword starts, if it starts one.
void OpenGroupFor(const KeywordInfo& row, const char* line);
// The group that is open (kGroupNone between groups).
KeywordGroup OpenGroup();
// A keyword line read while its group is open (after OpenGroupFor).
void NoteKeyword(const KeywordInfo& row, const char* line);
// A keyword or data line of the current keyword, for the checks that listen to it.
void DispatchLine(int lineClass, std::int32_t code, const char* line);
// The file's final cross-checks, once every group is closed.
void FinishIbis();
