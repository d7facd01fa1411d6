// The one keyword table from which the frame learns everything about a keyword:
// its name, the version that introduced it, its group, and the section it opens
// or must stand in. Adding a keyword is adding a row (and its code). Which
// checks read its lines is the registry's business, not the table's.
#pragma once

#include <cstdint>

#include "IbisParser/engine/keywordcodes.h"

enum KeywordFlags : unsigned {
    kStartsGroup = 1u,  // opens its group even inside an open one of the same kind
    kRefinedOnly = 2u,  // a code that context gives a name, never matched by name alone
    kIbsOnly = 4u,      // error 911 in a file of another kind
};

// Reporters at the current line of a section left without its end keyword (the
// end keyword, the section's keyword, the section's line) and of an end keyword
// without its section (the end keyword). Most sections share the frame's
// wording; a section may have its own.
using SectionEndMissing = void (*)(const char* endKeyword, const char* section, int sectionLine);
using SectionEndOrphan = void (*)(const char* endKeyword);
void ReportSectionEndMissing(const char* endKeyword, const char* section, int sectionLine);
void ReportSectionEndOrphan(const char* endKeyword);

struct KeywordInfo {
    const char* name;         // upper case, blanks as underscores
    const char* display;      // as the IBIS standard writes it, for messages
    std::int32_t code;
    int introduced;           // the IBIS version that introduced it
    KeywordGroup group;
    unsigned flags;
    std::int32_t endCode;     // the keyword that ends the section it opens (NOT_KEY: none)
    std::int32_t insideOf;    // the section it may stand in only (NOT_KEY: anywhere in its group)
    // The messages when its section is left without its end keyword, and for its
    // end keyword without the section.
    SectionEndMissing endMissing = ReportSectionEndMissing;
    SectionEndOrphan endOrphan = ReportSectionEndOrphan;
};

// The row of a code (null when the table lacks it).
const KeywordInfo* KeywordInfoOf(std::int32_t code);
// The row of a keyword name (blanks as underscores, any case), also rows newer
// than any version; refined-only rows never match.
const KeywordInfo* FindKeyword(const char* name);
// The first keyword of a group, for messages ("Model" for kGroupModel).
const char* GroupStartName(KeywordGroup group);
// The row whose section a code ends (null when it ends none).
const KeywordInfo* SectionEndedBy(std::int32_t code);

struct KeywordRow {
    const char* name;  // upper case, blanks as underscores
    std::int32_t code;
};

// The keywords of one IBIS version, ending with the NOT_KEY row. The version
// is a major number (its newest minor: 4 is IBIS 4.2) or a version code (41).
const KeywordRow* KeywordTableFor(int version);
