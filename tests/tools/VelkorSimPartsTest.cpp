// The pieces of velkor-sim's sweeps, jitter-tolerance searches and reports,
// through their own interfaces.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/velkor-sim/Grid.h"
#include "tools/velkor-sim/JtolSearch.h"
#include "tools/velkor-sim/Plot.h"
#include "tools/velkor-sim/Report.h"
#include "tools/velkor-sim/SweepManifest.h"
#include "tools/velkor-sim/Utf8.h"

namespace {

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

}  // namespace

// Point k's values are worked out from k, the last axis fastest; the size is
// checked before anything is built, without overflow however large the product.
TEST(SweepGrid, EnumeratesPointsOnDemandAndRefusesHugeGrids) {
    sim::Grid grid;
    std::string error;
    ASSERT_TRUE(grid.Set({{"loss", {"6", "12", "18"}}, {"CDR_Threshold", {"2", "3"}}}, error)) << error;
    EXPECT_EQ(grid.Size(), 6u);
    const std::vector<std::vector<std::string>> expected = {{"6", "2"},  {"6", "3"},  {"12", "2"},
                                                            {"12", "3"}, {"18", "2"}, {"18", "3"}};
    for (std::uint64_t k = 0; k < grid.Size(); ++k) EXPECT_EQ(grid.Point(k), expected[k]) << k;
    EXPECT_EQ(grid.Id(5), "0005");

    std::vector<std::string> hundred;
    for (int v = 0; v < 100; ++v) hundred.push_back(std::to_string(v));
    const struct {
        std::size_t axes;
        bool fits;
    } cases[] = {{3, true}, {4, false}, {5, false}, {40, false}};  // 10^6 fits; 10^80 must not overflow into a fit
    for (const auto& c : cases) {
        sim::Grid big;
        std::vector<sim::GridAxis> axes;
        for (std::size_t a = 0; a < c.axes; ++a) axes.push_back({"a" + std::to_string(a), hundred});
        EXPECT_EQ(big.Set(axes, error), c.fits) << c.axes;
        if (c.fits) {
            EXPECT_EQ(big.Size(), 1000000u);
            EXPECT_EQ(big.Point(999999), (std::vector<std::string>{"99", "99", "99"}));
            EXPECT_EQ(big.Id(7), "000007");
        } else {
            EXPECT_NE(error.find("more than 1000000 points"), std::string::npos) << error;
        }
    }
}

// The bisection ends when the bracket is narrow enough, and also when its
// middle can no longer be told from its ends, whatever resolution it was given.
TEST(JtolBisection, EndsAtTheResolutionOrWhenTheMiddleRepeats) {
    const struct {
        double threshold, resolution;  // the link passes up to threshold
        int maxSteps;
    } cases[] = {{0.7, 0.02, 10}, {0.123456789, 0.0, 64}, {3.9999999999, 0.0, 64}, {1e-9, 1e-300, 110}};
    for (const auto& c : cases) {
        sim::JtolSearch search(1e6, 4.0, c.resolution);
        double previous = -1;
        while (!search.Done() && search.Step() < 2000) {
            const double tried = search.Next();
            EXPECT_NE(tried, previous) << "no amplitude is tried twice";
            previous = tried;
            search.Record(tried <= c.threshold, "ber");
        }
        EXPECT_TRUE(search.Done());
        EXPECT_LE(search.Step(), c.maxSteps) << c.threshold;
        EXPECT_LE(search.Passed(), c.threshold);
        EXPECT_GT(search.Failed(), c.threshold);
        EXPECT_LE(search.Failed() - search.Passed(), std::max(c.resolution, 1e-15));
        EXPECT_EQ(search.FailedBy(), "ber");
        EXPECT_FALSE(search.Capped());
        // The amplitude a run is given is the one chosen, to the last bit.
        EXPECT_EQ(std::stod(sim::AmplitudeText(search.Passed())), search.Passed());
    }
    sim::JtolSearch capped(1e6, 2.0, 0.05);
    capped.Record(true, "");
    EXPECT_TRUE(capped.Done());
    EXPECT_TRUE(capped.Capped());
    sim::JtolSearch killed(1e6, 2.0, 0.05);
    killed.GiveUp("killed twice");
    EXPECT_TRUE(killed.Done());
    EXPECT_FALSE(killed.Measured());
    EXPECT_FALSE(killed.Capped());
}

