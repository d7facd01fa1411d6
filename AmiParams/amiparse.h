// Parser of AMI parameter texts: a parenthesised tree of branches and leaves.
#pragma once

#include <cstdint>

enum AmiNodeKind : std::int32_t { kAmiBranch = 0, kAmiLeaf = 1 };

enum AmiValueType : std::int32_t {
    kAmiNoText = -1,
    kAmiText = 0,
    kAmiInteger = 1,
    kAmiBoolean = 2,
    kAmiFloat = 3,
};

// Keyword codes of value tokens (-1: no keyword).
enum AmiKeyword : std::int32_t {
    kKwIn = 0, kKwOut, kKwInfo, kKwInOut, kKwFloat, kKwInteger, kKwString, kKwBoolean, kKwTap, kKwUI,
    kKwValue, kKwRange, kKwList, kKwCorner, kKwIncrement, kKwSteps, kKwTable, kKwGaussian,
    kKwDualDirac, kKwDjRj,
};

// Reserved leaf names (0: any other name).
enum AmiLeafName : std::int32_t {
    kNameOther = 0, kNameUsage, kNameType, kNameFormat, kNameDefault, kNameDescription, kNameLabels,
};

struct AmiValue {
    char* text;            // the token as written, quotes included
    std::int32_t type;     // AmiValueType
    std::int32_t keyword;  // AmiKeyword or -1
};

struct AmiNodeRef {
    std::int32_t kind;   // AmiNodeKind
    std::int32_t level;  // 1 for the outermost list
    void* node;          // AmiBranch or AmiLeaf; null in an unused slot
};

struct AmiBranch {
    char* name;
    AmiNodeRef* children;  // copies of the children's references
    std::int32_t childCount;
    std::int32_t line;  // where the branch's opening parenthesis stands, from 1
};

struct AmiLeaf {
    char* name;
    AmiValue* values;
    std::int32_t valueCount;
    std::int32_t nameCode;  // AmiLeafName
    std::int32_t line;      // where the leaf's opening parenthesis stands, from 1
};

struct AmiParamTree {
    AmiNodeRef* nodes;   // one slot per opening parenthesis outside quotes
    std::int32_t count;  // number of slots
};

// Result codes of ParseAmiParams.
enum AmiParseResult : std::int32_t {
    kParseOk = 0,
    kParseMismatchedParentheses = 1,
    kParseNoOpeningParenthesis = 2,
    kParseNoParent = 3,
    kParseOutOfMemory = 4,
    kParseLevelTooLow = 5,
    kParseUnexpectedClose = 6,
    kParseTooManyNodes = 7,
    kParseNameOnly = 8,
};

// Lines are counted as the text writes them: a line feed, a carriage return
// and line feed, or a lone carriage return ends one.
// Parses text into a new tree that the caller owns (result 0); on any other
// result *tree is left alone and nothing stays allocated.
std::int32_t ParseAmiParams(const char* text, AmiParamTree** tree);
void FreeAmiParamTree(AmiParamTree** tree);

// The one reader of AMI numbers, for the parser, the checker and the model.
// An Integer's text is a whole decimal integer (an optional sign and digits); a
// number's text is any text that strtod reads to its end in the "C" locale
// (decimals, exponents), whatever the process's locale (AmiParams/plainnumber.h).
bool IsAmiIntegerText(const char* text);
bool IsAmiNumberText(const char* text);
// The value of a number's text (0 where it starts with none).
double AmiNumberValue(const char* text);
// Whether an Integer's text fits in 64 bits, on every platform.
bool AmiIntegerFits(const char* text);

std::int32_t ClassifyValueType(const char* text);
void ClassifyKeyword(AmiValue* value, const char* text);
std::int32_t ClassifyLeafName(const char* name);

inline AmiBranch* AsBranch(const AmiNodeRef& ref) {
    return ref.kind == kAmiBranch ? static_cast<AmiBranch*>(ref.node) : nullptr;
}
inline AmiLeaf* AsLeaf(const AmiNodeRef& ref) {
    return ref.kind == kAmiLeaf ? static_cast<AmiLeaf*>(ref.node) : nullptr;
}
