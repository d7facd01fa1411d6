// The keyword groups of an IBIS file (file header, component, model, package
// model, ...): opened by their first keyword, closed when a keyword of another
// group arrives or the file ends; and the handlers that the keyword table names
// for the keywords whose lines are read. Nothing here calls the frame: it hands
// lines in, by the table.
#pragma once

#include <cstdint>

#include "IbisParser/keywords.h"

// Closes the group that is open unless the new keyword (its table row) continues it.
void CloseGroupFor(const KeywordInfo& next);
// Opens the group that the keyword starts, if it starts one.
void OpenGroupFor(const KeywordInfo& row, const char* line);
// The group that is open (kGroupNone between groups).
KeywordGroup OpenGroup();
// The file's final cross-checks, once every group is closed.
void FinishIbis();
// A keyword line read while its group is open (after OpenGroupFor).
void NoteKeyword(const KeywordInfo& row, const char* line);
// Forgets the groups and names of a previous file.
void ResetGroups();

// Handlers of the keyword table.
void HandleHeaderLine(const KeywordLine& line);
void HandlePackageLine(const KeywordLine& line);
void HandleRampLine(const KeywordLine& line);
void HandleAlgorithmicModelLine(const KeywordLine& line);
void HandleModelLine(const KeywordLine& line);
void HandleReferenceLine(const KeywordLine& line);
void HandleSpecLine(const KeywordLine& line);
void HandleTableLine(const KeywordLine& line);
void HandleNamedRowsLine(const KeywordLine& line);
void HandlePackageModelLine(const KeywordLine& line);
void HandleBoardLine(const KeywordLine& line);
