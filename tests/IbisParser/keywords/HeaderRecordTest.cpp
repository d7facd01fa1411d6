// What the header record keeps of each keyword: values cut to their length, free
// texts joined line by line, and nothing where a keyword was not given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/ibis.h"
#include "IbisParser/engine/keywordcodes.h"
#include "IbisParser/keywords/hdr.h"
#include "support/CheckerRun.h"

namespace {

struct Line {
    int lineClass;
    std::int32_t code;
    std::string text;
};

// The getters' view of a header read from `lines`: "-" where a getter finds nothing.
std::vector<std::string> Kept(const std::vector<Line>& lines) {
    std::vector<std::string> kept;
    CaptureReports([&] {
        IbisCreate();
        IbisAddHeader(HdrOpen());
        for (const Line& l : lines) HdrLine(l.lineClass, l.code, l.text.c_str());
        const FileHeader* h = CurrentIbis()->headers;
        for (auto get : {HdrGetIbisVersion, HdrGetFileName, HdrGetFileRevision, HdrGetDate, HdrGetSource, HdrGetNotes,
                         HdrGetDisclaimer, HdrGetCopyright}) {
            const char* value = nullptr;
            kept.push_back(get(h, &value) ? std::string(value) : "-");
        }
        IbisFree();
        return 0;
    });
    return kept;
}

}  // namespace

TEST(HeaderRecord, KeepsWhatEachKeywordGave) {
    HdrSetSkipFileNameChecks(true);
    const std::string longName(1100, 'a');
    const struct {
        std::vector<Line> lines;
        std::vector<std::string> kept;  // version, name, revision, date, source, notes, disclaimer, copyright
    } cases[] = {
        {{}, {"-", "-", "-", "-", "-", "-", "-", "-"}},
        {{{kLineKeyword, KW_IBIS_VER, "[IBIS Ver] 5.0"},
          {kLineKeyword, KW_FILE_NAME, "[File Name] rx.ibs"},
          {kLineKeyword, KW_FILE_REV, "[File Rev] 1.2"},
          {kLineKeyword, KW_DATE, "[Date] today"}},
         {"5.0", "rx.ibs", "1.2", "today", "-", "-", "-", "-"}},
        // Values longer than their keyword allows are cut; a second value is refused.
        {{{kLineKeyword, KW_FILE_REV, "[File Rev] " + std::string(90, 'r')},
          {kLineKeyword, KW_DATE, "[Date] " + std::string(50, 'd')},
          {kLineKeyword, KW_DATE, "[Date] again"}},
         {"-", "-", std::string(70, 'r'), std::string(40, 'd'), "-", "-", "-", "-"}},
        {{{kLineKeyword, KW_IBIS_VER, "[IBIS Ver] 7.0"}, {kLineKeyword, KW_FILE_NAME, "[File Name] " + longName}},
         {"7.0", std::string(1024, 'a'), "-", "-", "-", "-", "-", "-"}},
        // An empty keyword line still starts its text: the next line joins it.
        {{{kLineKeyword, KW_NOTES, "[Notes]"}, {kLineData, KW_NOTES, "a"}, {kLineData, KW_NOTES, ""},
          {kLineData, KW_NOTES, "b"}},
         {"-", "-", "-", "-", "-", "\na\n\nb", "-", "-"}},
        {{{kLineKeyword, KW_SOURCE, "[Source] s"}, {kLineKeyword, KW_SOURCE, "[Source] t"},
          {kLineKeyword, KW_COPYRIGHT, "[Copyright]"}, {kLineKeyword, KW_DISCLAIMER, "[Disclaimer] x"},
          {kLineKeyword, KW_DISCLAIMER, "[Disclaimer] y"}},
         {"-", "-", "-", "-", "s", "-", "x\ny", "-"}},
    };
    for (const auto& c : cases) {
        std::string lines;
        for (const Line& l : c.lines) lines += l.text.substr(0, 40) + "|";
        EXPECT_EQ(Kept(c.lines), c.kept) << lines;
    }
    HdrSetSkipFileNameChecks(false);
}
