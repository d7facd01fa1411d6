#include "IbisParser/ami/amicheck.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "IbisParser/ami/amivalues.h"
#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/printable.h"
#include "IbisParser/engine/report.h"

namespace {

constexpr std::size_t kDescriptionLimit = 120;

// The IBIS version whose .ami rules apply to the file being checked. From 5.1
// on a parameter gives its value by Value as well as Default, and its format
// with or without the word Format.
int& Rules() {
    struct Version {
        int rules = 50;
    };
    return Context().Slot<Version>().rules;
}
bool Later() { return Rules() >= 51; }
// Description is optional from IBIS 5.1 on: required only by the 5.0 rules.
bool DescriptionRequired() { return Rules() < 51; }

// The values whose fault these rules reported, so that the value checks do not
// report the same fault a second time in other words.
std::unordered_set<const AmiValue*> reportedValues;
void MarkReported(const AmiLeaf* leaf) {
    for (std::int32_t i = 0; leaf && i < leaf->valueCount; ++i) reportedValues.insert(&leaf->values[i]);
}

struct FormatRule {
    std::int32_t keyword;
    std::int32_t values;   // in all, the keyword included; 0 = not checked
    std::int32_t numbers;  // in the message
    bool atLeast;          // List: at least `values`, no type check
};

const FormatRule kFormats[] = {
    {kKwValue, 2, 1, false},     {kKwRange, 4, 3, false},    {kKwCorner, 4, 3, false},
    {kKwIncrement, 5, 4, false}, {kKwSteps, 5, 4, false},    {kKwGaussian, 3, 2, false},
    {kKwDualDirac, 4, 3, false}, {kKwDjRj, 4, 3, false},     {kKwList, 2, 1, true},
    {kKwTable, 0, 0, false},
};

const FormatRule* FormatRuleOf(std::int32_t keyword) {
    for (const FormatRule& r : kFormats)
        if (r.keyword == keyword) return &r;
    return nullptr;
}

bool IsNumber(std::int32_t type) { return type == kAmiInteger || type == kAmiFloat; }

// Checks the count and types of a Format leaf; false after reporting 4632.
// `first` is the index of the format keyword: 0 in (Format Range 1 0 2), -1 in
// (Range 1 0 2), where the leaf's name is the keyword.
bool FormatValuesOk(const AmiLeaf* leaf, const FormatRule& rule, const char* parent, std::int32_t first = 0) {
    if (rule.values == 0) return true;
    const std::int32_t count = leaf->valueCount - first;
    bool ok = rule.atLeast ? count >= rule.values : count == rule.values;
    const bool anyType = Later() && rule.keyword == kKwValue;  // a Value follows the parameter's Type
    if (ok && !rule.atLeast && !anyType)
        for (std::int32_t i = first + 1; i < leaf->valueCount; ++i) ok = ok && IsNumber(leaf->values[i].type);
    if (!ok) {
        ReportError(MSG_AMI_FORMAT_NUMBERS, first == 0 ? leaf->values[0].text : leaf->name, parent, rule.numbers);
        MarkReported(leaf);
    }
    return ok;
}

// The format keyword that a leaf's name is, in the later form (Range 1 0 2); -1 when none.
std::int32_t FormatNamed(const AmiLeaf* leaf) {
    if (!Later()) return -1;
    AmiValue probe{nullptr, kAmiText, -1};
    ClassifyKeyword(&probe, leaf->name);
    return FormatRuleOf(probe.keyword) ? probe.keyword : -1;
}

// Usage Dep: a model-specific parameter whose value a dependency table gives (IBIS 7.0).
bool DependencyUsage(const AmiValue& v) { return Rules() >= 70 && std::strcmp(v.text, "Dep") == 0; }

// Leaves a later parameter may hold besides its definition leaves.
bool LaterInfoLeaf(const char* name) {
    return Later() && (std::strcmp(name, "List_Tip") == 0 || std::strcmp(name, "Labels") == 0);
}

enum Allowed : unsigned {
    kIn = 1u << kKwIn, kOut = 1u << kKwOut, kInfo = 1u << kKwInfo, kInOut = 1u << kKwInOut,
    kFloat = 1u << kKwFloat, kInteger = 1u << kKwInteger, kString = 1u << kKwString, kBoolean = 1u << kKwBoolean,
    kTap = 1u << kKwTap, kUI = 1u << kKwUI, kValue = 1u << kKwValue, kRange = 1u << kKwRange,
    kCorner = 1u << kKwCorner, kGaussian = 1u << kKwGaussian, kDualDirac = 1u << kKwDualDirac,
    kDjRj = 1u << kKwDjRj, kTable = 1u << kKwTable,
};

enum DefaultRule { kDefaultAny, kDefaultInteger, kDefaultBoolean, kDefaultNumberOptional, kDefaultOptional };

constexpr unsigned kAnyFormat = kValue | kRange | kCorner | kGaussian | kDualDirac | kDjRj | kTable |
                                1u << kKwList | 1u << kKwIncrement | 1u << kKwSteps;
constexpr unsigned kJitterFormat = kValue | kRange | kCorner;

struct ReservedRow {
    const char* name;
    unsigned usage, type;
    unsigned format;  // 0 = not allowed
    DefaultRule defaults;
    int introduced = 50;          // the IBIS version that reserved the name
    bool formatMandatory = true;  // for rows that allow a format
};

const ReservedRow kReserved[] = {
    {"Init_Returns_Impulse", kInfo, kBoolean, 0, kDefaultAny},
    {"GetWave_Exists", kInfo, kBoolean, 0, kDefaultAny},
    {"Max_Init_Aggressors", kInfo, kInteger, 0, kDefaultInteger},
    {"Ignore_Bits", kOut | kInfo, kInteger, 0, kDefaultInteger},
    {"Use_Init_Output", kInfo, kBoolean, 0, kDefaultBoolean},
    {"Tx_DCD", kOut | kInfo, kFloat | kUI, kValue | kRange | kCorner, kDefaultNumberOptional},
    {"Rx_Receiver_Sensitivity", kOut | kInfo, kFloat, kValue | kRange | kCorner, kDefaultNumberOptional},
    {"Tx_Jitter", kOut | kInfo, kFloat | kUI, kGaussian | kDualDirac | kDjRj, kDefaultNumberOptional},
    {"Rx_Clock_PDF", kOut | kInfo, kFloat | kUI, kGaussian | kDualDirac | kDjRj, kDefaultNumberOptional},
    // Reserved by IBIS 5.1 to 7.2; their value and format are optional here.
    {"AMI_Version", kInfo, kString, kValue, kDefaultOptional, 51, false},
    {"Tx_Dj", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Tx_Rj", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Tx_Sj", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Tx_Sj_Frequency", kOut | kInfo, kFloat, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_DCD", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_Dj", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_Rj", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_Sj", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_Clock_Recovery_Mean", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_Clock_Recovery_Rj", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_Clock_Recovery_Dj", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_Clock_Recovery_Sj", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_Clock_Recovery_DCD", kOut | kInfo, kFloat | kUI, kJitterFormat, kDefaultOptional, 51, false},
    {"Rx_Noise", kOut | kInfo, kFloat, kGaussian | kJitterFormat, kDefaultOptional, 51, false},
    {"Supporting_Files", kInfo, kString, kAnyFormat, kDefaultOptional, 60, false},
    {"DLL_Path", kInfo, kString, kAnyFormat, kDefaultOptional, 60, false},
    {"DLL_ID", kIn | kOut | kInOut | kInfo, kString, kAnyFormat, kDefaultOptional, 60, false},
    {"Resolve_Exists", kInfo, kBoolean, 0, kDefaultOptional, 60, false},
    {"Model_Name", kInfo, kString, kValue, kDefaultOptional, 60, false},
    {"Special_Param_Names", kInfo, kString, kAnyFormat, kDefaultOptional, 60, false},
    {"Repeater_Type", kInfo, kString, kAnyFormat, kDefaultOptional, 60, false},
    {"Tx_V", kInfo | kOut, kFloat, kAnyFormat, kDefaultOptional, 60, false},
    {"Tx_R", kInfo | kOut, kFloat, kAnyFormat, kDefaultOptional, 60, false},
    {"Rx_R", kInfo | kOut, kFloat, kAnyFormat, kDefaultOptional, 60, false},
    {"Ts4file", kInfo, kString, kAnyFormat, kDefaultOptional, 61, false},
    {"Modulation", kInfo | kIn, kString, kAnyFormat, kDefaultOptional, 61, false},
    {"PAM4_Mapping", kInfo | kIn, kString, kAnyFormat, kDefaultOptional, 61, false},
    {"PAM4_UpperThreshold", kIn | kOut | kInOut | kInfo, kFloat, kAnyFormat, kDefaultOptional, 61, false},
    {"PAM4_CenterThreshold", kIn | kOut | kInOut | kInfo, kFloat, kAnyFormat, kDefaultOptional, 61, false},
    {"PAM4_LowerThreshold", kIn | kOut | kInOut | kInfo, kFloat, kAnyFormat, kDefaultOptional, 61, false},
    {"PAM4_UpperEyeOffset", kIn | kOut | kInOut | kInfo, kFloat | kUI, kAnyFormat, kDefaultOptional, 61, false},
    {"PAM4_CenterEyeOffset", kIn | kOut | kInOut | kInfo, kFloat | kUI, kAnyFormat, kDefaultOptional, 61, false},
    {"PAM4_LowerEyeOffset", kIn | kOut | kInOut | kInfo, kFloat | kUI, kAnyFormat, kDefaultOptional, 61, false},
    {"Modulation_Levels", kInfo | kIn, kInteger, kAnyFormat, kDefaultOptional, 70, false},
    {"DC_Offset", kIn | kOut | kInOut | kInfo, kFloat, kAnyFormat, kDefaultOptional, 70, false},
    {"BCI_Protocol", kInfo, kString, kAnyFormat, kDefaultOptional, 70, false},
    {"BCI_ID", kInfo | kIn, kString, kAnyFormat, kDefaultOptional, 70, false},
    {"BCI_State", kIn | kOut | kInOut | kInfo, kInteger, kAnyFormat, kDefaultOptional, 70, false},
    {"BCI_Message_Interval_UI", kInfo | kIn, kInteger, kAnyFormat, kDefaultOptional, 70, false},
    {"BCI_Training_UI", kInfo | kIn, kInteger, kAnyFormat, kDefaultOptional, 70, false},
    {"BCI_Training_Mode", kInfo | kIn, kString, kAnyFormat, kDefaultOptional, 70, false},
    {"Rx_Use_Clock_Input", kInfo | kIn, kString, kAnyFormat, kDefaultOptional, 71, false},
};

// The line of a node, for the findings about it.
std::uint32_t LineOf(const AmiNodeRef& ref) {
    if (const AmiLeaf* leaf = AsLeaf(ref)) return static_cast<std::uint32_t>(leaf->line);
    if (const AmiBranch* branch = AsBranch(ref)) return static_cast<std::uint32_t>(branch->line);
    return 0;
}

bool In(unsigned set, std::int32_t keyword) { return keyword >= 0 && (set & (1u << keyword)) != 0; }

// The value of a Default (or, from 5.1 on, a Value) leaf against the row.
bool DefaultValueOk(const ReservedRow& row, const AmiValue& v) {
    switch (row.defaults) {
        case kDefaultInteger: return v.type == kAmiInteger;
        case kDefaultBoolean: return v.type == kAmiBoolean;
        case kDefaultNumberOptional: return IsNumber(v.type);
        default: return true;
    }
}

void CheckReservedParameter(const AmiBranch* p, const ReservedRow& row) {
    const ItemLineScope parameterLine(static_cast<std::uint32_t>(p->line));
    bool usage = false, type = false, format = false, formatValid = false, defaultValid = false,
         description = false;
    // A format keyword `keyword` read from `leaf`, whose values start after index `first`.
    auto readFormat = [&](const AmiLeaf* leaf, std::int32_t keyword, const char* text, std::int32_t first) {
        format = true;
        if (row.format == 0) return;  // reported below as unexpected
        if (keyword == kKwTable && (row.format & (kGaussian | kTable))) {
            formatValid = formatValid || Later();  // from 5.1 on a table satisfies the format
            return;                                // no message; before 5.1 still missing
        }
        if (!In(row.format, keyword)) ReportError(MSG_AMI_ILLEGAL_VALUE, "Format", text, row.name);
        else if (const FormatRule* rule = FormatRuleOf(keyword)) formatValid = FormatValuesOk(leaf, *rule, row.name, first);
    };
    for (std::int32_t i = 0; i < p->childCount; ++i) {
        const AmiNodeRef& ref = p->children[i];
        const ItemLineScope childLine(LineOf(ref));
        if (const AmiBranch* b = AsBranch(ref)) {
            if (Later() && std::strcmp(b->name, "Table") == 0) {  // (Table (Labels ...) (row) ...)
                readFormat(nullptr, kKwTable, b->name, 0);
                continue;
            }
            ReportError(MSG_AMI_BRANCH_NOT_LEAF, b->name, row.name);
            continue;
        }
        const AmiLeaf* leaf = AsLeaf(ref);
        if (!leaf) continue;
        if (leaf->valueCount < 1 || !leaf->values) {
            ReportError(MSG_AMI_ILLEGAL_FORMAT, leaf->name, row.name);
            continue;
        }
        const AmiValue& v = leaf->values[0];
        const std::int32_t named = FormatNamed(leaf);
        if (named == kKwValue && row.format == 0) {  // (Value True): the value, not a format
            defaultValid = DefaultValueOk(row, v);
            if (!defaultValid) {
                ReportError(MSG_AMI_ILLEGAL_VALUE, "Value", v.text, row.name);
                MarkReported(leaf);
            }
            continue;
        }
        if (named >= 0) {
            readFormat(leaf, named, leaf->name, -1);
            if (named == kKwValue && !DefaultValueOk(row, v)) {
                ReportError(MSG_AMI_ILLEGAL_VALUE, "Value", v.text, row.name);
                MarkReported(leaf);
            } else if (named == kKwValue) {
                defaultValid = true;
            }
            continue;
        }
        switch (leaf->nameCode) {
            case kNameUsage:
                usage = true;
                if (!In(row.usage, v.keyword)) ReportError(MSG_AMI_ILLEGAL_VALUE, "Usage", v.text, row.name);
                break;
            case kNameType:
                type = true;
                if (!In(row.type, v.keyword)) ReportError(MSG_AMI_ILLEGAL_VALUE, "Type", v.text, row.name);
                break;
            case kNameFormat:
                readFormat(leaf, v.keyword, v.text, 0);
                if (Later() && v.keyword == kKwValue && leaf->valueCount > 1) defaultValid = true;
                break;
            case kNameDefault:
                defaultValid = DefaultValueOk(row, v);
                if (!defaultValid) {
                    ReportError(MSG_AMI_ILLEGAL_VALUE, "Default", v.text, row.name);
                    MarkReported(leaf);
                }
                break;
            case kNameDescription: description = true; break;
            default:
                if (!LaterInfoLeaf(leaf->name)) ReportError(MSG_AMI_UNKNOWN_PARAMETER, leaf->name, row.name);
        }
    }
    if (!usage) ReportError(MSG_AMI_MANDATORY_FOR, "Usage", row.name);
    if (!type) ReportError(MSG_AMI_MANDATORY_FOR, "Type", row.name);
    if (row.format == 0 && format) ReportError(MSG_AMI_UNEXPECTED_PARAMETER, "Format", row.name);
    if (row.format != 0 && row.formatMandatory && !formatValid) ReportError(MSG_AMI_MANDATORY_FOR, "Format", row.name);
    if ((row.defaults == kDefaultAny || row.defaults == kDefaultInteger || row.defaults == kDefaultBoolean) &&
        !defaultValid)
        ReportError(MSG_AMI_MANDATORY_FOR, "Default", row.name);
    if (!description && DescriptionRequired()) ReportError(MSG_AMI_MANDATORY_FOR, "Description", row.name);
}

void ReportParseFailure(std::int32_t code) {
    switch (code) {
        case kParseMismatchedParentheses: ReportError(MSG_AMI_MISMATCHED_PARENTHESES); break;
        case kParseNoOpeningParenthesis: ReportError(MSG_AMI_NO_OPENING_PARENTHESIS); break;
        case kParseNoParent:
        case kParseUnexpectedClose: ReportError(MSG_AMI_TOO_FEW_NODES); break;
        case kParseNameOnly: ReportError(MSG_AMI_INVALID_SYNTAX); break;
        // A list that begins after the outermost one has closed: a fault of the file.
        case kParseLevelTooLow: ReportError(MSG_AMI_SECOND_OUTERMOST_LIST); break;
        default: ReportBug(MSG_AMI_INTERNAL_ERROR);
    }
}

// True when the line opens a Description section: "(" then, after blanks, Description.
bool OpensDescription(const char* p) {
    if (*p != '(') return false;
    ++p;
    SkipBlanks(&p);
    return std::strncmp(p, "Description", 11) == 0;
}

// The version that Reserved_Parameters' AMI_Version gives, as (Value "5.1"),
// (Default 5.1) or (Format Value 5.1); IBIS 5.0 when there is none.
int DeclaredAmiVersion(const AmiParamTree* tree) {
    const AmiBranch* root = tree->count > 0 ? AsBranch(tree->nodes[0]) : nullptr;
    for (std::int32_t i = 0; root && i < root->childCount; ++i) {
        const AmiBranch* reserved = AsBranch(root->children[i]);
        if (!reserved || std::strcmp(reserved->name, "Reserved_Parameters") != 0) continue;
        for (std::int32_t j = 0; j < reserved->childCount; ++j) {
            const AmiBranch* p = AsBranch(reserved->children[j]);
            if (!p || std::strcmp(p->name, "AMI_Version") != 0) continue;
            for (std::int32_t k = 0; k < p->childCount; ++k) {
                const AmiLeaf* leaf = AsLeaf(p->children[k]);
                if (!leaf || leaf->valueCount < 1) continue;
                const bool format = leaf->nameCode == kNameFormat && leaf->valueCount > 1;
                if (!format && leaf->nameCode != kNameDefault && std::strcmp(leaf->name, "Value") != 0) continue;
                std::string text = leaf->values[format ? 1 : 0].text;
                if (text.size() > 1 && text.front() == '"') text = text.substr(1, text.size() - 2);
                if (const int version = IbisVersionCode(text.c_str())) return version;
            }
        }
    }
    return 50;
}

// (Format Table (Labels ...) (row) ...) holds lists, which a leaf cannot: from
// 5.1 on it is read as the branch (Table (Labels ...) (row) ...). True when the
// text was changed. Quoted text is left alone.
bool TablesAsBranches(std::string* text) {
    bool changed = false, quoted = false;
    for (std::size_t i = 0; i < text->size(); ++i) {
        const char c = (*text)[i];
        if (c == '"') quoted = !quoted;
        if (quoted || c != '(') continue;
        std::size_t p = i + 1;
        while (p < text->size() && IsBlank((*text)[p])) ++p;
        if (text->compare(p, 6, "Format") != 0) continue;
        std::size_t q = p + 6;
        if (q >= text->size() || !IsBlank((*text)[q])) continue;
        while (q < text->size() && IsBlank((*text)[q])) ++q;
        if (text->compare(q, 5, "Table") != 0) continue;
        std::size_t r = q + 5;
        while (r < text->size() && IsBlank((*text)[r])) ++r;
        if (r >= text->size() || (*text)[r] != '(') continue;
        // The line ends between the two words stay: the lines after them keep their numbers.
        const auto lineEnds = static_cast<std::size_t>(std::count(text->begin() + static_cast<long>(p),
                                                                  text->begin() + static_cast<long>(q), '\n'));
        text->replace(p, q - p, lineEnds, '\n');
        changed = true;
    }
    return changed;
}

// Past the quoted text that begins at `i`: after its closing quote, or the end.
std::size_t PastQuoted(const std::string& text, std::size_t i) {
    const std::size_t close = text.find('"', i + 1);
    return close == std::string::npos ? text.size() : close + 1;
}

// Whether the list that opens at `open` holds exactly one token (a word or a
// quoted text) and no list.
bool HoldsOneToken(const std::string& text, std::size_t open) {
    int tokens = 0;
    for (std::size_t i = open + 1; i < text.size();) {
        const char c = text[i];
        if (c == ')') return tokens == 1;
        if (c == '(') return false;
        if (IsBlank(c)) {
            ++i;
            continue;
        }
        ++tokens;
        if (c == '"') {
            i = PastQuoted(text, i);
            continue;
        }
        while (i < text.size() && !IsBlank(text[i]) && text[i] != '(' && text[i] != ')' && text[i] != '"') ++i;
    }
    return false;
}

// A table row of one column, ("file.ens"), is a list holding only a name, which
// the parameter parser refuses; inside a Table such a row is given the name
// Table_Row, (Table_Row "file.ens"), so that it parses as the leaf it is. True
// when the text was changed. Quoted text is left alone.
bool OneColumnRowsNamed(std::string* text) {
    std::string& t = *text;
    bool changed = false;
    int tableDepth = 0;  // the depth of the innermost open (Table ...), 0 outside one
    int depth = 0;
    for (std::size_t i = 0; i < t.size();) {
        const char c = t[i];
        if (c == '"') {
            i = PastQuoted(t, i);
            continue;
        }
        if (c == ')') {
            if (depth == tableDepth) tableDepth = 0;
            --depth;
        } else if (c == '(') {
            ++depth;
            if (tableDepth != 0 && depth == tableDepth + 1 && HoldsOneToken(t, i)) {
                t.insert(i + 1, "Table_Row ");
                changed = true;
            } else if (tableDepth == 0 && t.compare(i + 1, 5, "Table") == 0 && i + 6 < t.size() &&
                       (IsBlank(t[i + 6]) || t[i + 6] == '(')) {
                tableDepth = depth;
            }
        }
        ++i;
    }
    return changed;
}

}  // namespace

