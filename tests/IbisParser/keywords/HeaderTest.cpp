#include <gtest/gtest.h>

#include <string>

#include "IbisParser/engine/ibis.h"
#include "IbisParser/engine/keywords.h"
#include "IbisParser/keywords/hdr.h"
#include "support/CheckerRun.h"
#include "support/ScratchDirectory.h"

namespace {

class Header_ : public testing::Test {
protected:
    ScratchDirectory scratch;
    void TearDown() override {
        HdrSetAcceptVersion1(false);
        HdrSetSkipFileNameChecks(false);
        HdrSetTreatAsVersion5(false);
    }
};

const std::string kTail = "[Component] c\n[End]\n";

}  // namespace

TEST_F(Header_, Cases) {
    const struct {
        std::string header;
        std::string expect;  // a message that must appear ("" = no error at all)
    } cases[] = {
        {"[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Rev] 1.0\n", ""},
        {"[IBIS Ver] 4.2\n[File Name] rx.ibs\n", "Required keyword 'File_Rev' not found in file 'rx.ibs'."},
        {"[IBIS Ver] 4.2\n[File Rev] 1.0\n", "Required keyword 'File_name' not found in file 'rx.ibs'."},
        {"[IBIS Ver] 4.3\n[File Name] rx.ibs\n[File Rev] 1.0\n", "Illegal IBIS_Version '4.3'."},
        {"[IBIS Ver] 4.2\n[Date] today\n[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Rev] 1\n",
         "Duplicate IBIS_Ver keyword."},
        {"[IBIS Ver] 4.2\n[File Name] Rx.ibs\n[File Rev] 1.0\n",
         "File_name 'Rx.ibs' contains an upper case character 'R'."},
        {"[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Rev] 1.0\n[Date] 1\n[Date] 2\n", "Duplicate Date keyword."},
        {"[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Rev] 1.0\n[Notes] a\n[Notes] b\n", "Duplicate Notes keyword."},
        {"[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Name] rx.ibs\n[File Rev] 1\n", "Duplicate File_name keyword."},
        {"[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Rev] 1.0\norphan\n", "Orphan Data Line."},
        {"[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Rev] NA\n", "Illegal use of Reserved Word 'NA'."},
        {"[IBIS Ver] 4.2\n[File Name] other.ibs\n[File Rev] 1.0\n",
         "File name opened 'rx.ibs' not the same as File_name 'other.ibs'."},
        {"[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Rev]\n", "Zero length value for keyword 'File_Rev'."},
    };
    for (const auto& c : cases) {
        const CheckerRun r = CheckText("rx.ibs", c.header + kTail);
        if (c.expect.empty()) EXPECT_EQ(r.errors, 0u) << c.header << r.output;
        else EXPECT_TRUE(r.Has(c.expect)) << c.header << "\n" << r.output;
    }
}

TEST_F(Header_, VersionFirstAndOptions) {
    const CheckerRun late = CheckText("rx.ibs", "[Date] x\n[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Rev] 1\n" + kTail);
    // Detection needs [IBIS Ver] first; a file without it is not read.
    EXPECT_TRUE(late.Has("Could not determine Version"));
    WriteFile("h.ibs", "");
    const CheckerRun order = CaptureReports([] {
        IbisCreate();
        IbisAddHeader(HdrOpen());
        HdrLine(kLineKeyword, 4, "[Date] x");
        HdrLine(kLineKeyword, 0, "[IBIS Ver] 4.2");
        IbisFree();
        return 1;
    });
    EXPECT_TRUE(order.Has("IBIS_Version must be first keyword.")) << order.output;

    const CheckerRun v1 = CheckText("rx.ibs", "[IBIS Ver] 1.1\n[File Name] rx.ibs\n[File Rev] 1\n" + kTail);
    EXPECT_EQ(v1.errors, 0u) << v1.output;  // IBIS 1.1 is checked by its own rules
    const CheckerRun v10 = CheckText("rx.ibs", "[IBIS Ver] 1.0\n[File Name] rx.ibs\n[File Rev] 1\n" + kTail);
    EXPECT_TRUE(v10.Has("Illegal IBIS_Version '1.0'.")) << v10.output;
    HdrSetAcceptVersion1(true);
    const CheckerRun v1ok = CaptureReports([] {
        IbisCreate();
        IbisAddHeader(HdrOpen());
        HdrLine(kLineKeyword, 0, "[IBIS Ver] 1.0");
        const int version = Frame().version;
        IbisFree();
        return version;
    });
    EXPECT_EQ(v1ok.result, 1);
    EXPECT_EQ(v1ok.errors, 0u);
}

