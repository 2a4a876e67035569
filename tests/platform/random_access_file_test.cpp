#include "platform/random_access_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace botpilot {
namespace {

namespace fs = std::filesystem;

/// A fresh folder of the test's own under the scratch folder, removed with what is left in it.
class Folder {
  public:
    explicit Folder(const std::string& name)
        : path(fs::path(ScratchFolder()) / ("botpilot-file-test-" + name)) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    bool Empty() const { return fs::is_empty(path); }
    fs::path path;
};

std::string ReadAll(RandomAccessFile& file, std::uint64_t offset, std::size_t length) {
    std::string text(length, '?');
    const std::optional<std::size_t> got = file.ReadAt(offset, text.data(), length);
    EXPECT_TRUE(got.has_value()) << LastFileError();
    text.resize(got.value_or(0));
    return text;
}

TEST(RandomAccessFileTest, AScratchFileIsWrittenAndReadAtOffsetsAndLeavesNothingBehind) {
    const Folder folder("scratch");
    {
        const std::unique_ptr<RandomAccessFile> file =
            RandomAccessFile::CreateScratch(folder.path.string());
        ASSERT_NE(file, nullptr) << LastFileError();
        ASSERT_TRUE(file->WriteAt(0, "hello", 5));
        ASSERT_TRUE(file->WriteAt(8, "world", 5));
        EXPECT_EQ(ReadAll(*file, 0, 64), std::string("hello\0\0\0world", 13));
        EXPECT_EQ(ReadAll(*file, 8, 3), "wor");
        EXPECT_EQ(ReadAll(*file, 100, 8), "");
        // A second handle reads the same file, and outlives the first.
        const std::unique_ptr<RandomAccessFile> copy = file->Duplicate();
        ASSERT_NE(copy, nullptr) << LastFileError();
        EXPECT_EQ(ReadAll(*copy, 8, 5), "world");
        const std::optional<FileSystemRoom> room = file->Room();
        ASSERT_TRUE(room.has_value()) << LastFileError();
        EXPECT_GT(room->free, 0u);
        EXPECT_GE(room->size, room->free);
    }
    EXPECT_TRUE(folder.Empty());
    EXPECT_EQ(RandomAccessFile::CreateScratch((folder.path / "missing").string()), nullptr);
    EXPECT_FALSE(LastFileError().empty());
}

TEST(RandomAccessFileTest, OnlyAnExistingRegularFileOpensToRead) {
    const Folder folder("open");
    const fs::path regular = folder.path / "recording.jsonl";
    std::ofstream(regular, std::ios::binary) << "{\"time\": 0}\n";
    struct Case {
        fs::path path;
        bool opens;
    };
    const Case cases[] = {{regular, true}, {folder.path / "missing", false}, {folder.path, false}};
    for (const Case& c : cases) {
        std::unique_ptr<RandomAccessFile> file;
        const RandomAccessFile::Opening opening =
            RandomAccessFile::OpenToRead(c.path.string(), file);
        EXPECT_EQ(opening == RandomAccessFile::Opening::Opened, c.opens) << c.path;
        EXPECT_EQ(file != nullptr, c.opens) << c.path;
        if (file) {
            EXPECT_EQ(ReadAll(*file, 1, 6), "\"time\"");
        }
    }
}

} // namespace
} // namespace botpilot
