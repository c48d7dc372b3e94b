#pragma once

// One running copy of the program per program folder: two windows on one data.xls would each
// record turns over the other's. The lock is an advisory lock on a small file in the folder,
// held for as long as the program runs and let go by the system when it ends, however it ends.

#include <filesystem>

namespace pellix {

class InstanceLock {
public:
    enum class State {
        Held,           // this copy owns the folder
        HeldElsewhere,  // another running copy owns it
        Unavailable,    // the lock file cannot be made (a read-only folder): nothing to guard
    };

    explicit InstanceLock(const std::filesystem::path& folder);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    State state() const { return state_; }

    static constexpr const char* kFileName = ".pellix.lock";

private:
    int fd_ = -1;
    State state_ = State::Unavailable;
};

}  // namespace pellix
