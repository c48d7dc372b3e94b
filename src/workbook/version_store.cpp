#include "workbook/version_store.h"

#include "files/xls_error.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pellix {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStateHeader = "pellix-history 1";
constexpr const char* kJournalHeader = "time,operation,turn,slot1,slot2,slot3,slot4,named,kept\r\n";

constexpr std::pair<Operation, const char*> kOperationNames[] = {
    {Operation::Commit, "commit"}, {Operation::Reset, "reset"},     {Operation::DisplaySwitch, "display"},
    {Operation::Correction, "correction"}, {Operation::Undo, "undo"}, {Operation::Redo, "redo"},
    {Operation::Restore, "restore"},
};

std::optional<Operation> operationNamed(const std::string& name) {
    for (const auto& [operation, text] : kOperationNames)
        if (name == text) return operation;
    return std::nullopt;
}

// Operations that make a new state; undo, redo and restore only move between kept ones.
bool makesState(Operation operation) {
    return operation != Operation::Undo && operation != Operation::Redo && operation != Operation::Restore;
}

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

// RFC 4180: a field holding a comma, a quote or a line break is quoted, its quotes doubled.
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// The records of an RFC 4180 text; a line ending is CR LF or LF alone.
std::vector<std::vector<std::string>> csvRecords(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
            else quoted = false;
        } else if (c == '"') {
            quoted = any = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (any || !field.empty()) record.push_back(std::move(field));
            if (!record.empty()) records.push_back(std::move(record));
            record.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.empty()) record.push_back(std::move(field));
    if (!record.empty()) records.push_back(std::move(record));
    return records;
}

// "00000041.xls" is state 41; anything else is no version.
std::optional<int> stateOfFile(const std::string& name) {
    if (name.size() != 12 || name.compare(8, 4, ".xls") != 0) return std::nullopt;
    int state = 0;
    for (int i = 0; i < 8; ++i) {
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
        state = state * 10 + (name[i] - '0');
    }
    return state;
}

// Whether two files hold the same bytes (the same file, linked twice, does at once). A file that
// cannot be read is the same as nothing.
bool sameContent(const fs::path& one, const fs::path& other) {
    std::error_code error;
    if (fs::equivalent(one, other, error)) return true;
    try {
        return xls::readWholeFile(one, one.string()) == xls::readWholeFile(other, other.string());
    } catch (const xls::XlsError&) {
        return false;
    }
}

void removeQuietly(const fs::path& file) {
    std::error_code ignored;
    fs::remove(file, ignored);
}

int systemLink(const fs::path& existing, const fs::path& link) {
    return ::link(existing.c_str(), link.c_str()) == 0 ? 0 : errno;
}

// The errors of a file system (or a folder) that keeps no second name for a file.
bool linksUnavailable(int error) {
    return error == EXDEV || error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EMLINK
           || error == ENOSYS;
}

}  // namespace

