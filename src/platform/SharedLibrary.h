#pragma once

#include <stdexcept>
#include <string>

// A shared library opened when it is first needed (dlopen) rather than linked: every library
// linked at build time is mapped, with all it links in turn, into every process before main,
// and most runs never make a request or touch the video hardware.
//
// The library stays loaded for the life of the process; unloading it at exit could pull code
// from under a thread still inside it.
class SharedLibrary {
public:
    // Opens the library by its soname ("libcurl.so.4"). Throws Unavailable with the loader's
    // message when it is missing or cannot be loaded.
    explicit SharedLibrary(const std::string& soname);

    // The named function, typed as the library's header declares it:
    // library.function<decltype(curl_easy_init)>("curl_easy_init"). Throws Unavailable when the
    // library lacks it (an older version than the header's).
    template <typename Function> Function* function(const char* name) const {
        return reinterpret_cast<Function*>(address(name));
    }

    class Unavailable : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

private:
    void* address(const char* name) const;

    std::string m_soname;
    void* m_handle;
};
