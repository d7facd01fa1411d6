// The keyword groups of an IBIS file (file header, component, model, package
// model, ...): opened by their first keyword, fed their lines, closed when a
// keyword of another group arrives or the file ends.
#pragma once

#include <cstdint>

// Closes the group that is open unless the new keyword continues it.
void CloseGroupFor(std::int32_t newCode);
// Opens the group that the keyword starts, if it starts one.
void OpenGroupFor(std::int32_t code, const char* line);
// Hands a line of the current keyword to its group; false for an unknown code.
bool DispatchToGroup(std::int32_t code, int lineClass, const char* line);
// The file's final cross-checks, once every group is closed.
void FinishIbis();
