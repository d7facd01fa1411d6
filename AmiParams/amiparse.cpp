#include "AmiParams/amiparse.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "AmiParams/amialloc.h"
#include "AmiParams/plainnumber.h"

namespace {

template <typename Char>
void SkipAmiBlanks(Char** cursor) {
    while (IsAmiBlank(**cursor)) ++*cursor;
}

const char* const kKeywords[] = {"In",    "Out",   "Info",  "InOut",  "Float",     "Integer",  "String",
                                 "Boolean", "Tap", "UI",    "Value",  "Range",     "List",     "Corner",
                                 "Increment", "Steps", "Table", "Gaussian", "Dual-Dirac", "DjRj"};
const char* const kLeafNames[] = {"Usage", "Type", "Format", "Default", "Description", "Labels"};

// Copy of [begin, end) with trailing blanks removed.
char* TrimmedCopy(const char* begin, const char* end) {
    while (end > begin && IsAmiBlank(end[-1])) --end;
    return AmiCopyText(begin, static_cast<std::size_t>(end - begin));
}

void FreeLeaf(AmiLeaf*& leaf) {
    if (!leaf) return;
    for (std::int32_t i = 0; i < leaf->valueCount; ++i)
        if (leaf->values[i].text) AmiFree(&leaf->values[i].text);
    if (leaf->values) AmiFree(&leaf->values);
    if (leaf->name) AmiFree(&leaf->name);
    AmiFree(&leaf);
}

void FreeBranch(AmiBranch*& branch) {
    if (!branch) return;
    if (branch->name) AmiFree(&branch->name);
    if (branch->children) AmiFree(&branch->children);
    AmiFree(&branch);
}

// Appends a value token [begin, end) (trailing blanks removed) to the leaf.
bool AppendValue(AmiLeaf* leaf, const char* begin, const char* end) {
    const std::size_t size = sizeof(AmiValue) * static_cast<std::size_t>(leaf->valueCount + 1);
    const int ok = leaf->values ? AmiRealloc(&leaf->values, size) : AmiAlloc(&leaf->values, size);
    if (!ok) return false;
    AmiValue& value = leaf->values[leaf->valueCount];
    value = AmiValue{TrimmedCopy(begin, end), kAmiNoText, -1};
    if (!value.text) return false;
    ++leaf->valueCount;
    value.type = ClassifyValueType(value.text);
    if (value.type == kAmiText) ClassifyKeyword(&value, value.text);
    return true;
}

// Past the double quote at p: the next double quote, or the end of the text.
char* ClosingQuote(char* p) {
    char* q = std::strchr(p + 1, '"');
    return q ? q : p + std::strlen(p);
}

// The scanner: fills the tree's slots with nodes in document order.
class NodeListBuilder {
public:
    // `firstLine` is the line on which text begins.
    NodeListBuilder(char* text, AmiParamTree* tree, std::int32_t firstLine)
        : p_(text), tree_(tree), slots_(tree->count), open_(text), counted_(text), line_(firstLine) {}

    std::int32_t Build() {
        while (s_ < slots_) {
            const std::int32_t code = Step();
            if (code != kParseOk) return code;
            ++s_;
        }
        return kParseOk;
    }
    std::int32_t NodeCount() const { return n_; }

private:
    // The line of a position at or after the last one asked for: the count moves
    // forward only, so all lines of the text cost one pass.
    std::int32_t LineAt(const char* at) {
        for (; counted_ < at; ++counted_)
            if (*counted_ == '\n' || (*counted_ == '\r' && counted_[1] != '\n')) ++line_;
        return line_;
    }

    std::int32_t Step() {
        if (*p_ == '(') {
            open_ = p_;
            ++p_;
            ++d_;
            SkipAmiBlanks(&p_);
        }
        // Name scan.
        char* nameStart = p_;
        bool blankSeen = false;
        char* blankAt = nullptr;
        for (;;) {
            const char c = *p_;
            if (c == '\0') return kParseOk;  // the step ends without a node
            if (c == '(') {
                ++d_;
                if (n_ >= slots_) return kParseTooManyNodes;
                char* end = blankSeen ? blankAt : p_;
                if (end < nameStart) return kParseNameOnly;
                AmiBranch* branch = nullptr;
                if (!AmiAlloc(&branch, sizeof(AmiBranch))) return kParseOutOfMemory;
                branch->name = TrimmedCopy(nameStart, end);
                branch->line = LineAt(open_);
                tree_->nodes[n_] = AmiNodeRef{kAmiBranch, d_ / 2, branch};
                ++n_;
                if (!branch->name) return kParseOutOfMemory;
                return kParseOk;  // the parenthesis opens the first child next step
            }
            if (c == ')') {
                ++p_;
                SkipAmiBlanks(&p_);
                if (d_ < 2 || s_ < 1) return kParseUnexpectedClose;
                --s_;  // this step does not count
                SkipAmiBlanks(&p_);
                if (*p_ == '(') {
                    open_ = p_;
                    ++p_;
                    d_ -= 1;
                } else {
                    d_ -= 2;
                }
                SkipAmiBlanks(&p_);
                nameStart = p_;
                continue;
            }
            if (IsAmiBlank(c)) {
                if (!blankSeen) {
                    blankAt = p_;
                    blankSeen = true;
                }
                ++p_;
                continue;
            }
            if (!blankSeen) {
                ++p_;
                continue;
            }
            // A leaf: its name ends at the remembered blank.
            if (n_ >= slots_) return kParseTooManyNodes;
            if (blankAt < nameStart) return kParseNameOnly;
            return ScanLeaf(nameStart, blankAt);
        }
    }

