#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/TempFolder.h"
#include "util/WholeFile.h"

TEST(WholeFile, WrittenWholeOrNotAtAll) {
    TempFolder folder;
    const std::vector<uint8_t> data{1, 2, 3, 0, 5};
    ASSERT_TRUE(WriteWholeFile("f.bin", std::vector<uint8_t>(9, 9)));
    ASSERT_TRUE(WriteWholeFile("f.bin", data));  // replaces, never appends
    EXPECT_EQ(ReadWholeFile("f.bin", 5), data);
    EXPECT_FALSE(ReadWholeFile("f.bin", 4)) << "longer than allowed";
    EXPECT_FALSE(ReadWholeFile("nothing.bin", 5));
    // A target that cannot be replaced stays as it was, with nothing left beside it.
    std::filesystem::create_directory("dir");
    errno = 0;
    EXPECT_FALSE(WriteWholeFile("dir", data));
    EXPECT_EQ(errno, EISDIR) << "the reason the caller shows";
    EXPECT_FALSE(ReadWholeFile("dir", 5));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2) << "a temporary file was left";
}