LocalTime SystemClock::now() const {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

const char* journalName(Operation operation) {
    for (const auto& [candidate, text] : kOperationNames)
        if (candidate == operation) return text;
    return "?";
}

VersionStore::VersionStore(fs::path dataPath, const Clock& clock, LinkFunction link)
    : dataPath_(std::move(dataPath)),
      history_(dataPath_.parent_path() / "history"),
      clock_(clock),
      link_(link ? std::move(link) : LinkFunction(systemLink)) {
    load();
}

fs::path VersionStore::versionFile(int state) const {
    char name[16];
    std::snprintf(name, sizeof name, "%08d.xls", state);
    return history_ / name;
}

void VersionStore::load() {
    std::error_code error;
    // history/ is made when the first version is kept: a folder that never kept one stays as the
    // scorer made it.
    if (fs::exists(history_, error) && !fs::is_directory(history_, error)) {
        usable_ = false;
        return;
    }
    std::optional<int> lowest, highest;
    for (const auto& entry : fs::directory_iterator(history_, error)) {
        const auto state = stateOfFile(entry.path().filename().string());
        if (!state) continue;
        lowest = std::min(lowest.value_or(*state), *state);
        highest = std::max(highest.value_or(*state), *state);
    }

    Move move = Move::None;
    int target = 0, stale = 0;
    std::optional<int> position;
    std::istringstream state([&] {
        try {
            const auto bytes = xls::readWholeFile(history_ / "state", "history/state");
            return std::string(bytes.begin(), bytes.end());
        } catch (const xls::XlsError&) {
            return std::string();
        }
    }());
    std::string line;
    if (std::getline(state, line) && line == kStateHeader) {
        std::string word;
        int number = 0;
        if (state >> word >> number && word == "position" && number >= 0) position = number;
        std::string kind;
        if (position && state >> word && word == "moving" && state >> kind >> number) {
            const std::pair<const char*, Move> kinds[] = {
                {"undo", Move::Undo}, {"redo", Move::Redo}, {"restore", Move::Restore}};
            for (const auto& [name, candidate] : kinds)
                if (kind == name) move = candidate, target = number;
        } else if (position && word == "stale" && state >> number) {
            stale = number;
        }
    }
    // Without a state file (none written yet, or lost), the versions are walked from the oldest.
    position_ = position.value_or(lowest.value_or(0));
    lowest_ = std::min(lowest.value_or(position_), position_);
    highest_ = std::max(highest.value_or(position_), position_);

    try {
        const auto bytes = xls::readWholeFile(history_ / "journal.csv", "history/journal.csv");
        for (const auto& record : csvRecords(std::string(bytes.begin(), bytes.end()))) {
            if (record.size() < 9) continue;
            const auto operation = operationNamed(record[1]);
            const auto kept = stateOfFile(record[8]);
            if (!operation || !makesState(*operation) || !kept) continue;
            OperationNote note{*operation, std::atoi(record[2].c_str()), {record[3], record[4], record[5], record[6]},
                               record[7]};
            notes_[*kept] = std::move(note);
        }
    } catch (const xls::XlsError&) {
    }
    if (move != Move::None) return recover(move, target);

    // Operations write nothing down: each one that kept a version since the state file was
    // written moved the current state one up. The last of them may not have landed: its version is
    // then data.xls itself.
    const int written = position_;
    for (int n = stale; n > position_; --n) removeQuietly(versionFile(n));
    std::error_code exists;
    while (fs::exists(versionFile(position_), exists)) ++position_;
    if (position_ > written && sameContent(dataPath_, versionFile(position_ - 1)))
        removeQuietly(versionFile(--position_));
    highest_ = std::max(highest_, position_);
    if (position_ != written || stale > written) {
        try {
            writeState(Move::None, 0);
        } catch (const xls::XlsError&) {
            usable_ = false;
        }
    }
}

// A replacement that a killed run (or a failed save) left half done: whether data.xls holds
// what it was replaced with decides whether the move happened.
void VersionStore::recover(Move move, int target) {
    const fs::path current = versionFile(position_);
    std::error_code error;
    if (move == Move::Operation) {
        const bool landed = fs::exists(current, error) && !sameContent(dataPath_, current);
        if (landed) {
            removeAbove(position_);
            position_ = position_ + 1;
            highest_ = std::max(highest_, position_);
        } else {
            removeQuietly(current);
        }
    } else {
        const fs::path source = versionFile(target);
        const bool landed = !fs::exists(source, error) || sameContent(dataPath_, source);
        if (landed) {
            removeQuietly(source);
            position_ = target;
        } else if (move != Move::Restore) {
            removeQuietly(current);
        }
    }
    try {
        writeState(Move::None, 0);
    } catch (const xls::XlsError&) {
        usable_ = false;
    }
}

void VersionStore::writeState(Move move, int target, int staleUpTo) {
    std::string text = std::string(kStateHeader) + "\nposition " + std::to_string(position_) + "\n";
    if (staleUpTo > position_) text += "stale " + std::to_string(staleUpTo) + "\n";
    if (move != Move::None) {
        const char* kind = move == Move::Undo ? "undo" : move == Move::Redo ? "redo" : "restore";
        text += std::string("moving ") + kind + " " + std::to_string(target) + "\n";
    }
    // Replaced by a rename, so a kill at any instant leaves the old or the new state. Not flushed
    // to disk: after a power cut an older state is read, and the version files themselves show
    // which replacement landed, as after a kill.
    std::error_code made;
    fs::create_directories(history_, made);
    const fs::path temporary = history_ / ".state.new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw xls::XlsError("cannot save history/state: " + std::string(std::strerror(errno)));
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int error = written ? 0 : errno ? errno : EIO;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), (history_ / "state").c_str()) != 0) {
        const int cause = written ? errno : error;
        ::unlink(temporary.c_str());
        throw xls::XlsError("cannot save history/state: " + std::string(std::strerror(cause)));
    }
}