    std::int32_t ScanLeaf(char* nameStart, char* nameEnd) {
        AmiLeaf* leaf = nullptr;
        tree_->nodes[n_].kind = kAmiLeaf;
        tree_->nodes[n_].level = (d_ + 1) / 2;
        if (!AmiAlloc(&leaf, sizeof(AmiLeaf))) return kParseOutOfMemory;
        tree_->nodes[n_].node = leaf;
        leaf->line = LineAt(open_);
        leaf->name = TrimmedCopy(nameStart, nameEnd);
        if (!leaf->name) return kParseOutOfMemory;
        leaf->nameCode = ClassifyLeafName(leaf->name);

        char* tokenStart = p_;
        bool afterToken = false;
        char* blankAt = nullptr;
        for (;;) {
            const char c = *p_;
            if (c == '(') {
                // A leaf holding a nested list is dropped with the list.
                FreeLeaf(leaf);
                tree_->nodes[n_].node = nullptr;
                std::int32_t nesting = 1;
                while (nesting > 0 && *p_) {
                    if (*p_ == '(') ++nesting;
                    else if (*p_ == ')') --nesting;
                    else if (*p_ == '"') {
                        p_ = ClosingQuote(p_);
                        if (!*p_) break;
                    }
                    ++p_;
                }
                SkipAmiBlanks(&p_);
                if (d_ < 1) return kParseUnexpectedClose;
                --d_;
                return kParseOk;
            }
            if (c == ')') {
                if (!AppendValue(leaf, tokenStart, p_)) return kParseOutOfMemory;
                ++p_;
                SkipAmiBlanks(&p_);
                if (d_ < 1) return kParseUnexpectedClose;
                --d_;
                ++n_;
                return kParseOk;
            }
            if (c == '\0') {
                ++n_;
                return kParseOk;
            }
            if (IsAmiBlank(c)) {
                if (!afterToken) {
                    afterToken = true;
                    blankAt = p_;
                }
                ++p_;
                continue;
            }
            if (!afterToken) {
                if (c == '"') {
                    tokenStart = p_;
                    p_ = ClosingQuote(p_);
                    if (!*p_) continue;  // unterminated: the scan stops at the end
                }
                ++p_;
                continue;
            }
            if (!AppendValue(leaf, tokenStart, blankAt)) return kParseOutOfMemory;
            afterToken = false;
            tokenStart = p_;  // examined again as the next token's start
        }
    }

    char* p_;
    AmiParamTree* tree_;
    std::int32_t slots_;
    const char* open_;     // the opening parenthesis of the node being scanned
    const char* counted_;  // line ends before here are counted in line_
    std::int32_t line_;
    std::int32_t d_ = 0, s_ = 0, n_ = 0;
};

std::int32_t LinkNodes(AmiParamTree* tree, std::int32_t n) {
    if (n < 1) return kParseNoParent;  // every list was dropped
    std::int32_t maxLevel = 1;
    for (std::int32_t i = 0; i < n; ++i)
        if (tree->nodes[i].level > maxLevel) maxLevel = tree->nodes[i].level;
    AmiNodeRef* stack = nullptr;
    if (!AmiAlloc(&stack, sizeof(AmiNodeRef) * static_cast<std::size_t>(maxLevel))) return kParseOutOfMemory;
    std::int32_t top = 0;
    std::int32_t code = kParseOk;
    for (std::int32_t i = 0; i < n && code == kParseOk; ++i) {
        const AmiNodeRef& node = tree->nodes[i];
        if (i == 0 && node.kind == kAmiBranch) {
            stack[0] = node;
            top = 0;
            continue;
        }
        while (stack[top].level >= node.level) {
            if (top == 0) {
                code = kParseLevelTooLow;
                break;
            }
            --top;
        }
        if (code != kParseOk) break;
        AmiBranch* parent = static_cast<AmiBranch*>(stack[top].node);
        if (!parent) {
            code = kParseNoParent;
            break;
        }
        if (stack[top].level + 1 != node.level) continue;  // stays unlinked
        const std::size_t size = sizeof(AmiNodeRef) * static_cast<std::size_t>(parent->childCount + 1);
        const int ok = parent->children ? AmiRealloc(&parent->children, size)
                                        : AmiAlloc(&parent->children, size);
        if (!ok) {
            code = kParseOutOfMemory;
            break;
        }
        parent->children[parent->childCount++] = node;
        if (node.kind == kAmiBranch && top + 1 < maxLevel) stack[++top] = node;
    }
    AmiFree(&stack);
    return code;
}

}  // namespace

