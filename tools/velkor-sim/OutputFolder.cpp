#include "tools/velkor-sim/OutputFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace sim {

namespace fs = std::filesystem;

bool CanWriteFolder(const std::string& folder, std::string& error) {
    std::error_code ec;
    fs::path at = fs::absolute(folder, ec);
    if (ec) {
        error = "cannot use '" + folder + "' as the output folder: " + ec.message();
        return false;
    }
    // The nearest part of the path that exists must be a folder we may write into.
    while (!fs::exists(fs::symlink_status(at, ec)) && at.has_parent_path() && at != at.parent_path()) at = at.parent_path();
    if (!fs::is_directory(at, ec)) {
        error = "cannot write the report into '" + folder + "': '" + at.string() + "' is not a folder";
        return false;
    }
    if (access(at.c_str(), W_OK | X_OK) != 0) {
        error = "cannot write the report into '" + folder + "': '" + at.string() + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) close(fd_);  // releases the lock
}

bool FolderLock::Acquire(const std::string& folder, std::string& error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create the folder '" + folder + "': " + ec.message();
        return false;
    }
    const std::string path = (fs::path(folder) / ".velkor-sim.lock").string();
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = "cannot create the lock file '" + path + "': " + std::strerror(errno);
        return false;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        close(fd_);
        fd_ = -1;
        error = why == EWOULDBLOCK ? "another velkor-sim is writing into '" + folder +
                                         "' (it holds .velkor-sim.lock there): give another --out, or wait for it"
                                   : "cannot lock '" + path + "': " + std::strerror(why);
        return false;
    }
    return true;
}

bool EmptyFolder(const std::string& folder, std::string& error) {
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (!ec) fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot empty the folder '" + folder + "': " + ec.message();
        return false;
    }
    return true;
}

}  // namespace sim