void CheckParameterLeaf(const AmiLeaf* leaf, const char* parentName) {
    if (!leaf) return;
    const ItemLineScope leafLine(static_cast<std::uint32_t>(leaf->line));
    if (leaf->valueCount < 1 || !leaf->values) {
        ReportError(MSG_AMI_ILLEGAL_FORMAT, leaf->name, parentName);
        return;
    }
    const AmiValue& v = leaf->values[0];
    switch (leaf->nameCode) {
        case kNameUsage:
            if (!In(kIn | kOut | kInfo | kInOut, v.keyword) && !DependencyUsage(v))
                ReportError(MSG_AMI_ILLEGAL_VALUE, "Usage", v.text, parentName);
            break;
        case kNameType:
            if (!In(kFloat | kInteger | kString | kBoolean | kTap | kUI, v.keyword))
                ReportError(MSG_AMI_ILLEGAL_VALUE, "Type", v.text, parentName);
            break;
        case kNameFormat:
            if (const FormatRule* rule = FormatRuleOf(v.keyword)) FormatValuesOk(leaf, *rule, parentName);
            else ReportError(MSG_AMI_ILLEGAL_VALUE, "Format", v.text, parentName);
            break;
        default: {
            const std::int32_t named = FormatNamed(leaf);  // (Range 1 0 2) from 5.1 on
            if (named >= 0) FormatValuesOk(leaf, *FormatRuleOf(named), parentName, -1);
        }
    }
}

