// Each check keeps its state in its own context: two files checked at once on
// two threads report exactly what they report one after the other. The
// ThreadSanitizer build (make test-tsan) runs these tests too.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/parse.h"
#include "IbisParser/engine/report.h"
#include "support/ScratchDirectory.h"

namespace {

// A model with an [Algorithmic Model] whose .ami file beside it holds faults.
void WriteAlgorithmicModel() {
    std::ofstream("m.ibs") << "[IBIS Ver] 5.0\n[File Name] m.ibs\n[File Rev] 1.0\n|\ttab in a comment\n"
                              "[Component] c\n[Manufacturer] x\n[Package]\nR_pkg 0.25 0.2 0.3\n"
                              "L_pkg 1nH 0.8nH 1.2nH\nC_pkg 0.4pF 0.3pF 0.5pF\n"
                              "[Pin] signal_name model_name R_pin L_pin C_pin\n1 RXP m_in\n2 RXN nowhere\n"
                              "[Model] m_in\nModel_type Input\nVinl = 0.45\nVinh = 0.55\nC_comp 0.3pF 0.25pF 0.35pF\n"
                              "[Voltage Range] 1.0 0.95 1.05\n"
                              "[Algorithmic Model]\nExecutable Linux_gcc_64 m.so m.ami\n"
                              "Executable Windows_VisualStudio_64 m.dll m.ami\n[End Algorithmic Model]\n"
                              "[End]\njunk\n";
    std::ofstream("m.ami") << "(m\n (Reserved_Parameters\n"
                              "  (Init_Returns_Impulse (Usage Info) (Type Boolean) (Default False) (Description \"x\"))\n"
                              "  (GetWave_Exists (Usage Info) (Type Boolean) (Default True) (Description \"x\")))\n"
                              " (Model_Specific\n  (a (Usage Sideways) (Type Integer) (Format Range 1) (Description \"y\"))\n"
                              "  (a (Usage In) (Type Float) (Default x) (Description \"z\"))))\n";
}

// A component with a package model in a .pkg file beside it, and a driver
// whose table and ramp are faulty.
void WritePackagedDriver() {
    std::ofstream("d.ibs") << "[IBIS Ver] 4.2\n[File Name] d.ibs\n[File Rev] 1.0\n[Component] c\n[Manufacturer] x\n"
                              "[Package]\nR_pkg 1 NA NA\nL_pkg 1nH NA NA\n[Pin] signal_name model_name\n1 A out\n"
                              "2 B nomodel\n[Package Model] pk\n[Model] out\nModel_type Output\nC_comp 1pF 1pF 1pF\n"
                              "[Voltage Range] 3.3 3.0 3.6\n[Pulldown]\n-1 -0.1 -0.1 -0.1\n0 0 0 0\n0 1 1 1\n"
                              "[Ramp]\ndV/dt_r 1/1n 1/1n\n[End]\n";
    std::ofstream("pk.pkg") << "[IBIS Ver] 4.2\n[File Name] pk.pkg\n[File Rev] 1\n[Define Package Model] pk\n"
                               "[Manufacturer] x\n[OEM] y\n[Description] z\n[Number Of Pins] 3\n[Pin Numbers]\n1\n2\n"
                               "[Model Data]\n[Inductance Matrix] Full_matrix\n[Row] 1\n1nH\n[End Model Data]\n"
                               "[End Package Model]\n[End]\n";
}

// Checks a file with a context of its own: its findings and summary as printed.
std::string CheckAlone(const std::string& path, int kind) {
    CheckContext context;
    const ContextScope bound(context);
    Frame().quiet = true;
    std::FILE* sink = std::tmpfile();
    SetReportStream(sink);
    const int read = CheckIbisFile(context, path.c_str(), kind);
    PrintSummary();
    std::string out = "read " + std::to_string(read) + "\n";
    std::rewind(sink);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, sink)) > 0) out.append(buf, n);
    std::fclose(sink);
    return out;
}

TEST(CheckContext, TwoFilesAtOnceReportAsOneAfterTheOther) {
    ScratchDirectory scratch;
    WriteAlgorithmicModel();
    WritePackagedDriver();
    const std::string model = CheckAlone("m.ibs", kFileIbs);
    const std::string driver = CheckAlone("d.ibs", kFileIbs);
    // Both draw findings of several modules, the .ami and .pkg files' among them.
    for (const char* text : {"File Failed", "Non-comment line exists after 'End' keyword.", "Illegal Usage value",
                             "Code file m.so not found"})
        EXPECT_NE(model.find(text), std::string::npos) << text << "\n" << model;
    for (const char* text : {"File Failed", "nomodel", "Ramp"})
        EXPECT_NE(driver.find(text), std::string::npos) << text << "\n" << driver;

    constexpr int kRounds = 8;
    std::vector<std::string> models(kRounds), drivers(kRounds);
    std::thread first([&] {
        for (std::string& out : models) out = CheckAlone("m.ibs", kFileIbs);
    });
    std::thread second([&] {
        for (std::string& out : drivers) out = CheckAlone("d.ibs", kFileIbs);
    });
    first.join();
    second.join();
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(models[i], model) << i;
        EXPECT_EQ(drivers[i], driver) << i;
    }
}

TEST(CheckContext, ABoundContextLeavesTheDefaultAlone) {
    ScratchDirectory scratch;
    WritePackagedDriver();
    const std::uint32_t before = Reporting().errors;
    const std::string out = CheckAlone("d.ibs", kFileIbs);
    EXPECT_NE(out.find("File Failed"), std::string::npos);
    EXPECT_EQ(Reporting().errors, before);
    CheckContext a, b;
    {
        const ContextScope outer(a);
        Reporting().currentLine = 11;
        {
            const ContextScope inner(b);
            EXPECT_EQ(Reporting().currentLine, 0u);
            Reporting().currentLine = 22;
        }
        EXPECT_EQ(Reporting().currentLine, 11u);
    }
    const ContextScope again(b);
    EXPECT_EQ(Reporting().currentLine, 22u);
}

}  // namespace
