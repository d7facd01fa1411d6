#include "IbisParser/amicheck.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "IbisParser/cmn.h"
#include "IbisParser/frame.h"
#include "IbisParser/messages.h"
#include "IbisParser/report.h"

namespace {

constexpr std::size_t kDescriptionLimit = 120;
// Far above any real parameter file; bounds the text and the tree built from it.
constexpr unsigned long kAmiFileSizeLimit = 16ul << 20;

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
bool FormatValuesOk(const AmiLeaf* leaf, const FormatRule& rule, const char* parent) {
    if (rule.values == 0) return true;
    bool ok = rule.atLeast ? leaf->valueCount >= rule.values : leaf->valueCount == rule.values;
    if (ok && !rule.atLeast)
        for (std::int32_t i = 1; i < leaf->valueCount; ++i) ok = ok && IsNumber(leaf->values[i].type);
    if (!ok) ReportError(4632, leaf->values[0].text, parent, rule.numbers);
    return ok;
}

enum Allowed : unsigned {
    kIn = 1u << kKwIn, kOut = 1u << kKwOut, kInfo = 1u << kKwInfo, kInOut = 1u << kKwInOut,
    kFloat = 1u << kKwFloat, kInteger = 1u << kKwInteger, kString = 1u << kKwString, kBoolean = 1u << kKwBoolean,
    kTap = 1u << kKwTap, kUI = 1u << kKwUI, kValue = 1u << kKwValue, kRange = 1u << kKwRange,
    kCorner = 1u << kKwCorner, kGaussian = 1u << kKwGaussian, kDualDirac = 1u << kKwDualDirac,
    kDjRj = 1u << kKwDjRj, kTable = 1u << kKwTable,
};

enum DefaultRule { kDefaultAny, kDefaultInteger, kDefaultBoolean, kDefaultNumberOptional };

struct ReservedRow {
    const char* name;
    unsigned usage, type;
    unsigned format;  // 0 = not allowed
    DefaultRule defaults;
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
};

bool In(unsigned set, std::int32_t keyword) { return keyword >= 0 && (set & (1u << keyword)) != 0; }

void CheckReservedParameter(const AmiBranch* p, const ReservedRow& row) {
    bool usage = false, type = false, format = false, formatValid = false, defaults = false, defaultValid = false,
         description = false;
    for (std::int32_t i = 0; i < p->childCount; ++i) {
        const AmiNodeRef& ref = p->children[i];
        if (const AmiBranch* b = AsBranch(ref)) {
            ReportError(4628, b->name, row.name);
            continue;
        }
        const AmiLeaf* leaf = AsLeaf(ref);
        if (!leaf) continue;
        if (leaf->valueCount < 1 || !leaf->values) {
            ReportError(4626, leaf->name, row.name);
            continue;
        }
        const AmiValue& v = leaf->values[0];
        switch (leaf->nameCode) {
            case kNameUsage:
                usage = true;
                if (!In(row.usage, v.keyword)) ReportError(4627, "Usage", v.text, row.name);
                break;
            case kNameType:
                type = true;
                if (!In(row.type, v.keyword)) ReportError(4627, "Type", v.text, row.name);
                break;
            case kNameFormat:
                format = true;
                if (row.format == 0) break;  // reported below as unexpected
                if (v.keyword == kKwTable && (row.format & kGaussian)) break;  // no message, still missing
                if (!In(row.format, v.keyword)) {
                    ReportError(4627, "Format", v.text, row.name);
                } else if (const FormatRule* rule = FormatRuleOf(v.keyword)) {
                    formatValid = FormatValuesOk(leaf, *rule, row.name);
                }
                break;
            case kNameDefault:
                defaults = true;
                switch (row.defaults) {
                    case kDefaultAny: defaultValid = true; break;
                    case kDefaultInteger: defaultValid = v.type == kAmiInteger; break;
                    case kDefaultBoolean: defaultValid = v.type == kAmiBoolean; break;
                    case kDefaultNumberOptional: defaultValid = IsNumber(v.type); break;
                }
                if (!defaultValid) ReportError(4627, "Default", v.text, row.name);
                break;
            case kNameDescription: description = true; break;
            default: ReportError(4624, leaf->name, row.name);
        }
    }
    if (!usage) ReportError(4630, "Usage", row.name);
    if (!type) ReportError(4630, "Type", row.name);
    if (row.format == 0 && format) ReportError(4629, "Format", row.name);
    if (row.format != 0 && !formatValid) ReportError(4630, "Format", row.name);
    if (row.defaults != kDefaultNumberOptional && !defaultValid) ReportError(4630, "Default", row.name);
    if (!description) ReportError(4630, "Description", row.name);
    (void)defaults;
}

void ReportParseFailure(std::int32_t code) {
    switch (code) {
        case kParseMismatchedParentheses: ReportError(4619); break;
        case kParseNoOpeningParenthesis: ReportError(4620); break;
        case kParseNoParent:
        case kParseUnexpectedClose: ReportError(4635); break;
        case kParseNameOnly: ReportError(4634); break;
        // A list that begins after the outermost one has closed: a fault of the file.
        case kParseLevelTooLow: ReportError(MSG_AMI_SECOND_OUTERMOST_LIST); break;
        default: ReportBug(4621);
    }
}

// True when the line opens a Description section: "(" then, after blanks, Description.
bool OpensDescription(const char* p) {
    if (*p != '(') return false;
    ++p;
    SkipBlanks(&p);
    return std::strncmp(p, "Description", 11) == 0;
}

}  // namespace

