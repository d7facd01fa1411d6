// The registry of checks: each check once, with a name, listening only to
// keywords of the keyword table; each whole-file check for a kind of its own.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/keywords.h"
#include "IbisParser/engine/registry.h"

TEST(Registry, EachCheckOnceWithANameAndSomethingToDo) {
    std::set<const KeywordCheck*> checks;
    std::set<std::string> names;
    for (const KeywordCheck* check : RegisteredChecks()) {
        ASSERT_NE(check, nullptr);
        ASSERT_NE(check->name, nullptr);
        EXPECT_FALSE(std::string(check->name).empty());
        EXPECT_TRUE(checks.insert(check).second) << check->name << " registered twice";
        EXPECT_TRUE(names.insert(check->name).second) << "two checks named " << check->name;
        const bool reads = !check->keywords.empty() && check->onLine;
        const bool told = check->onFileStart || check->onGroupOpen || check->onKeyword || check->onGroupClose ||
                          check->onFileEnd;
        EXPECT_TRUE(reads || told) << check->name << " is told of nothing";
        EXPECT_EQ(check->keywords.empty(), check->onLine == nullptr)
            << check->name << ": keywords without a line reader, or a reader without keywords";
    }
    EXPECT_GE(checks.size(), 10u);
}

TEST(Registry, ChecksListenToKeywordsOfTheTableEachOnce) {
    for (const KeywordCheck* check : RegisteredChecks()) {
        std::set<std::int32_t> codes;
        for (std::int32_t code : check->keywords) {
            const KeywordInfo* row = KeywordInfoOf(code);
            ASSERT_NE(row, nullptr) << check->name << " listens to code " << code << ", which has no row";
            EXPECT_NE(row->group, kGroupNone) << check->name << " listens to " << row->display
                                              << ", whose lines the engine never hands on";
            EXPECT_TRUE(codes.insert(code).second) << check->name << " lists " << row->display << " twice";
        }
    }
}

TEST(Registry, WholeFileChecksOnePerKind) {
    std::set<int> kinds;
    for (const FileCheck* check : RegisteredFileChecks()) {
        ASSERT_NE(check, nullptr);
        EXPECT_TRUE(kinds.insert(check->kind).second) << "two whole-file checks for kind " << check->kind;
        EXPECT_EQ(FileCheckFor(check->kind), check);
    }
    // The .ami files are read whole; the IBIS, package and board files line by line.
    EXPECT_NE(FileCheckFor(kFileAmi), nullptr);
    for (int kind : {kFileIbs, kFilePkg, kFileEbd}) EXPECT_EQ(FileCheckFor(kind), nullptr) << kind;
}
