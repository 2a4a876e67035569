#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace botpilot {

/// Free room on a file system and its size. [Units: bytes]
struct FileSystemRoom {
    std::uint64_t free = 0;
    std::uint64_t size = 0;
};

/// One open file, read and written at given offsets, closed by its destructor. Failures come back
/// as results, with the system's own text in `LastFileError()`, for the caller to put in its own
/// words.
class RandomAccessFile {
  public:
    enum class Opening { Opened, Failed, NotRegular };

    ~RandomAccessFile();
    RandomAccessFile(const RandomAccessFile&) = delete;
    RandomAccessFile& operator=(const RandomAccessFile&) = delete;

    /// Opens an existing regular file to read, without ever waiting (a pipe with no writer
    /// included): `file` holds it when the result is Opened.
    static Opening OpenToRead(const std::string& path, std::unique_ptr<RandomAccessFile>& file);
    /// A new file without a name, or one whose name is gone at once, in `folder`, to write and
    /// read: nothing is left behind when it closes. Null when none can be made.
    static std::unique_ptr<RandomAccessFile> CreateScratch(const std::string& folder);

    /// Up to `length` bytes at `offset`, fewer only at the end of the file; nothing on failure.
    std::optional<std::size_t> ReadAt(std::uint64_t offset, char* into, std::size_t length);
    /// All `length` bytes at `offset`; false on failure (a full disk).
    bool WriteAt(std::uint64_t offset, const char* from, std::size_t length);
    /// A handle of its own on the same open file, which may have no name; null when the system
    /// has none left.
    std::unique_ptr<RandomAccessFile> Duplicate() const;
    /// The room on the file's file system; nothing when the system cannot tell.
    std::optional<FileSystemRoom> Room() const;

  private:
    /// `folder` is where the file lies, for the room left there.
    RandomAccessFile(std::intptr_t handle, std::string folder)
        : handle(handle), folder(std::move(folder)) {}

    std::intptr_t handle;
    std::string folder;
};

/// The system's text for the last failure of a file call on this thread.
std::string LastFileError();

/// Where scratch files go: $TMPDIR or /tmp; on Windows, the user's temporary folder.
std::string ScratchFolder();

} // namespace botpilot
