#include "tools/velkor-sim/AmiHost.h"

#include <dlfcn.h>

namespace sim {

bool AmiHost::Load(const std::string& path, std::string& error) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error = "cannot load the model library '" + path + "': " + (why ? why : "unknown reason");
        return false;
    }
    Init = reinterpret_cast<InitFn>(dlsym(handle_, "AMI_Init"));
    GetWave = reinterpret_cast<GetWaveFn>(dlsym(handle_, "AMI_GetWave"));
    Close = reinterpret_cast<CloseFn>(dlsym(handle_, "AMI_Close"));
    std::string missing;
    if (!Init) missing += " AMI_Init";
    if (!GetWave) missing += " AMI_GetWave";
    if (!Close) missing += " AMI_Close";
    if (!missing.empty()) {
        error = "the library '" + path + "' is not an IBIS-AMI model with GetWave: it lacks" + missing;
        return false;
    }
    return true;
}

AmiHost::~AmiHost() {
    if (handle_) dlclose(handle_);
}

}  // namespace sim