void VersionStore::keep(const fs::path& replaced, int state) {
    std::error_code made;
    fs::create_directories(history_, made);
    const fs::path file = versionFile(state);
    int error = link_(replaced, file);
    // A file left where the version goes (by a copy that a kill cut short) gives way.
    if (error == EEXIST) {
        removeQuietly(file);
        error = link_(replaced, file);
    }
    if (error == 0) return;
    if (!linksUnavailable(error))
        throw xls::XlsError("cannot keep " + replaced.filename().string() + " in history: " + std::strerror(error));
    const auto bytes = xls::readWholeFile(replaced, replaced.filename().string());
    xls::writeFileAtomically(file, bytes, "history/" + file.filename().string());
}

void VersionStore::beginOperation() {
    kept_ = false;
    moving_ = usable_;
    // The versions an undo left above the current state would read as this operation's own
    // after a kill: they are marked for removal first.
    if (moving_ && highest_ > position_) {
        try {
            writeState(Move::None, 0, highest_);
        } catch (const xls::XlsError&) {
            moving_ = false;
        }
    }
}

xls::BeforeReplace VersionStore::keeper() {
    return [this](const fs::path& replaced) {
        if (!moving_) return;
        // A version that cannot be kept does not stop the operation: it only cannot be undone.
        try {
            keep(replaced, position_);
            kept_ = true;
        } catch (const std::exception&) {
            removeQuietly(versionFile(position_));
        }
    };
}

bool VersionStore::finishOperation(const OperationNote& note) {
    const bool kept = moving_ && kept_;
    if (moving_) {
        // What could have been redone belongs to another past now.
        const bool hadStale = highest_ > position_;
        removeAbove(position_);
        if (kept) notes_[position_] = note;
        ++position_;
        highest_ = std::max(highest_, position_);
        moving_ = false;
        // A kept version says by itself that the state moved up; a missing one must be written.
        if (hadStale || !kept) {
            try {
                writeState(Move::None, 0);
            } catch (const xls::XlsError&) {
                usable_ = false;
            }
        }
        prune();
    }
    appendJournal(note, kept ? versionFile(position_ - 1).filename().string() : std::string());
    return kept;
}

void VersionStore::abandonOperation() {
    if (!moving_) return;
    moving_ = false;
    recover(Move::Operation, position_ + 1);
}

void VersionStore::removeAbove(int state) {
    for (int n = highest_; n > state; --n) removeQuietly(versionFile(n));
    highest_ = state;
}

void VersionStore::prune() {
    const int oldestKept = position_ - kKeptOperations;
    for (; lowest_ < oldestKept; ++lowest_) removeQuietly(versionFile(lowest_));
}

std::optional<StepDescription> VersionStore::undoable() const {
    std::error_code error;
    if (!usable_ || position_ == 0 || !fs::exists(versionFile(position_ - 1), error)) return std::nullopt;
    const auto note = notes_.find(position_ - 1);
    if (note == notes_.end()) return StepDescription{};
    return StepDescription{note->second.operation, note->second.turn};
}

std::optional<StepDescription> VersionStore::redoable() const {
    std::error_code error;
    if (!usable_ || !fs::exists(versionFile(position_ + 1), error)) return std::nullopt;
    const auto note = notes_.find(position_);
    if (note == notes_.end()) return StepDescription{};
    return StepDescription{note->second.operation, note->second.turn};
}

StepDescription VersionStore::undo() {
    if (!undoable()) throw xls::XlsError("cannot undo: no earlier version of data.xls is kept");
    return step(Move::Undo, position_ - 1);
}

StepDescription VersionStore::redo() {
    if (!redoable()) throw xls::XlsError("cannot redo: nothing that was undone is kept");
    return step(Move::Redo, position_ + 1);
}

