// The keyword groups of an IBIS file (file header, component, model, package
// model, ...): opened by their first keyword, closed when a keyword of another
// group arrives or the file ends; and the readers of the keywords whose lines
// are read. Nothing here calls the frame: the frame hands lines in.
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

// The reader of a keyword's lines (null: the keyword is accepted unchecked).
KeywordHandler HandlerOf(std::int32_t code);

// The readers.
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
