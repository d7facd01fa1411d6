#include "tools/velkor-sim/PointRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <initializer_list>

#include "tools/velkor-sim/OutputFolder.h"
#include "tools/velkor-sim/StopSignals.h"

namespace sim {

namespace fs = std::filesystem;

int PointRunner::Stopped() const { return StopSignal(); }

long PointRunner::Start(const std::vector<std::string>& arguments, const std::string& folder, std::string& error) {
    if (!EmptyFolder(folder, error)) return -1;
    std::vector<std::string> args = arguments;
    args.insert(args.begin(), self_);
    args.push_back("--out");
    args.push_back(folder);
    const std::string log = (fs::path(folder) / "run.log").string();
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        error = "cannot start a run in '" + folder + "': " + std::strerror(errno);
        return -1;
    }
    if (child == 0) {
        setpgid(0, 0);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal, SIG_DFL);
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        execv(self_.c_str(), argv.data());
        _exit(127);
    }
    setpgid(child, child);  // also here, so that a signal forwarded at once finds the group
    running_[child] = folder;
    if (Stopped()) Forward();
    return child;
}

void PointRunner::Forward() {
    if (forwarded_) return;
    forwarded_ = true;
    const int signal = Stopped() == SIGPIPE ? SIGTERM : Stopped();  // the children's output is their run.log
    for (const auto& [id, folder] : running_) kill(static_cast<pid_t>(id), signal);
}

bool PointRunner::Wait(long& id, int& status) {
    while (!running_.empty()) {
        int raw = 0;
        const pid_t done = waitpid(-1, &raw, WNOHANG);
        if (done < 0 && errno != EINTR) return false;
        if (done > 0 && running_.erase(done)) {
            id = done;
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return true;
        }
        if (Stopped()) Forward();
        // Polled rather than blocked on: a signal that comes between the check
        // and a blocking wait would otherwise wait for the next child to end.
        if (done <= 0) usleep(20000);
    }
    return false;
}

}  // namespace sim