void CheckParameterLeaf(const AmiLeaf* leaf, const char* parentName) {
    if (!leaf) return;
    if (leaf->valueCount < 1 || !leaf->values) {
        ReportError(4626, leaf->name, parentName);
        return;
    }
    const AmiValue& v = leaf->values[0];
    switch (leaf->nameCode) {
        case kNameUsage:
            if (!In(kIn | kOut | kInfo | kInOut, v.keyword)) ReportError(4627, "Usage", v.text, parentName);
            break;
        case kNameType:
            if (!In(kFloat | kInteger | kString | kBoolean | kTap | kUI, v.keyword))
                ReportError(4627, "Type", v.text, parentName);
            break;
        case kNameFormat:
            if (const FormatRule* rule = FormatRuleOf(v.keyword)) FormatValuesOk(leaf, *rule, parentName);
            else ReportError(4627, "Format", v.text, parentName);
            break;
        default: break;
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
    for (std::int32_t i = 0; i < branch->childCount; ++i) {
        const AmiNodeRef& ref = branch->children[i];
        if (const AmiLeaf* leaf = AsLeaf(ref)) {
            ReportError(4600, leaf->name, "Reserved_Parameters");
            CheckParameterLeaf(leaf, "Reserved_Parameters");
            continue;
        }
        const AmiBranch* p = AsBranch(ref);
        if (!p) continue;
        const ReservedRow* row = nullptr;
        for (const ReservedRow& r : kReserved)
            if (std::strcmp(p->name, r.name) == 0) row = &r;
        if (row) {
            initReturns = initReturns || std::strcmp(row->name, "Init_Returns_Impulse") == 0;
            getWave = getWave || std::strcmp(row->name, "GetWave_Exists") == 0;
            CheckReservedParameter(p, *row);
            continue;
        }
        ReportError(4624, p->name, "Reserved_Parameters");
        for (std::int32_t j = 0; j < p->childCount; ++j) {
            if (const AmiLeaf* leaf = AsLeaf(p->children[j])) CheckParameterLeaf(leaf, p->name);
            else CheckParameterBranch(AsBranch(p->children[j]));
        }
    }
    if (!initReturns) ReportError(4625, "Init_Returns_Impulse");
    if (!getWave) ReportError(4625, "GetWave_Exists");
}

AmiParamTree* CheckAmiFile(const char* path, bool* read) {
    if (read) *read = false;
    FrameState& f = Frame();
    if (!f.quiet) {
        std::printf("\nChecking %s for IBIS 5.0 Compatibility...\n\n", path);
        std::fflush(stdout);
    }
    std::FILE* file = nullptr;
    if (!OpenCheckedFile(path, kFileAmi, &file, nullptr)) return nullptr;
    const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (size < 0 || static_cast<unsigned long>(size) > kAmiFileSizeLimit) {
        ReportError(MSG_AMI_FILE_TOO_LARGE, path, kAmiFileSizeLimit);
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
        if (!tabReported && line.find('\t') != std::string::npos) {
            ReportWarningAtLine(921);
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
                ReportErrorAtLine(923, static_cast<int>(Reporting().currentLine), static_cast<int>(kDescriptionLimit));
        }
        std::string piece(p);
        const auto comment = piece.find(f.commentChar);
        if (comment != std::string::npos) piece.erase(comment);
        while (!piece.empty() && IsBlank(piece.back())) piece.pop_back();
        text += piece;  // lines join without a separator
    }
    std::fclose(file);
    f.longLinesAllowed = longLines;
    f.commentChar = savedComment;

    AmiParamTree* tree = nullptr;
    const std::int32_t code = ParseAmiParams(text.c_str(), &tree);
    if (code != kParseOk) {
        ReportParseFailure(code);
        return nullptr;
    }
    const AmiBranch* root = tree->count > 0 ? AsBranch(tree->nodes[0]) : nullptr;
    if (!root || root->childCount == 0) {
        ReportError(4622);
        return tree;
    }
    bool reserved = false;
    for (std::int32_t i = 0; i < root->childCount; ++i) {
        const AmiNodeRef& ref = root->children[i];
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
            ReportError(4623, b->name);
        }
    }
    if (!reserved) ReportError(4622);
    return tree;
}
