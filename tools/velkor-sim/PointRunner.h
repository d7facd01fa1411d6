// The runs of a sweep or a jitter-tolerance search: each a velkor-sim child
// process writing a folder of its own, emptied first. A stop signal that reaches
// this process (SIGINT, SIGTERM, SIGHUP, SIGPIPE) is passed on to every running
// child, which then writes its report up to there, and the children are waited
// for, so that none is left behind writing into the folder.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace sim {

class PointRunner {
public:
    explicit PointRunner(std::string self) : self_(std::move(self)) {}
    // Starts `self` with the arguments and "--out folder" after emptying the
    // folder; the child's terminal output goes to run.log there and it runs in a
    // process group of its own (a Ctrl-C reaches it once, through us). Returns its id,
    // or -1 with a message.
    long Start(const std::vector<std::string>& arguments, const std::string& folder, std::string& error);
    // Waits for a child to end: its id and exit status (128 + signal when
    // killed). Passes a stop signal on to the children while it waits. False
    // when none is running.
    bool Wait(long& id, int& status);
    std::size_t Running() const { return running_.size(); }
    // The stop signal that came, 0 while none did: start nothing more.
    int Stopped() const;

private:
    void Forward();
    std::string self_;
    std::map<long, std::string> running_;  // id, folder
    bool forwarded_ = false;
};

}  // namespace sim
