#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace {

std::string loaderMessage() {
    const char* message = dlerror();
    return message ? message : "unknown error";
}

} // namespace

SharedLibrary::SharedLibrary(const std::string& soname)
    : m_soname(soname), m_handle(dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!m_handle)
        throw Unavailable(loaderMessage());
}

void* SharedLibrary::address(const char* name) const {
    dlerror();
    void* found = dlsym(m_handle, name);
    if (!found)
        throw Unavailable(m_soname + " has no " + name + ": " + loaderMessage());
    return found;
}
