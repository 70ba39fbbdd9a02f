// A file mapped into memory gives its exact bytes, also after the pages
// read have been let go; what cannot be mapped says why.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/MappedFile.h"

namespace zonter_test {
namespace {

namespace fs = std::filesystem;

std::string Utf8Of(const fs::path& p) {
    const std::u8string text = p.u8string();
    return std::string(text.begin(), text.end());
}

TEST(MappedFile, GivesTheFilesBytesBeforeAndAfterReleaseAndSaysWhyItCannot) {
    const fs::path dir = fs::temp_directory_path() / ("zonter-map-" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(fs::create_directory(dir));
    struct Case {
        const char* name;
        std::size_t size;
    };
    // An empty file, one byte, a page and a byte, several pages and a part.
    for (const Case c :
         {Case{"empty", 0}, Case{"one byte", 1}, Case{"a page and a byte", 4097}, Case{"pages", 5 * 65536 + 123}}) {
        SCOPED_TRACE(c.name);
        std::string bytes(c.size, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
        const fs::path path = dir / u8"журнал.csv";
        std::ofstream(path, std::ios::binary) << bytes;

        platform::MappedFile file;
        ASSERT_TRUE(file.Open(Utf8Of(path), c.size)) << file.Error();
        EXPECT_EQ(file.Bytes(), bytes);
        // Let go in steps, as a reader walks over it; it reads the same.
        for (std::size_t end = 1000; end < c.size + 5000; end += 70000) file.Release(end);
        EXPECT_EQ(file.Bytes(), bytes);
        file.Release(c.size);
        EXPECT_EQ(file.Bytes(), bytes);
        file.Close();
        EXPECT_TRUE(file.Bytes().empty());

        if (c.size > 0) {
            EXPECT_FALSE(file.Open(Utf8Of(path), c.size - 1));
            EXPECT_TRUE(file.TooLarge());
            EXPECT_TRUE(file.Bytes().empty());
        }
    }

    platform::MappedFile file;
    EXPECT_FALSE(file.Open(Utf8Of(dir / "none.csv"), 1000));
    EXPECT_FALSE(file.TooLarge());
    EXPECT_NE(file.Error(), 0);
    EXPECT_FALSE(file.Open(Utf8Of(dir), 1000));  // a folder
    EXPECT_NE(file.Error(), 0);

    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace zonter_test
