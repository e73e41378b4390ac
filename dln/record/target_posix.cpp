#include "target.h"

#include <cstdlib>
#include <dlfcn.h>

namespace dln::record {

void *OpenLibrary(std::string &path, std::string &error) {
    const char *named = std::getenv("DLN_RECORD_TARGET");
    if (named == nullptr || named[0] == '\0') {
        path = "(none)";
        error = "DLN_RECORD_TARGET is not set; set it to the path of the real libdln.so";
        return nullptr;
    }
    path = named;
    // RTLD_LOCAL: the target's functions stay out of the global scope, where ours are.
    void *library = dlopen(named, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char *why = dlerror();
        error = why != nullptr ? why : "dlopen failed";
    }
    return library;
}

void *FindFunction(void *library, const char *name) {
    return dlsym(library, name);
}

} // namespace dln::record
