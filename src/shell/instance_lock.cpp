#include "shell/instance_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pellix {

InstanceLock::InstanceLock(const std::filesystem::path& folder) {
    fd_ = ::open((folder / kFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        state_ = State::Held;
        return;
    }
    state_ = errno == EWOULDBLOCK ? State::HeldElsewhere : State::Unavailable;
    ::close(fd_);
    fd_ = -1;
}

InstanceLock::~InstanceLock() {
    // Closing lets the lock go; the file stays, so that no copy ever locks a file another has
    // just removed.
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace pellix
