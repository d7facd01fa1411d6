#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "AmiParams/amiparse.h"
#include "AmiParams/amialloc.h"

namespace {

struct Tree {
    AmiParamTree* tree = nullptr;
    std::int32_t code = -99;
    explicit Tree(const char* text) { code = ParseAmiParams(text, &tree); }
    ~Tree() { FreeAmiParamTree(&tree); }
    const AmiNodeRef& operator[](int i) const { return tree->nodes[i]; }
    const AmiBranch* Branch(int i) const { return AsBranch(tree->nodes[i]); }
    const AmiLeaf* Leaf(int i) const { return AsLeaf(tree->nodes[i]); }
};

std::string Children(const AmiBranch* b) {
    std::string names;
    for (int i = 0; i < b->childCount; ++i) {
        const AmiNodeRef& c = b->children[i];
        names += std::string(c.kind == kAmiBranch ? AsBranch(c)->name : AsLeaf(c)->name) + " ";
    }
    return names;
}

}  // namespace

TEST(AmiParse, SimpleTree) {
    Tree t("(root (a 1) (b 2 3))");
    ASSERT_EQ(t.code, kParseOk);
    ASSERT_EQ(t.tree->count, 3);
    EXPECT_EQ(t[0].kind, kAmiBranch);
    EXPECT_EQ(t[0].level, 1);
    EXPECT_STREQ(t.Branch(0)->name, "root");
    EXPECT_EQ(Children(t.Branch(0)), "a b ");
    EXPECT_EQ(t[1].level, 2);
    ASSERT_EQ(t.Leaf(1)->valueCount, 1);
    EXPECT_STREQ(t.Leaf(1)->values[0].text, "1");
    EXPECT_EQ(t.Leaf(1)->values[0].type, kAmiInteger);
    EXPECT_EQ(t.Leaf(1)->values[0].keyword, -1);
    ASSERT_EQ(t.Leaf(2)->valueCount, 2);
    EXPECT_STREQ(t.Leaf(2)->values[1].text, "3");
}

TEST(AmiParse, NestedBranchesAndValueTypes) {
    Tree t("(root (sub (x 1.5)) (y True) (z true))");
    ASSERT_EQ(t.code, kParseOk);
    EXPECT_EQ(t[1].kind, kAmiBranch);
    EXPECT_EQ(t[1].level, 2);
    EXPECT_EQ(Children(t.Branch(0)), "sub y z ");
    EXPECT_EQ(Children(t.Branch(1)), "x ");
    EXPECT_EQ(t[2].level, 3);
    EXPECT_EQ(t.Leaf(2)->values[0].type, kAmiFloat);
    EXPECT_EQ(t[3].level, 2);
    EXPECT_EQ(t.Leaf(3)->values[0].type, kAmiBoolean);
    EXPECT_EQ(t.Leaf(4)->values[0].type, kAmiText);
}

TEST(AmiParse, ResultCodes) {
    const struct {
        const char* text;
        std::int32_t code;
    } cases[] = {
        {"", kParseNoOpeningParenthesis},
        {"   x (a 1)", kParseNoOpeningParenthesis},
        {"  \t(a (b 1))", kParseOk},
        {"(a 1)", kParseNoParent},
        {"(r (a 1)) (s (b 2))", kParseLevelTooLow},
        {"(r (a 1)", kParseMismatchedParentheses},
        {"(r (a ) (b 1))", kParseNameOnly},
        {"(r (a) (b 1))", kParseUnexpectedClose},
        {"(a b (c))", kParseNoParent},
        {"(r (a \"x)\" ))", kParseOk},
        {"(r (a \"unterminated))", kParseMismatchedParentheses},
        {"(r (a\" x\"y 1))", kParseOk},  // the scanner meets a quote without partner
    };
    for (const auto& c : cases) {
        Tree t(c.text);
        EXPECT_EQ(t.code, c.code) << c.text;
        if (c.code != kParseOk) {
            EXPECT_EQ(t.tree, nullptr);
        }
    }
    AmiParamTree* untouched = reinterpret_cast<AmiParamTree*>(0x1);
    EXPECT_EQ(ParseAmiParams(nullptr, &untouched), kParseNoParent);
    EXPECT_EQ(ParseAmiParams("(a (b 1))", nullptr), kParseNoParent);
}

TEST(AmiParse, QuotedTokensKeepBlanksParenthesesAndQuotes) {
    Tree t("(r (d \"a (b) c\" 2) (e abc\"de\"))");
    ASSERT_EQ(t.code, kParseOk);
    EXPECT_EQ(t.tree->count, 3);
    ASSERT_EQ(t.Leaf(1)->valueCount, 2);
    EXPECT_STREQ(t.Leaf(1)->values[0].text, "\"a (b) c\"");
    EXPECT_EQ(t.Leaf(1)->values[0].type, kAmiText);
    EXPECT_STREQ(t.Leaf(2)->values[0].text, "\"de\"");
}

