// Shared by the file-checker fuzz targets: the input becomes a file the checker
// reads, with its reports sent nowhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include <sys/stat.h>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/parse.h"
#include "IbisParser/engine/report.h"

// Beside the input: files an [Algorithmic Model], a [Package Model] or a board's
// [Reference Designator Map] may name that are no regular files (a folder, a link
// to an endless device, a pipe that would block its reader) and a parameter file
// outside.
inline void PlantNamedFiles() {
    std::error_code ignored;
    for (const char* ext : {".ami", ".pkg", ".ibs"}) {
        std::filesystem::create_directory(std::string("fuzz_folder") + ext, ignored);
        std::filesystem::create_symlink("/dev/zero", std::string("fuzz_zero") + ext, ignored);
    }
    ::mkfifo("fuzz_pipe.pkg", 0600);
    ::mkfifo("fuzz_pipe.ibs", 0600);
    std::filesystem::create_directory("fuzz_sub", ignored);
    if (std::FILE* f = std::fopen("fuzz_sub/inner.ami", "wb")) {
        std::fputs("(rx (Reserved_Parameters (GetWave_Exists (Usage Info))))\n", f);
        std::fclose(f);
    }
}

inline void CheckFuzzFile(const std::string& name, int kind, const std::uint8_t* data, std::size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    static const bool planted = (PlantNamedFiles(), true);
    (void)planted;
    SetReportStream(sink);
    Frame().quiet = true;
    if (std::FILE* f = std::fopen(name.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    CheckIbisFile(name.c_str(), kind);
    ResetCounts();
}
