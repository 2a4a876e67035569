#include "platform/random_access_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace botpilot {

RandomAccessFile::~RandomAccessFile() {
    ::close(static_cast<int>(handle));
}

RandomAccessFile::Opening RandomAccessFile::OpenToRead(const std::string& path,
                                                       std::unique_ptr<RandomAccessFile>& file) {
    // Without O_NONBLOCK, opening a pipe waits for a writer, for ever.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return Opening::Failed;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return Opening::NotRegular;
    }
    file.reset(new RandomAccessFile(descriptor, ""));
    return Opening::Opened;
}

std::unique_ptr<RandomAccessFile> RandomAccessFile::CreateScratch(const std::string& folder) {
    int descriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        // Not every file system has unnamed files: a named one, unlinked at once, does as well.
        std::string name = folder + "/botarena-scratch-XXXXXX";
        descriptor = ::mkstemp(name.data());
        if (descriptor >= 0) {
            ::unlink(name.c_str());
        }
    }
    if (descriptor < 0) {
        return nullptr;
    }
    return std::unique_ptr<RandomAccessFile>(new RandomAccessFile(descriptor, folder));
}

std::optional<std::size_t> RandomAccessFile::ReadAt(std::uint64_t offset, char* into,
                                                    std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        const ssize_t read = ::pread(static_cast<int>(handle), into + got, length - got,
                                     static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            return std::nullopt;
        }
        if (read == 0) {
            break;
        }
        got += static_cast<std::size_t>(read);
    }
    return got;
}

bool RandomAccessFile::WriteAt(std::uint64_t offset, const char* from, std::size_t length) {
    std::size_t put = 0;
    while (put < length) {
        const ssize_t wrote = ::pwrite(static_cast<int>(handle), from + put, length - put,
                                       static_cast<off_t>(offset + put));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            if (wrote == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        put += static_cast<std::size_t>(wrote);
    }
    return true;
}

std::unique_ptr<RandomAccessFile> RandomAccessFile::Duplicate() const {
    const int copy = ::fcntl(static_cast<int>(handle), F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        return nullptr;
    }
    return std::unique_ptr<RandomAccessFile>(new RandomAccessFile(copy, folder));
}

std::optional<FileSystemRoom> RandomAccessFile::Room() const {
    struct statvfs system {};
    if (::fstatvfs(static_cast<int>(handle), &system) != 0) {
        return std::nullopt;
    }
    return FileSystemRoom{static_cast<std::uint64_t>(system.f_bavail) * system.f_frsize,
                          static_cast<std::uint64_t>(system.f_blocks) * system.f_frsize};
}

std::string LastFileError() {
    return std::strerror(errno);
}

std::string ScratchFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

} // namespace botpilot
