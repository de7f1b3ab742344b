// Libraries opened on first use: the opening, the lookups, a library that is not there, many
// threads asking at once; and the program itself, which must not have the dynamic loader map the
// libraries it opens late before its first window.
#include "platform/system/LazyLibrary.h"

#include "support/CommandOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

using platform::system::LazyLibrary;

TEST(LazyLibrary, OpensAndFindsFunctions)
{
    static constinit LazyLibrary maths("libm.so.6");
    EXPECT_STREQ(maths.Soname(), "libm.so.6");
    auto* hypotenuse = maths.Function<double(double, double)>("hypot");
    ASSERT_NE(hypotenuse, nullptr) << maths.Error();
    EXPECT_DOUBLE_EQ(hypotenuse(3, 4), 5);
    EXPECT_TRUE(maths.Loaded());
    EXPECT_EQ(maths.Error(), "");
    EXPECT_EQ(maths.Address("vt_no_such_function"), nullptr);
    EXPECT_EQ(maths.Address(nullptr), nullptr);
    // The library stays open: the same handle every time.
    EXPECT_EQ(maths.Handle(), maths.Handle());
}

TEST(LazyLibrary, MissingLibraryGivesNothingAndSaysWhy)
{
    LazyLibrary missing("libvt-not-installed.so.0");
    EXPECT_EQ(missing.Handle(), nullptr);
    EXPECT_FALSE(missing.Loaded());
    EXPECT_EQ(missing.Address("anything"), nullptr);
    EXPECT_EQ(missing.Function<int(int)>("anything"), nullptr);
    EXPECT_NE(missing.Error().find("libvt-not-installed.so.0"), std::string::npos)
        << missing.Error();
}

TEST(LazyLibrary, ThreadsAskingAtOnceShareOneOpening)
{
    LazyLibrary library("libz.so.1");
    LazyLibrary missing("libvt-not-installed.so.0");
    std::vector<void*> handles(8), addresses(8), none(8, &handles);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < handles.size(); ++i)
        threads.emplace_back([&, i] {
            handles[i] = library.Handle();
            addresses[i] = library.Address("zlibVersion");
            none[i] = missing.Address("zlibVersion");
        });
    for (std::thread& t : threads)
        t.join();
    ASSERT_NE(handles[0], nullptr) << library.Error();
    EXPECT_NE(addresses[0], nullptr);
    EXPECT_EQ(std::set<void*>(handles.begin(), handles.end()).size(), 1u);
    EXPECT_EQ(std::set<void*>(addresses.begin(), addresses.end()).size(), 1u);
    EXPECT_EQ(std::set<void*>(none.begin(), none.end()), std::set<void*> { nullptr });
}

// The codec libraries of the rarer formats and OpenSSL (with what they pull in) are opened when
// first needed, never listed for the dynamic loader.
TEST(LazyLibrary, ProgramDoesNotNeedTheLateLibraries)
{
    const std::string program = std::string(VT_BINARY_DIR) + "/vorantel";
    ASSERT_TRUE(std::filesystem::exists(program)) << "build vorantel first";
    int status = -1;
    const std::string dynamic = CommandOutput("readelf -d '" + program + "'", &status);
    ASSERT_EQ(status, 0);
    // Lines "... (NEEDED)  Shared library: [libc.so.6]".
    std::vector<std::string> needed;
    std::istringstream lines(dynamic);
    for (std::string row; std::getline(lines, row);) {
        const size_t open = row.find("Shared library: [");
        const size_t close = row.rfind(']');
        if (row.find("(NEEDED)") != std::string::npos && open != std::string::npos
            && close != std::string::npos && close > open)
            needed.push_back(row.substr(open + 17, close - open - 17));
    }
    // The libraries it does link are listed as expected.
    EXPECT_NE(std::find(needed.begin(), needed.end(), "libc.so.6"), needed.end()) << dynamic;
    for (const std::string& library : needed)
        for (const char* late : { "libtiff.so", "libopenjp2.so", "libraw.so", "libraw_r.so",
                 "libssl.so", "libcrypto.so", "libgomp.so", "liblcms2.so" })
            EXPECT_NE(library.rfind(late, 0), 0u) << library << " is loaded at start";
}
