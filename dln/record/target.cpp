#include "target.h"

#include <cstdio>
#include <mutex>

namespace dln::record {

namespace {

// Both our libraries are named libdln.so: a target that resolves to this very library would
// call itself forever.
bool IsThisLibrary(const Target &target) {
    return reinterpret_cast<void *>(target.DlnConnect) == reinterpret_cast<void *>(&::DlnConnect);
}

Target *Load() {
    auto *target = new Target;
    std::string error;
    void *library = OpenLibrary(target->path, error);
    if (library != nullptr) {
#define DLN_RECORD_FIND(name)                                                                      \
    target->name = reinterpret_cast<decltype(&::name)>(FindFunction(library, #name));              \
    if (target->name == nullptr && error.empty())                                                  \
        error = "it has no function " #name;
        DLN_RECORD_FUNCTIONS(DLN_RECORD_FIND)
#undef DLN_RECORD_FIND
        if (error.empty() && IsThisLibrary(*target))
            error = "it is this recording library itself";
    }
    if (error.empty())
        return target;
    std::fprintf(stderr,
                 "dln record: cannot use the adapter library '%s': %s; every adapter call "
                 "fails with 0x%X\n",
                 target->path.c_str(), error.c_str(), DLN_RES_FAIL);
    std::fflush(stderr);
    delete target;
    return nullptr;
}

} // namespace

const Target *TheTarget() {
    static const Target *target = Load();
    return target;
}

} // namespace dln::record
