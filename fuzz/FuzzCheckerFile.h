// Shared by the file-checker fuzz targets: the input becomes a file the checker
// reads, with its reports sent nowhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "IbisParser/frame.h"
#include "IbisParser/parse.h"
#include "IbisParser/report.h"

inline void CheckFuzzFile(const std::string& name, int kind, const std::uint8_t* data, std::size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    SetReportStream(sink);
    Frame().quiet = true;
    if (std::FILE* f = std::fopen(name.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    CheckIbisFile(name.c_str(), kind);
    ResetCounts();
}
