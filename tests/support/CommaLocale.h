// A locale whose decimal point is a comma, as a simulator in Germany may set for
// its process: de_DE compiled by localedef into a folder of the test's own (the
// system need not have it installed), found through LOCPATH, set for LC_NUMERIC
// while the object lives. Active() is false where localedef or the locale's
// sources (Debian's "locales") are missing; the tests then skip, saying why.
#pragma once

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

class CommaLocale {
public:
    CommaLocale() {
        folder_ = std::filesystem::temp_directory_path() / ("velkor_locale_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + (folder_ / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
        (void)std::system(command.c_str());  // warnings give a non-zero status; the setlocale below decides
        ::setenv("LOCPATH", folder_.c_str(), 1);
        active_ = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    }
    ~CommaLocale() {
        std::setlocale(LC_NUMERIC, "C");
        ::unsetenv("LOCPATH");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool Active() const { return active_; }
    static constexpr const char* kWhyInactive =
        "no de_DE locale could be made (localedef and Debian's locales package are needed)";

private:
    std::filesystem::path folder_;
    bool active_ = false;
};
