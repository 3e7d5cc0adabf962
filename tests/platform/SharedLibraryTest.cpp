#include "platform/SharedLibrary.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(SharedLibrary, HandsOutTheFunctionsOfALoadedLibrary) {
    const SharedLibrary libc("libc.so.6");
    EXPECT_EQ(libc.function<decltype(std::strlen)>("strlen")("tallowin"), 8u);
    try {
        libc.function<void()>("no_such_function_here");
        FAIL() << "a missing function was handed out";
    } catch (const SharedLibrary::Unavailable& error) {
        EXPECT_NE(std::string(error.what()).find("libc.so.6 has no no_such_function_here"), std::string::npos);
    }
}

TEST(SharedLibrary, AMissingLibraryIsReportedWithTheLoadersMessage) {
    try {
        SharedLibrary("libtallowin-missing.so.9");
        FAIL() << "a missing library loaded";
    } catch (const SharedLibrary::Unavailable& error) {
        EXPECT_NE(std::string(error.what()).find("libtallowin-missing.so.9"), std::string::npos);
    }
}

} // namespace
