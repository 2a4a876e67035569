#include "platform/random_access_file.h"

#include "platform/windows/system_error.h"

#include <algorithm>
#include <windows.h>

namespace botpilot {

namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

/// The offset as an OVERLAPPED structure asks for it, for a handle opened for plain, waiting
/// calls: the call then reads or writes there and waits for it.
OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xffffffffu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

/// One call moves at most this much. [Units: bytes]
constexpr std::size_t kMaxCallBytes = 1u << 30;

} // namespace

RandomAccessFile::~RandomAccessFile() {
    CloseHandle(AsHandle(handle));
}

RandomAccessFile::Opening RandomAccessFile::OpenToRead(const std::string& path,
                                                       std::unique_ptr<RandomAccessFile>& file) {
    // Others may go on writing, renaming or deleting it (an arena recording it): it is only read.
    const HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return Opening::Failed;
    }
    if (GetFileType(opened) != FILE_TYPE_DISK) {
        CloseHandle(opened);
        return Opening::NotRegular;
    }
    file.reset(new RandomAccessFile(reinterpret_cast<std::intptr_t>(opened), ""));
    return Opening::Opened;
}

std::unique_ptr<RandomAccessFile> RandomAccessFile::CreateScratch(const std::string& folder) {
    char name[MAX_PATH + 1] = {};
    if (GetTempFileNameA(folder.c_str(), "bar", 0, name) == 0) {
        return nullptr;
    }
    // Deleted when its last handle closes, whatever ends the program.
    const HANDLE created = CreateFileA(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
        CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        DeleteFileA(name);
        return nullptr;
    }
    return std::unique_ptr<RandomAccessFile>(
        new RandomAccessFile(reinterpret_cast<std::intptr_t>(created), folder));
}

std::optional<std::size_t> RandomAccessFile::ReadAt(std::uint64_t offset, char* into,
                                                    std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        OVERLAPPED at = At(offset + got);
        DWORD read = 0;
        const DWORD asked = static_cast<DWORD>(std::min(length - got, kMaxCallBytes));
        if (!ReadFile(AsHandle(handle), into + got, asked, &read, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return std::nullopt;
        }
        if (read == 0) {
            break;
        }
        got += read;
    }
    return got;
}

bool RandomAccessFile::WriteAt(std::uint64_t offset, const char* from, std::size_t length) {
    std::size_t put = 0;
    while (put < length) {
        OVERLAPPED at = At(offset + put);
        DWORD wrote = 0;
        const DWORD asked = static_cast<DWORD>(std::min(length - put, kMaxCallBytes));
        if (!WriteFile(AsHandle(handle), from + put, asked, &wrote, &at) || wrote == 0) {
            return false;
        }
        put += wrote;
    }
    return true;
}

std::unique_ptr<RandomAccessFile> RandomAccessFile::Duplicate() const {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), AsHandle(handle), GetCurrentProcess(), &copy, 0,
                         FALSE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return std::unique_ptr<RandomAccessFile>(
        new RandomAccessFile(reinterpret_cast<std::intptr_t>(copy), folder));
}

std::optional<FileSystemRoom> RandomAccessFile::Room() const {
    // The room is asked of the folder the file lies in: Windows tells it by path only.
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    if (folder.empty() || !GetDiskFreeSpaceExA(folder.c_str(), &available, &total, nullptr)) {
        return std::nullopt;
    }
    return FileSystemRoom{available.QuadPart, total.QuadPart};
}

std::string LastFileError() {
    return SystemErrorText(GetLastError());
}

std::string ScratchFolder() {
    char folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH) {
        return ".";
    }
    // Without its last backslash, as $TMPDIR is usually given.
    std::string path(folder, length);
    if (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) {
        path.pop_back();
    }
    return path;
}

} // namespace botpilot
