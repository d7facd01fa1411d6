// Files that a checked file names (a package model's .pkg, a board's component
// files) and the models many components share: each named file is opened once,
// each finding about a shared package model is reported once, whatever the
// number of lines and components that name it.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/CheckerRun.h"
#include "support/ScratchDirectory.h"

namespace {

class NamedFiles : public testing::Test {
protected:
    ScratchDirectory scratch;
};

// Counts the times a file is opened while it is watched. Closes are watched as
// well: the kernel folds repeated identical events that were not read yet, but
// never an open that follows a close.
class OpenCounter {
public:
    explicit OpenCounter(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK)) {
        EXPECT_GE(fd_, 0);
        EXPECT_GE(inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE), 0) << path;
    }
    ~OpenCounter() { close(fd_); }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;

    int Opens() {
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->mask & IN_OPEN) ++opens_;
                p += sizeof(inotify_event) + event->len;
            }
        return opens_;
    }

private:
    int fd_;
    int opens_ = 0;
};

CheckerRun CheckNumbered(const std::string& path, const std::string& content) {
    WriteFile(path, content);
    return CaptureReports([&] {
        SetWordStyle(false);
        return CheckIbisFile(path.c_str(), FileKindOf(path));
    });
}

// A component of the given pins, each of the Input model "in".
std::string Component(const std::string& name, const std::vector<std::string>& pins, const std::string& package) {
    std::string text = "[Component] " + name + "\n[Manufacturer] maker\n[Package]\nR_pkg 1m NA NA\nL_pkg 1n NA NA\n"
                       "C_pkg 1p NA NA\n";
    if (!package.empty()) text += "[Package Model] " + package + "\n";
    text += "[Pin] signal_name model_name\n";
    for (const std::string& pin : pins) text += pin + " S" + pin + " in\n";
    return text;
}

// A package model of pins 1 ... n with diagonal matrices.
std::string PackageModel(int n) {
    std::string numbers, rows;
    for (int i = 1; i <= n; ++i) {
        numbers += std::to_string(i) + "\n";
        rows += "[Row] " + std::to_string(i) + "\n1n\n";
    }
    return "[Define Package Model] pk\n[Manufacturer] maker\n[OEM] oem\n[Description] d\n[Number Of Pins] " +
           std::to_string(n) + "\n[Pin Numbers]\n" + numbers + "[Model Data]\n[Inductance Matrix] Diagonal_matrix\n" +
           rows + "[Capacitance Matrix] Diagonal_matrix\n" + rows + "[End Model Data]\n[End Package Model]\n";
}

const std::string kInputModel = "[Model] in\n" + kInputModelBody;

}  // namespace

TEST_F(NamedFiles, SharedPackageModelPinsAreReportedOncePerPinWithTheCountOfItsComponents) {
    constexpr int kComponents = 40, kPins = 30;
    std::string ibs = Header("shared.ibs");
    // Components without any pin of the model, then one that has all but pin 1.
    for (int c = 0; c < kComponents; ++c) ibs += Component("c" + std::to_string(c), {"A1"}, "pk");
    std::vector<std::string> most;
    for (int i = 2; i <= kPins; ++i) most.push_back(std::to_string(i));
    ibs += Component("most", most, "pk") + kInputModel + PackageModel(kPins) + "[End]\n";
    const CheckerRun r = CheckNumbered("shared.ibs", ibs);
    EXPECT_EQ(r.Count("E5018"), kPins) << r.output.substr(0, 2000);
    EXPECT_TRUE(r.Has("Pin '1' of package model pk is not in the [Pin] list of 41 of the 41 component(s) that use "
                      "it (the first: 'c0')"))
        << r.output.substr(0, 2000);
    EXPECT_TRUE(r.Has("Pin '2' of package model pk is not in the [Pin] list of 40 of the 41 component(s)"))
        << r.output.substr(0, 2000);
}

TEST_F(NamedFiles, PackageFileNamedByManyComponentsIsOpenedOnce) {
    constexpr int kComponents = 200;
    WriteFile("pk.pkg", Header("pk.pkg") + PackageModel(2) + "[End]\n");
    std::string ibs = Header("many.ibs");
    for (int c = 0; c < kComponents; ++c) ibs += Component("c" + std::to_string(c), {"1", "2"}, "pk");
    ibs += kInputModel + "[End]\n";
    OpenCounter opens("pk.pkg");
    const CheckerRun r = CheckNumbered("many.ibs", ibs);
    EXPECT_EQ(r.errors + r.warnings, 0u) << r.output.substr(0, 2000);
    EXPECT_EQ(opens.Opens(), 1);
}

TEST_F(NamedFiles, BoardComponentFileIsOpenedOnceAndItsPinsMatchIgnoringCase) {
    constexpr int kRows = 100;
    WriteFile("part.ibs", Header("part.ibs") + Component("chip", {"A1", "B2"}, "") + kInputModel + "[End]\n");
    std::string ebd = Header("board.ebd") + "[Begin Board Description] b\n[Manufacturer] m\n[Number Of Pins] " +
                      std::to_string(kRows) + "\n[Pin List] signal_name\n";
    std::string paths, map = "[Reference Designator Map]\n";
    for (int i = 0; i < kRows; ++i) {
        const std::string n = std::to_string(i);
        ebd += "P" + n + " S" + n + "\n";
        // Pins are written in either case, as node names often are.
        paths += "[Path Description] p" + n + "\nPin P" + n + "\nLen = 0 L=1n /\nNode u" + n + (i % 2 ? ".a1" : ".B2") +
                 "\n";
        map += "u" + n + " part.ibs chip\n";
    }
    ebd += paths + map + "[End Board Description]\n[End]\n";
    OpenCounter opens("part.ibs");
    const CheckerRun clean = CheckNumbered("board.ebd", ebd);
    EXPECT_EQ(clean.errors + clean.warnings, 0u) << clean.output.substr(0, 2000);
    EXPECT_EQ(opens.Opens(), 1);
    const std::string wrongPin = "Node u7.a1";
    std::string faulty = ebd;
    faulty.replace(faulty.find(wrongPin), wrongPin.size(), "Node u7.C3");
    const CheckerRun r = CheckNumbered("board.ebd", faulty);
    EXPECT_EQ(r.Count("E5099"), 1) << r.output.substr(0, 2000);
    EXPECT_TRUE(r.Has("Node u7.C3: chip has no pin 'C3'")) << r.output.substr(0, 2000);
}
