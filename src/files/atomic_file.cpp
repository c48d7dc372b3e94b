#include "files/atomic_file.h"

#include "files/xls_error.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellix::xls {

namespace {

constexpr std::uint64_t kLargestWorkbook = 512ull * 1024 * 1024;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

[[noreturn]] void failSave(const std::string& displayName, int error) {
    throw XlsError("cannot save " + displayName + ": " + std::strerror(error));
}

[[noreturn]] void failOpen(const std::string& displayName, int error) {
    throw XlsError("cannot open " + displayName + ": " + std::strerror(error));
}

}  // namespace

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path, const std::string& displayName) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) failOpen(displayName, errno);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) failOpen(displayName, errno);
    if (S_ISDIR(info.st_mode)) failOpen(displayName, EISDIR);
    if (static_cast<std::uint64_t>(info.st_size) > kLargestWorkbook)
        throw XlsError(displayName + " is too large to be a score workbook (" + std::to_string(info.st_size)
                       + " bytes)");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) failOpen(displayName, errno);
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

namespace {

// A save that died (the program killed, the machine off) leaves its temporary file behind. One
// whose writer is gone holds no lock and has not been written to for a while: remove it, so the
// program folder does not fill up with them.
void removeAbandonedTemporaries(const std::filesystem::path& directory, const std::string& name) {
    const std::string prefix = "." + name + ".";
    std::error_code error;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string candidate = entry.path().filename().string();
        if (candidate.size() != prefix.size() + 6 || candidate.compare(0, prefix.size(), prefix) != 0) continue;
        std::error_code entryError;
        if (!entry.is_regular_file(entryError) || now - entry.last_write_time(entryError) < std::chrono::seconds(1))
            continue;
        FileDescriptor stale(::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (stale.get() >= 0 && ::flock(stale.get(), LOCK_EX | LOCK_NB) == 0) ::unlink(entry.path().c_str());
    }
}

// The file a save replaces: the file a link names, not the link.
std::filesystem::path saveTarget(const std::filesystem::path& path) {
    std::error_code ignored;
    if (std::filesystem::is_symlink(path, ignored)) {
        const auto resolved = std::filesystem::canonical(path, ignored);
        if (!ignored) return resolved;
    }
    return path;
}

// The mode and owner of the file a save replaces; nothing when there is none yet.
std::optional<struct stat> replacedFile(const std::filesystem::path& target, const std::string& displayName) {
    struct stat original {};
    if (::stat(target.c_str(), &original) != 0) {
        if (errno != ENOENT) failSave(displayName, errno);
        return std::nullopt;
    }
    if (S_ISDIR(original.st_mode)) failSave(displayName, EISDIR);
    // A read-only workbook stays untouched, as the spreadsheet application would leave it.
    if ((original.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0)
        failSave(displayName, EACCES);
    return original;
}

// 0, or the errno of the write that failed.
int writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return wrote < 0 ? errno : EIO;
        done += static_cast<std::size_t>(wrote);
    }
    return 0;
}

// The permissions and owner of the file replaced, or a new file's permissions; 0 or an errno.
int giveMode(int fd, const std::optional<struct stat>& original) {
    if (original) {
        if (::fchmod(fd, original->st_mode & 07777) != 0) return errno;
        [[maybe_unused]] const int owner = ::fchown(fd, original->st_uid, original->st_gid);
        return 0;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return ::fchmod(fd, 0666 & ~mask) != 0 ? errno : 0;
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         const std::string& displayName) {
    writeFileAtomically(path, bytes, displayName, BeforeReplace());
}

void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         const std::string& displayName, const BeforeReplace& beforeReplace) {
    const std::filesystem::path target = saveTarget(path);
    const std::optional<struct stat> original = replacedFile(target, displayName);

    std::filesystem::path directory = target.parent_path();
    if (directory.empty()) directory = ".";
    removeAbandonedTemporaries(directory, target.filename().string());
    std::string temporary = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) failSave(displayName, errno);
    // The lock tells a later save that this temporary file still has a writer.
    ::flock(file.get(), LOCK_EX);

    const auto abandon = [&](int error) {
        ::unlink(temporary.c_str());
        failSave(displayName, error);
    };
    if (const int error = writeAll(file.get(), bytes)) abandon(error);
    if (const int error = giveMode(file.get(), original)) abandon(error);
    if (::fsync(file.get()) != 0) abandon(errno);
    if (beforeReplace && original) {
        try {
            beforeReplace(target);
        } catch (...) {
            ::unlink(temporary.c_str());
            throw;
        }
    }
    // Renamed while still open and locked, so no other save mistakes it for an abandoned one.
    if (::rename(temporary.c_str(), target.c_str()) != 0) abandon(errno);
    ::close(file.release());
    // Make the rename itself durable.
    FileDescriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
}

}  // namespace pellix::xls
