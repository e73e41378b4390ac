// Named files that are not files: a FIFO nobody reads or writes, a folder, a device. Each is
// refused at once, without blocking, and the null device is let through.
#include "platform/regular_file.h"
#include "platform/standard_output.h"
#include "support/temp_working_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace {

TEST(RegularFile, AnythingButARegularFileOrTheNullDeviceIsRefusedWithoutBlocking) {
    TempWorkingDir dir;
    dir.write("plain", "text\n");
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    std::filesystem::create_directory("folder");
    const struct {
        const char *path;
        const char *mode;
        const char *why; // nullptr: opened
    } cases[] = {
        {"plain", "r", nullptr},
        {"plain", "a", nullptr},
        {"new", "w", nullptr},
        {"/dev/null", "w", nullptr},
        {"fifo", "r", kNotRegularFile},
        {"fifo", "w", kNotRegularFile}, // no reader: a blocking open would wait for ever
        {"fifo", "a", kNotRegularFile},
        {"folder", "r", kNotRegularFile},
        {"/dev/zero", "r", kNotRegularFile},
        {"missing", "r", "No such file or directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.mode);
        std::string why;
        std::FILE *file = PlatformOpenRegularFile(c.path, c.mode, why);
        if (c.why == nullptr) {
            ASSERT_NE(file, nullptr) << why;
            std::fclose(file);
        } else {
            EXPECT_EQ(file, nullptr);
            EXPECT_EQ(why, c.why);
        }
    }
    // "w" empties a regular file only once it is known to be one.
    std::string why;
    std::FILE *file = PlatformOpenRegularFile("plain", "w", why);
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(dir.read("plain"), "");
}

TEST(RegularFile, PrintedLinesAreNotSentToAFifo) {
    TempWorkingDir dir;
    ASSERT_EQ(mkfifo("lines", 0600), 0);
    std::FILE *before = stdout;
    std::string error;
    EXPECT_FALSE(PlatformRouteStandardOutput(dir.path() + "/lines", error));
    EXPECT_EQ(error, kNotRegularFile);
    EXPECT_EQ(stdout, before);
}

} // namespace