bool IsAmiIntegerText(const char* text) {
    char* end = nullptr;
    (void)std::strtoll(text, &end, 10);
    return end != text && *end == '\0';
}

bool IsAmiNumberText(const char* text) {
    double value = 0.0;
    const char* end = amiparams::ReadPlainNumber(text, value);
    return end != text && *end == '\0';
}

double AmiNumberValue(const char* text) {
    double value = 0.0;
    amiparams::ReadPlainNumber(text, value);
    return value;
}

bool AmiIntegerFits(const char* text) {
    errno = 0;
    (void)std::strtoll(text, nullptr, 10);
    return errno != ERANGE;
}

std::int32_t ClassifyValueType(const char* text) {
    if (!text || !*text) return kAmiNoText;
    if (*text == '"') return kAmiText;
    if (IsAmiIntegerText(text)) return kAmiInteger;
    if (IsAmiNumberText(text)) return kAmiFloat;
    if (std::strcmp(text, "True") == 0 || std::strcmp(text, "False") == 0) return kAmiBoolean;
    return kAmiText;
}

void ClassifyKeyword(AmiValue* value, const char* text) {
    if (!value || !text) return;
    for (std::int32_t code = 0; code < static_cast<std::int32_t>(sizeof kKeywords / sizeof *kKeywords); ++code)
        if (std::strcmp(text, kKeywords[code]) == 0) {
            value->keyword = code;
            return;
        }
}

std::int32_t ClassifyLeafName(const char* name) {
    if (!name) return kNameOther;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(sizeof kLeafNames / sizeof *kLeafNames); ++i)
        if (std::strcmp(name, kLeafNames[i]) == 0) return i + 1;
    return kNameOther;
}

void FreeAmiParamTree(AmiParamTree** tree) {
    if (!tree || !*tree) return;
    AmiParamTree* t = *tree;
    if (t->nodes) {
        for (std::int32_t i = 0; i < t->count; ++i) {
            AmiNodeRef& ref = t->nodes[i];
            if (!ref.node) continue;
            if (ref.kind == kAmiBranch) {
                auto* branch = static_cast<AmiBranch*>(ref.node);
                FreeBranch(branch);
            } else {
                auto* leaf = static_cast<AmiLeaf*>(ref.node);
                FreeLeaf(leaf);
            }
            ref.node = nullptr;
        }
        AmiFree(&t->nodes);
    }
    AmiFree(tree);
}

std::int32_t ParseAmiParams(const char* text, AmiParamTree** result) {
    if (!text || !result) return kParseNoParent;
    const char* start = text;
    SkipAmiBlanks(&start);
    if (*start != '(') return kParseNoOpeningParenthesis;

    std::int64_t opens = 0, closes = 0;
    bool quoted = false;
    for (const char* c = start; *c; ++c) {
        if (*c == '"') quoted = !quoted;
        else if (!quoted && *c == '(') ++opens;
        else if (!quoted && *c == ')') ++closes;
    }
    if (opens != closes) return kParseMismatchedParentheses;
    if (opens > 0x7fffffff / static_cast<std::int64_t>(sizeof(AmiNodeRef))) return kParseOutOfMemory;

    AmiParamTree* tree = nullptr;
    if (!AmiAlloc(&tree, sizeof(AmiParamTree))) return kParseOutOfMemory;
    tree->count = static_cast<std::int32_t>(opens);
    if (!AmiAlloc(&tree->nodes, sizeof(AmiNodeRef) * static_cast<std::size_t>(opens))) {
        FreeAmiParamTree(&tree);
        return kParseOutOfMemory;
    }
    char* copy = AmiCopyText(start, std::strlen(start));
    if (!copy) {
        FreeAmiParamTree(&tree);
        return kParseOutOfMemory;
    }
    std::int32_t firstLine = 1;  // the blanks skipped before the first list may hold line ends
    for (const char* c = text; c < start; ++c)
        if (*c == '\n' || (*c == '\r' && c[1] != '\n')) ++firstLine;
    NodeListBuilder builder(copy, tree, firstLine);
    std::int32_t code = builder.Build();
    if (code == kParseOk) code = LinkNodes(tree, builder.NodeCount());
    AmiFree(&copy);
    if (code != kParseOk) {
        FreeAmiParamTree(&tree);
        return code;
    }
    *result = tree;
    return kParseOk;
}
