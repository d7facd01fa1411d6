// Runs a command line and captures its standard output and error and its status.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct ProcessResult {
    int status = -1;         // exit status, -1 when it did not exit normally
    bool signalled = false;  // ended by a signal (a crash)
    std::string out;         // standard output and standard error
};

inline ProcessResult RunProcess(const std::string& commandLine) {
    ProcessResult r;
    if (FILE* p = popen((commandLine + " 2>&1").c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
        const int raw = pclose(p);
        r.signalled = !WIFEXITED(raw);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return r;
}
