// The loadable model links the AMI parameter reader and nothing of the checker:
// no reporting state, no message table, no assertion that ends the process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/Process.h"

namespace {

// The symbols a binary defines, by nm; a stripped library's stay in its debug file.
std::string DefinedSymbols(const std::string& binary) {
    std::string file = binary;
    if (access((binary + ".debug").c_str(), R_OK) == 0) file = binary + ".debug";
    const ProcessResult nm = RunProcess("nm -C --defined-only '" + file + "'");
    EXPECT_EQ(nm.status, 0) << nm.out;
    return nm.out;
}

bool Defines(const std::string& symbols, const std::string& name) {
    // nm writes "address type name": the name follows a blank.
    return symbols.find(" " + name) != std::string::npos;
}

// What only the checker defines.
const char* const kCheckerSymbols[] = {
    "Reporting()", "ReportNumbered(", "ReportAssertion(", "kMessageTable", "CheckIbisFile(",
    "CheckStrDup(", "CheckAlloc(", "Frame()",
};

TEST(ModelLibrary, LinksTheParameterReaderAndNoCheckerCode) {
    const std::string model = DefinedSymbols(VELKOR_LIBRARY_PATH);
    // The reader is there: the symbols are read at all.
    EXPECT_TRUE(Defines(model, "ParseAmiParams(")) << model.substr(0, 2000);
    EXPECT_TRUE(Defines(model, "AmiParamReader::GetInt("));
    for (const char* name : kCheckerSymbols) EXPECT_FALSE(Defines(model, name)) << name;
}

// The check itself must see what it is there to catch.
TEST(ModelLibrary, TheCheckerArchiveDefinesWhatTheModelMustNot) {
    const std::string checker = DefinedSymbols(VELKOR_CHECKER_ARCHIVE);
    for (const char* name : kCheckerSymbols) EXPECT_TRUE(Defines(checker, name)) << name;
}

}  // namespace
