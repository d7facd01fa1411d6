// Loads the built receiver library by path and resolves its three entry points,
// as a channel simulator does.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

struct AmiLibrary {
    using InitFn = long (*)(double*, long, long, double, double, char*, char**, void**, char**);
    using GetWaveFn = long (*)(double*, long, double*, char**, void*);
    using CloseFn = long (*)(void*);

    void* handle = nullptr;
    InitFn Init = nullptr;
    GetWaveFn GetWave = nullptr;
    CloseFn Close = nullptr;

    explicit AmiLibrary(const char* path = VELKOR_LIBRARY_PATH) {
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!handle) throw std::runtime_error(std::string("dlopen: ") + dlerror());
        Init = reinterpret_cast<InitFn>(dlsym(handle, "AMI_Init"));
        GetWave = reinterpret_cast<GetWaveFn>(dlsym(handle, "AMI_GetWave"));
        Close = reinterpret_cast<CloseFn>(dlsym(handle, "AMI_Close"));
        if (!Init || !GetWave || !Close) throw std::runtime_error("missing AMI entry point");
    }
    ~AmiLibrary() {
        if (handle) dlclose(handle);
    }
    AmiLibrary(const AmiLibrary&) = delete;
    AmiLibrary& operator=(const AmiLibrary&) = delete;
};

// One AMI_Init with the given timing and parameters; closes on destruction.
struct AmiSession {
    AmiLibrary& lib;
    void* memory = nullptr;
    char* message = nullptr;
    long initResult = 0;

    AmiSession(AmiLibrary& library, double sampleInterval, double bitTime, std::string parameters)
        : lib(library) {
        char* out = nullptr;
        initResult = lib.Init(nullptr, 0, 0, sampleInterval, bitTime, parameters.data(), &out, &memory, &message);
    }
    ~AmiSession() {
        if (memory) lib.Close(memory);
    }
    AmiSession(const AmiSession&) = delete;
    AmiSession& operator=(const AmiSession&) = delete;

    std::string Message() const { return message ? message : ""; }
};