TEST(ReportText, InvalidUtf8IsReplacedAndValidTextKept) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain/path.s2p", "plain/path.s2p"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x99\x82", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x99\x82"},
        {"raw\xFF.txt", "raw\xEF\xBF\xBD.txt"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
        {"\xE0\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // overlong
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // above U+10FFFF
        {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::ValidUtf8(c.in), c.out) << c.in;
        EXPECT_TRUE(nlohmann::json::accept("\"" + sim::ValidUtf8(c.in) + "\"")) << c.in;
    }
}

TEST(SweepManifest, ReadsBackWhatItWroteAndNamesWhatDiffers) {
    sim::SweepManifest m{sim::ToolVersion(), {{"loss", {"6", "12"}}, {"channel", {"a b.s2p", "back\\slash\nnewline"}}},
                         {"--bits", "5000", "--seed", "7"}, 2, 3};
    ASSERT_EQ(std::string(sim::ToolVersion()), VELKOR_VERSION);
    const std::string path = testing::TempDir() + "manifest.txt";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::string text = sim::ManifestText(m);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    sim::SweepManifest back;
    std::string error;
    ASSERT_TRUE(sim::ReadManifest(path, back, error)) << error;
    EXPECT_EQ(sim::ManifestDifference(m, back), "");
    EXPECT_EQ(back.grid[1].values[1], "back\\slash\nnewline");
    EXPECT_EQ(back.shard, 2);
    EXPECT_EQ(back.shards, 3);
    const struct {
        void (*change)(sim::SweepManifest&);
        const char* difference;
    } cases[] = {
        {[](sim::SweepManifest& x) { x.version = "0.9.0"; }, "velkor-sim"},
        {[](sim::SweepManifest& x) { x.grid[0].values[1] = "40"; }, "grid loss=6 12 against loss=6 40"},
        {[](sim::SweepManifest& x) { x.runArguments[1] = "50000"; }, "run options '--bits 5000 --seed 7' against '--bits 50000"},
        {[](sim::SweepManifest& x) { x.grid.pop_back(); }, "grids of 2 and 1 axes"},
    };
    for (const auto& c : cases) {
        sim::SweepManifest other = m;
        c.change(other);
        EXPECT_NE(sim::ManifestDifference(m, other).find(c.difference), std::string::npos)
            << sim::ManifestDifference(m, other);
    }
    EXPECT_FALSE(sim::ReadManifest(testing::TempDir() + "nowhere.txt", back, error));
}

// Labels carry the digits their spacing needs; frequencies read in Hz.
TEST(PlotLabels, DigitsFollowTheTickSpacingAndFrequenciesReadInHertz) {
    const struct {
        double value, step;
        const char* label;
    } ticks[] = {
        {0.25, 0.05, "0.25"}, {3, 1, "3"}, {100, 20, "100"}, {-0.5, 0.1, "-0.5"}, {1e-17, 0.1, "0"},
        {9.997e-11, 5e-14, "9.997e-11"}, {3.00000000001, 1e-11, "3.00000000001e+00"}, {2.5e6, 5e5, "2.5e+06"},
        {1.2e7, 2e6, "1.2e+07"},
    };
    for (const auto& t : ticks) EXPECT_EQ(sim::TickLabel(t.value, t.step), t.label) << t.value << " " << t.step;
    const struct {
        double hz;
        const char* label;
    } hz[] = {{3e5, "300 kHz"}, {1e6, "1 MHz"}, {2.5e9, "2.5 GHz"}, {50, "50 Hz"}, {1e8, "100 MHz"}};
    for (const auto& h : hz) EXPECT_EQ(sim::HzLabel(h.hz), h.label);
    // A log-frequency axis is labelled in Hz on 1-2-5 steps, not with log10 values.
    sim::Plot plot("t", "frequency", "UI", 5, 8, -1, 1, sim::Axis::kLog, sim::Axis::kLogHz);
    const std::string svg = plot.Svg();
    for (const char* label : {">100 kHz<", ">1 MHz<", ">10 MHz<", ">100 MHz<"}) EXPECT_NE(svg.find(label), std::string::npos) << label;
    for (const char* log10Label : {">6<", ">7<", ">6.0<", ">7.0<"}) EXPECT_EQ(svg.find(log10Label), std::string::npos);
}

