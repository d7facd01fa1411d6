// The folders velkor-sim writes: checked before a run, locked while a sweep or
// a jitter-tolerance search writes into them, and a point's folder emptied
// before its run so that nothing of an earlier run is left beside it.
#pragma once

#include <string>

namespace sim {

// Whether `folder` can be written: it is a folder we may write to, or it does not
// exist and its nearest existing parent is. False with the path and the reason.
bool CanWriteFolder(const std::string& folder, std::string& error);

// An exclusive lock on a folder (its file ".velkor-sim.lock", held with flock
// until destruction): a second sweep into the same folder is refused, not mixed in.
// The lock goes with the process, so a killed sweep leaves no stale lock.
class FolderLock {
public:
    FolderLock() = default;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();
    // Creates the folder when needed; false with a message when it cannot or
    // another process holds the lock.
    bool Acquire(const std::string& folder, std::string& error);

private:
    int fd_ = -1;
};

// Removes everything inside `folder` (creating it when missing); false with a message.
bool EmptyFolder(const std::string& folder, std::string& error);

}  // namespace sim
