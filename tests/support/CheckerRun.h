// Runs the checker on files written by a test and captures what it reports.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/parse.h"
#include "IbisParser/engine/report.h"

struct CheckerRun {
    std::string output;
    std::uint32_t bugs = 0, errors = 0, warnings = 0;
    int result = -1;

    bool Has(const std::string& text) const { return output.find(text) != std::string::npos; }
    // The expected message was reported; no message expected: no error and no warning.
    bool Reports(const std::string& message) const { return message.empty() ? errors + warnings == 0 : Has(message); }
    int Count(const std::string& text) const {
        int n = 0;
        for (auto p = output.find(text); p != std::string::npos; p = output.find(text, p + 1)) ++n;
        return n;
    }
};

// Captures the report stream (and the counts) around one action.
template <typename Action>
CheckerRun CaptureReports(Action action) {
    const ReportState saved = Reporting();
    std::FILE* sink = std::tmpfile();
    SetReportStream(sink);
    ResetCounts();
    Frame().quiet = true;
    CheckerRun run;
    run.result = action();
    GetCounts(&run.bugs, &run.errors, &run.warnings);
    std::fflush(sink);
    std::rewind(sink);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, sink)) > 0) run.output.append(buf, n);
    std::fclose(sink);
    Reporting() = saved;
    return run;
}

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Writes the file and checks it by its extension (or the given kind).
inline CheckerRun CheckText(const std::string& path, const std::string& content, int kind = 0) {
    WriteFile(path, content);
    const int k = kind ? kind : FileKindOf(path);
    return CaptureReports([&] { return CheckIbisFile(path.c_str(), k); });
}

// A minimal valid IBIS header for a file name and version.
inline std::string Header(const std::string& name, const std::string& version = "4.2") {
    return "[IBIS Ver] " + version + "\n[File Name] " + name + "\n[File Rev] 1.0\n";
}

// The sub-parameters and keywords that make an Input model complete.
inline const std::string kInputModelBody =
    "Model_type Input\nVinl = 0.8V\nVinh = 2.0V\nC_comp 1pF 1pF 1pF\n[Voltage Range] 3.3V 3.0V 3.6V\n";