// Legends in the order of the values they stand for, file names on a category
// axis, and a point without figures drawn as missing, never as 0.
TEST(SweepReportPage, SortsLegendsNamesCategoriesAndMarksMissingPoints) {
    const std::vector<std::string> header{"point", "channel", "loss", "status", "locked", "ber", "ber_high", "eye_height"};
    std::vector<std::vector<std::string>> rows;
    int k = 0;
    for (const char* channel : {"short.s2p", "long.s2p"})
        for (const char* loss : {"12", "18", "24", "6"}) {
            const bool lost = std::string(loss) == "24" && std::string(channel) == "long.s2p";
            rows.push_back({std::to_string(k++), channel, loss, "0", lost ? "false" : "true", lost ? "" : "1e-4",
                            lost ? "" : "2e-4", lost ? "" : "0.3"});
        }
    const std::string html = sim::SweepReportHtml(header, rows, 2, "Options of every run: --bits 5000 --seed 7");
    EXPECT_NE(html.find("--bits 5000 --seed 7"), std::string::npos) << "run conditions on the page";
    const auto l6 = html.find(">loss=6<"), l12 = html.find(">loss=12<"), l18 = html.find(">loss=18<"), l24 = html.find(">loss=24<");
    ASSERT_NE(l6, std::string::npos);
    EXPECT_LT(l6, l12);
    EXPECT_LT(l12, l18);
    EXPECT_LT(l18, l24);
    EXPECT_NE(html.find(">short.s2p<"), std::string::npos) << "file names label the channel axis";
    EXPECT_NE(html.find(">long.s2p<"), std::string::npos);
    EXPECT_EQ(html.find("(value number)"), std::string::npos);
    EXPECT_GE(Count(html, "not locked or failed"), 2u) << "the point without figures is marked as missing";
}

// Capped points are drawn as lower bounds and written with a sign; a frequency
// not measured says why; the conditions head the page.
TEST(JtolReportPage, ShowsBoundsMissingPointsAndConditions) {
    std::vector<sim::JtolPoint> points(3);
    points[0] = {1e5, 4, -1, true, true, "", ""};
    points[1] = {1e6, 0.7, -1, false, true, "ber", ""};
    points[2] = {1e7, 0, -1, false, false, "", "killed twice (status 137)"};
    const std::string html = sim::JtolReportHtml(points, {}, 1e-3, 0.02, "Options of every run: --seed 3");
    EXPECT_NE(html.find("&ge; 4"), std::string::npos);
    EXPECT_NE(html.find("passed the largest SJ tried: at least"), std::string::npos);
    EXPECT_NE(html.find("<polygon"), std::string::npos) << "the capped point is a triangle, not a dot";
    EXPECT_NE(html.find("not measured: killed twice (status 137)"), std::string::npos);
    EXPECT_NE(html.find("BER above the target"), std::string::npos);
    EXPECT_NE(html.find(">1 MHz<"), std::string::npos) << "the frequency axis reads in Hz";
    EXPECT_NE(html.find("--seed 3"), std::string::npos);
}