void CheckParameterBranch(const AmiBranch* branch) {
    if (!branch) return;
    // Depth first, children in order, on a stack of its own: nesting of any depth
    // costs heap, not call stack.
    struct Open {
        const AmiBranch* branch;
        std::int32_t next;  // the child to visit next
    };
    std::vector<Open> open{{branch, 0}};
    while (!open.empty()) {
        Open& top = open.back();
        if (top.next >= top.branch->childCount) {
            open.pop_back();
            continue;
        }
        const AmiNodeRef& child = top.branch->children[top.next++];
        if (const AmiLeaf* leaf = AsLeaf(child)) CheckParameterLeaf(leaf, top.branch->name);
        else if (const AmiBranch* inner = AsBranch(child)) open.push_back({inner, 0});
    }
}

void CheckReservedParameters(const AmiBranch* branch) {
    bool initReturns = false, getWave = false;
    const ItemLineScope branchLine(static_cast<std::uint32_t>(branch->line));
    for (std::int32_t i = 0; i < branch->childCount; ++i) {
        const AmiNodeRef& ref = branch->children[i];
        const ItemLineScope childLine(LineOf(ref));
        if (const AmiLeaf* leaf = AsLeaf(ref)) {
            ReportError(MSG_AMI_LEAF_NOT_BRANCH, leaf->name, "Reserved_Parameters");
            CheckParameterLeaf(leaf, "Reserved_Parameters");
            continue;
        }
        const AmiBranch* p = AsBranch(ref);
        if (!p) continue;
        const ReservedRow* row = nullptr;
        for (const ReservedRow& r : kReserved)
            if (std::strcmp(p->name, r.name) == 0 && r.introduced <= Rules()) row = &r;
        if (row) {
            initReturns = initReturns || std::strcmp(row->name, "Init_Returns_Impulse") == 0;
            getWave = getWave || std::strcmp(row->name, "GetWave_Exists") == 0;
            CheckReservedParameter(p, *row);
            continue;
        }
        ReportError(MSG_AMI_UNKNOWN_PARAMETER, p->name, "Reserved_Parameters");
        for (std::int32_t j = 0; j < p->childCount; ++j) {
            if (const AmiLeaf* leaf = AsLeaf(p->children[j])) CheckParameterLeaf(leaf, p->name);
            else CheckParameterBranch(AsBranch(p->children[j]));
        }
    }
    if (!initReturns) ReportError(MSG_AMI_PARAMETER_MANDATORY, "Init_Returns_Impulse");
    if (!getWave) ReportError(MSG_AMI_PARAMETER_MANDATORY, "GetWave_Exists");
}