TEST_F(Header_, FileNameRules) {
    const struct {
        std::string name, version, expect;
        int count;
    } cases[] = {
        {"a.b.c", "4.2", "File_name 'a.b.c' contains more than one period.", 1},
        {"rx", "4.2", "File_name 'rx' must contain one period.", 1},
        {"rx+1.ibs", "4.2", "File_name 'rx+1.ibs' contains a character '+' that is illegal for DOS.", 1},
        {"abcdefghi.ibs", "2.1", "File_name string 'abcdefghi.ibs' is too long, truncating to 12 characters.", 1},
        {std::string(41, 'a') + ".ibs", "4.2", "is too long, maximum length 44 allowed.", 1},
    };
    for (const auto& c : cases) {
        const CheckerRun r = CheckText("rx.ibs", "[IBIS Ver] " + c.version + "\n[File Name] " + c.name + "\n[File Rev] 1\n" + kTail);
        EXPECT_EQ(r.Count(c.expect), c.count) << c.name << "\n" << r.output;
    }
    const CheckerRun cased = CheckText("RX.ibs", "[IBIS Ver] 4.2\n[File Name] rx.ibs\n[File Rev] 1\n" + kTail);
    EXPECT_FALSE(cased.Has("not the same as")) << cased.output;
    // IBIS 2.1 names are cut at 12 characters: the cut alone is no mismatch.
    for (const auto& [written, mismatch] : {std::pair{"abcdefghi.ibs", false}, std::pair{"abcdefghz.ibs", true}}) {
        const CheckerRun cut = CheckText("abcdefghi.ibs", std::string("[IBIS Ver] 2.1\n[File Name] ") + written +
                                                              "\n[File Rev] 1\n" + kTail);
        EXPECT_EQ(cut.Has("File name opened 'abcdefghi.ibs' not the same as"), mismatch) << written << cut.output;
    }
}

TEST_F(Header_, FreeTextAndGetters) {
    const CheckerRun r = CaptureReports([] {
        IbisCreate();
        IbisAddHeader(HdrOpen());
        HdrLine(kLineKeyword, 0, "[IBIS Ver] 4.2");
        HdrLine(kLineKeyword, 6, "[Notes] first");
        HdrLine(kLineData, 6, "second");
        HdrLine(kLineData, 6, "third");
        HdrLine(kLineKeyword, 7, "[Disclaimer] one");
        HdrLine(kLineKeyword, 7, "[Disclaimer] two");
        // 100 000 more continuation lines and repeated keywords join in linear time.
        std::string disclaimer = "one\ntwo";
        for (int i = 0; i < 100000; ++i) {
            const std::string line = std::to_string(i);
            HdrLine(kLineData, 7, line.c_str());
            HdrLine(kLineKeyword, 7, "[Disclaimer] k");
            disclaimer += "\n" + line + "\nk";
        }
        const FileHeader* h = CurrentIbis()->headers;
        const char* value = nullptr;
        int ok = HdrGetNotes(h, &value) && std::string(value) == "first\nsecond\nthird";
        ok = ok && HdrGetDisclaimer(h, &value) && value == disclaimer;
        ok = ok && HdrGetIbisVersion(h, &value) && std::string(value) == "4.2";
        ok = ok && !HdrGetSource(h, &value) && value == nullptr;
        ok = ok && !HdrGetDate(h, &value);
        IbisFree();
        return ok;
    });
    EXPECT_EQ(r.result, 1) << r.output;
    EXPECT_EQ(r.errors, 0u) << r.output;
    const CheckerRun orphan = CaptureReports([] {
        HdrClose(KW_COMPONENT);
        HdrLine(kLineKeyword, 3, "[File Rev] 1");
        return 1;
    });
    EXPECT_TRUE(orphan.Has("Orphan File Header keyword."));
}
