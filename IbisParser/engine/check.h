// What a check is to the engine: a named unit that reads the lines of the
// keywords it lists and is told when a group opens or closes and when a file
// starts or ends. The engine calls the registered checks (registry.h) in their
// registry order and never names one; a check keeps its state in a slot of the
// check context, never in a static.
#pragma once

#include <cstdint>
#include <span>

#include "IbisParser/engine/keywordcodes.h"

// A group that opens or closes.
struct GroupEvent {
    KeywordGroup group;
    // The component's or model's name (the rest of its keyword's line; may be
    // null for a component or model, always null for other groups).
    const char* name;
    // The keyword that opens the group, or on closing the keyword that closes it
    // (KW_END when the file ends).
    std::int32_t keyword;
};

// One check of IBIS, package and board files. Every event may be left null.
struct KeywordCheck {
    const char* name;                        // for the registry's tests and for readers
    std::span<const std::int32_t> keywords;  // whose keyword and data lines go to onLine
    void (*onFileStart)() = nullptr;         // a file's lines are about to be read
    void (*onGroupOpen)(const GroupEvent&) = nullptr;
    // Every keyword line read, once its group is open and before it goes to the
    // checks that listen to its keyword.
    void (*onKeyword)(const KeywordLine&) = nullptr;
    void (*onLine)(const KeywordLine&) = nullptr;
    void (*onGroupClose)(const GroupEvent&) = nullptr;
    void (*onFileEnd)() = nullptr;  // every group closed
};

// A check that reads a whole file of one kind on its own (.ami parameter files).
struct FileCheck {
    const char* name;
    int kind;  // IbisFileKind
    // False when the file could not be read to its end (the reason reported).
    bool (*check)(const char* path);
};