StepDescription VersionStore::step(Move move, int target) {
    const fs::path source = versionFile(target);
    writeState(move, target);
    try {
        const auto bytes = xls::readWholeFile(source, "history/" + source.filename().string());
        if (move == Move::Restore) {
            xls::writeFileAtomically(dataPath_, bytes, dataPath_.filename().string());
        } else {
            xls::writeFileAtomically(dataPath_, bytes, dataPath_.filename().string(),
                                     [&](const fs::path& replaced) { keep(replaced, position_); });
        }
    } catch (...) {
        recover(move, target);
        throw;
    }
    const int from = position_;
    removeQuietly(source);
    position_ = target;
    lowest_ = std::min(lowest_, from);
    highest_ = std::max(highest_, from);
    try {
        writeState(Move::None, 0);
    } catch (const xls::XlsError&) {
        // The next start finds the move and sees from data.xls that it landed.
    }
    // The operation taken back or done again: the one that replaced the lower of the two states.
    const int lower = std::min(from, target);
    const auto found = notes_.find(lower);
    OperationNote note = found != notes_.end() ? found->second : OperationNote{};
    StepDescription description{found != notes_.end() ? std::optional(note.operation) : std::nullopt, note.turn};
    note.operation = move == Move::Undo ? Operation::Undo : move == Move::Redo ? Operation::Redo : Operation::Restore;
    appendJournal(note, move == Move::Restore ? std::string() : versionFile(from).filename().string());
    return description;
}

bool VersionStore::canRestore() const {
    std::error_code error;
    if (!usable_) return false;
    for (int n = position_ - 1; n >= lowest_; --n)
        if (fs::exists(versionFile(n), error)) return true;
    return false;
}

void VersionStore::restoreLastKept() {
    std::error_code error;
    for (int n = usable_ ? position_ - 1 : lowest_ - 1; n >= lowest_; --n)
        if (fs::exists(versionFile(n), error)) {
            step(Move::Restore, n);
            return;
        }
    throw xls::XlsError("cannot put back data.xls: no version of it is kept");
}

fs::path VersionStore::archiveForReset() {
    const LocalTime t = clock_.now();
    const std::string stamp = std::to_string(t.year) + twoDigits(t.month) + twoDigits(t.day) + "-"
                              + twoDigits(t.hour) + twoDigits(t.minute) + twoDigits(t.second);
    const fs::path folder = dataPath_.parent_path() / "archive";
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw xls::XlsError("cannot keep data.xls in archive: " + error.message());
    fs::path file = folder / ("data-" + stamp + ".xls");
    for (int n = 2; fs::exists(file, error); ++n) file = folder / ("data-" + stamp + "-" + std::to_string(n) + ".xls");
    const auto bytes = xls::readWholeFile(dataPath_, dataPath_.filename().string());
    xls::writeFileAtomically(file, bytes, "archive/" + file.filename().string());
    return file;
}

void VersionStore::appendJournal(const OperationNote& note, const std::string& kept) {
    const LocalTime t = clock_.now();
    std::string line = std::to_string(t.year) + "-" + twoDigits(t.month) + "-" + twoDigits(t.day) + " "
                       + twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second) + ","
                       + journalName(note.operation) + "," + std::to_string(note.turn);
    for (const std::string& name : note.court) line += "," + csvField(name);
    line += "," + csvField(note.named) + "," + kept + "\r\n";

    std::string text;
    if (journal_ < 0) {
        std::error_code error;
        fs::create_directories(history_, error);
        journal_ = ::open((history_ / "journal.csv").c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (journal_ < 0) return;
        struct stat info {};
        if (::fstat(journal_, &info) == 0 && info.st_size == 0) {
            text = kJournalHeader;
        } else {
            // A line cut short (the machine went off mid-write) must not swallow the next one.
            char last = '\n';
            if (::pread(journal_, &last, 1, info.st_size - 1) == 1 && last != '\n') text = "\r\n";
        }
    }
    const int fd = journal_;
    text += line;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) break;
        done += static_cast<std::size_t>(wrote);
    }
}

VersionStore::~VersionStore() {
    if (journal_ >= 0) ::close(journal_);
}

}  // namespace pellix
