// Loads an IBIS-AMI model library by path and calls it as a simulator does.
#pragma once

#include <string>

namespace sim {

class AmiHost {
public:
    using InitFn = long (*)(double*, long, long, double, double, char*, char**, void**, char**);
    using GetWaveFn = long (*)(double*, long, double*, char**, void*);
    using CloseFn = long (*)(void*);

    // Returns false with a message naming the problem.
    bool Load(const std::string& path, std::string& error);
    ~AmiHost();

    InitFn Init = nullptr;
    GetWaveFn GetWave = nullptr;
    CloseFn Close = nullptr;

private:
    void* handle_ = nullptr;
};

}  // namespace sim