TEST(AmiParse, NodesKnowTheLineOfTheirOpeningParenthesis) {
    const struct {
        const char* text;
        std::vector<int> lines;  // of the nodes in document order
    } cases[] = {
        {"(r (a 1)\n (b 2))", {1, 1, 2}},
        {"\n\n(r\r\n (a 1)\r (b\n 2))", {3, 4, 5}},  // blanks before the list; CR LF and a lone CR end one line each
        {"(r (d \"x\ny\")\n (e 1))", {1, 1, 3}},     // a line end inside quotes is one too
        {"(r\n (s\n  (t\n   (u 1))))", {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        Tree t(c.text);
        ASSERT_EQ(t.code, kParseOk) << c.text;
        std::vector<int> lines;
        for (int i = 0; i < t.tree->count; ++i)
            if (const AmiBranch* b = t.Branch(i)) lines.push_back(b->line);
            else if (const AmiLeaf* l = t.Leaf(i)) lines.push_back(l->line);
        EXPECT_EQ(lines, c.lines) << c.text;
    }
}

TEST(AmiParse, LeafHoldingAListIsDropped) {
    Tree t("(root (a 1 (x)) (b 2))");
    ASSERT_EQ(t.code, kParseOk);
    EXPECT_EQ(Children(t.Branch(0)), "b ");
    EXPECT_EQ(t.tree->count, 4);
    EXPECT_EQ(t[2].node, nullptr);  // slots past the nodes hold no record
    EXPECT_EQ(t[3].node, nullptr);
}

TEST(AmiParse, KeywordsAndReservedNames) {
    Tree t("(r (Usage In) (usage Range) (Type DjRj) (Format Dual-Dirac 1 2 3) (Labels x))");
    ASSERT_EQ(t.code, kParseOk);
    EXPECT_EQ(t.Leaf(1)->nameCode, kNameUsage);
    EXPECT_EQ(t.Leaf(1)->values[0].keyword, kKwIn);
    EXPECT_EQ(t.Leaf(2)->nameCode, kNameOther);
    EXPECT_EQ(t.Leaf(2)->values[0].keyword, kKwRange);
    EXPECT_EQ(t.Leaf(3)->values[0].keyword, kKwDjRj);
    EXPECT_EQ(t.Leaf(4)->values[0].keyword, kKwDualDirac);
    EXPECT_EQ(t.Leaf(4)->values[1].keyword, -1);
    EXPECT_EQ(t.Leaf(5)->nameCode, kNameLabels);
}

TEST(AmiParse, ClassifyValueType) {
    const struct {
        const char* text;
        std::int32_t type;
    } cases[] = {{nullptr, kAmiNoText}, {"", kAmiNoText}, {"\"1\"", kAmiText}, {"12", kAmiInteger},
                 {"-3", kAmiInteger},   {"1e3", kAmiFloat}, {"0x1A", kAmiFloat}, {"inf", kAmiFloat},
                 {"True", kAmiBoolean}, {"False", kAmiBoolean}, {"TRUE", kAmiText}, {"1.5x", kAmiText}};
    for (const auto& c : cases) EXPECT_EQ(ClassifyValueType(c.text), c.type) << (c.text ? c.text : "null");
}

TEST(AmiParse, LongBlankRunsAreSkippedWhole) {
    const std::string text = "(r" + std::string(500, ' ') + "(a" + std::string(300, '\t') + "1))";
    Tree t(text.c_str());
    EXPECT_EQ(t.code, kParseOk);
}

TEST(AmiParse, AllocationFailuresEndWithCodeFourAndNoLeak) {
    // Exhausted memory is a result code, never a report: the reader has no output.
    const char* text = "(root (a 1 2) (sub (x \"q\") (y True)) (z 3))";
    testing::internal::CaptureStdout();
    for (long n = 1; n < 60; ++n) {
        SetAllocationFailureCountdown(n);
        AmiParamTree* tree = nullptr;
        const std::int32_t code = ParseAmiParams(text, &tree);
        SetAllocationFailureCountdown(0);
        if (code == kParseOk) {
            FreeAmiParamTree(&tree);
            break;
        }
        EXPECT_EQ(code, kParseOutOfMemory) << n;
        EXPECT_EQ(tree, nullptr);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(AmiParse, GeneratedTextsGiveDocumentedCodes) {
    // Random parentheses, quotes, blanks and long tokens: every result is a
    // documented code and every tree frees cleanly (the sanitizer build checks).
    std::mt19937 rng(2024);
    const char alphabet[] = "(((()))) \t\n\"abcXYZ019.-_";
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int length = static_cast<int>(rng() % 120);
        for (int i = 0; i < length; ++i) text += alphabet[rng() % (sizeof alphabet - 1)];
        if (rng() % 4 == 0) text = "(" + text + ")";
        if (rng() % 50 == 0) text += std::string(200, 'k');
        AmiParamTree* tree = nullptr;
        const std::int32_t code = ParseAmiParams(text.c_str(), &tree);
        ASSERT_GE(code, 0) << text;
        ASSERT_LE(code, 8) << text;
        ASSERT_EQ(code == kParseOk, tree != nullptr);
        FreeAmiParamTree(&tree);
    }
}
