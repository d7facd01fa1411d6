// The one table of the checks the engine runs. Adding a check is adding its
// module and its row here.
#pragma once

#include <span>

#include "IbisParser/engine/check.h"

// The checks of IBIS, package and board files, in the order they are told of
// each event.
std::span<const KeywordCheck* const> RegisteredChecks();
// The check that reads a whole file of a kind on its own (null: none; the file
// is read line by line by the engine).
const FileCheck* FileCheckFor(int kind);
// Every whole-file check.
std::span<const FileCheck* const> RegisteredFileChecks();
