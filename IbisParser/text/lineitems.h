// The line splitter's items (words.h: Items) as owned C strings, for the
// keyword readers that keep them: a line cut into items at blanks (and
// optionally at a separator character, which becomes an item of its own).
#pragma once

#include <cstdint>

struct LineItems {
    std::int32_t maxCount;     // items kept
    std::int32_t storedCount;  // items kept (at most maxCount)
    std::int32_t totalCount;   // items on the line, kept or not
    char** items;              // maxCount slots; from totalCount on null
};

// 1 on success, 0 when an allocation failed (already reported).
int SplitLineItems(const char* text, std::int32_t maxCount, char separator, LineItems* out);
void FreeLineItems(LineItems* items);

// Item i when the line holds it, else null: handlers never read an item a line lacks.
inline const char* ItemAt(const LineItems& items, std::int32_t i) {
    return (i >= 0 && i < items.storedCount) ? items.items[i] : nullptr;
}