AmiParamTree* CheckAmiFile(const char* path, bool* read, int rulesVersion) {
    if (read) *read = false;
    // A finding of this file that no node names has no line: never the line of
    // the IBIS file's entry that named it.
    const ItemLineScope noLine(0);
    reportedValues.clear();
    FrameState& f = Frame();
    // Checked alone, the file's own AMI_Version decides the rules, once it is parsed.
    bool bannerDue = !f.quiet;
    auto banner = [&](int version) {
        if (!bannerDue) return;
        std::printf("\nChecking %s for IBIS %s Compatibility...\n\n", PrintableName(path).c_str(),
                    IbisVersionText(version));
        std::fflush(stdout);
        bannerDue = false;
    };
    if (rulesVersion != 0) banner(rulesVersion);
    std::FILE* file = nullptr;
    if (!OpenCheckedFile(path, kFileAmi, &file, nullptr)) return nullptr;
    const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (size < 0 || static_cast<unsigned long>(size) > kAmiFileSizeLimit) {
        ReportError(MSG_AMI_FILE_TOO_LARGE, PrintableName(path).c_str(), kAmiFileSizeLimit);
        std::fclose(file);
        return nullptr;
    }
    std::rewind(file);
    if (read) *read = true;
    const bool longLines = f.longLinesAllowed;
    const char savedComment = f.commentChar;
    f.longLinesAllowed = true;
    f.commentChar = '|';
    Reporting().currentLine = 0;
    bool tabReported = false, inDescription = false;
    std::string line, text;
    std::size_t length = 0;
    while (true) {
        const long before = std::ftell(file);
        if (!ReadCheckedLine(file, line, kAmiFileSizeLimit, length, true)) break;
        const long after = std::ftell(file);
        // Every line of the file keeps its line end, so that the tree's nodes
        // know their lines; a line end separates tokens as a blank does: "0 1 2 3"
        // and "4 5" on two lines are the five values 3 and 4 apart, never one value 34.
        if (Reporting().currentLine > 1) text += '\n';
        if (!tabReported && line.find('\t') != std::string::npos) {
            ReportWarningAtLine(MSG_TAB_CHARACTERS);
            tabReported = true;
        }
        const char* p = line.c_str();
        SkipBlanks(&p);
        if (*p == '\0' || *p == f.commentChar) continue;
        if (*p == '(') inDescription = OpensDescription(p);
        if (inDescription) {
            // Its length counts the line end as one character when it has one.
            const bool hasEnd = after - before > static_cast<long>(length);
            if (length + (hasEnd ? 1 : 0) > kDescriptionLimit)
                ReportErrorAtLine(MSG_AMI_DESCRIPTION_LINE_TOO_LONG, static_cast<int>(Reporting().currentLine),
                                  static_cast<int>(kDescriptionLimit));
        }
        std::string piece(p);
        const auto comment = piece.find(f.commentChar);
        if (comment != std::string::npos) piece.erase(comment);
        while (!piece.empty() && IsBlank(piece.back())) piece.pop_back();
        text += piece;
    }
    std::fclose(file);
    f.longLinesAllowed = longLines;
    f.commentChar = savedComment;

    AmiParamTree* tree = nullptr;
    std::int32_t code = ParseAmiParams(text.c_str(), &tree);
    if (code != kParseOk && OneColumnRowsNamed(&text)) code = ParseAmiParams(text.c_str(), &tree);
    const int declared = code == kParseOk ? DeclaredAmiVersion(tree) : 50;
    // The file's own AMI_Version decides, as it does for simulators; a later
    // IBIS file that names it lends its later rules.
    Rules() = std::max(rulesVersion, declared);
    if (code == kParseOk && Later() && TablesAsBranches(&text)) {
        FreeAmiParamTree(&tree);
        OneColumnRowsNamed(&text);
        code = ParseAmiParams(text.c_str(), &tree);
    }
    banner(Rules());
    if (code != kParseOk) {
        ReportParseFailure(code);
        return nullptr;
    }
    const AmiBranch* root = tree->count > 0 ? AsBranch(tree->nodes[0]) : nullptr;
    if (!root || root->childCount == 0) {
        const ItemLineScope rootLine(root ? static_cast<std::uint32_t>(root->line) : 0u);
        ReportError(MSG_AMI_NO_RESERVED_PARAMETERS);
        return tree;
    }
    bool reserved = false;
    const ItemLineScope rootLine(static_cast<std::uint32_t>(root->line));
    for (std::int32_t i = 0; i < root->childCount; ++i) {
        const AmiNodeRef& ref = root->children[i];
        const ItemLineScope childLine(LineOf(ref));
        if (const AmiLeaf* leaf = AsLeaf(ref)) {
            CheckParameterLeaf(leaf, root->name);
            continue;
        }
        const AmiBranch* b = AsBranch(ref);
        if (!b) continue;
        if (std::strcmp(b->name, "Reserved_Parameters") == 0) {
            CheckReservedParameters(b);
            reserved = true;
        } else if (std::strcmp(b->name, "Model_Specific") == 0) {
            for (std::int32_t j = 0; j < b->childCount; ++j) {
                if (const AmiLeaf* leaf = AsLeaf(b->children[j])) CheckParameterLeaf(leaf, "Model_Specific");
                else CheckParameterBranch(AsBranch(b->children[j]));
            }
        } else {
            ReportError(MSG_AMI_UNKNOWN_BRANCH, b->name);
        }
    }
    if (!reserved) ReportError(MSG_AMI_NO_RESERVED_PARAMETERS);
    CheckAmiValues(root, reportedValues);
    return tree;
}

namespace {

bool CheckAmiFileAlone(const char* path) {
    bool read = false;
    AmiParamTree* tree = CheckAmiFile(path, &read);
    FreeAmiParamTree(&tree);
    return read;
}

}  // namespace

const FileCheck kAmiFileCheck{"ami", kFileAmi, CheckAmiFileAlone};
