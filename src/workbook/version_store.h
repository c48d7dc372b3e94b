#pragma once

// The versions of data.xls that operations replaced, kept in the program folder so that an
// operation can be undone and redone, also after a restart; the journal of operations; and the
// archive a data reset leaves. Plain C++: the window asks, this decides.
//
// On disk, everything but the archive lives in `history/` beside data.xls:
//
//   history/00000041.xls   the workbook as it stood at state 41. The states are numbered in
//                          the order operations made them: the operation that leaves state n+1
//                          replaced state n, whose file it keeps. Undo and redo move between
//                          neighbouring states and make none. data.xls always holds the current
//                          state, and that state has no file of its own: the files below it can
//                          be undone to, the files above it redone to. A version is kept as a
//                          hard link to the file the save replaces (a copy where the file system
//                          has none), so keeping one costs no copy.
//   history/state          "pellix-history 1" and "position N": the current state as last written
//                          down. Operations do not rewrite it: every version kept at N, N+1, ...
//                          since then is an operation that moved the state one up (the last of
//                          them, if data.xls is still that very file, was killed before its
//                          rename and is forgotten). "stale M" marks the versions N+1..M that a
//                          new operation after an undo is about to remove. While an undo, a redo
//                          or a restore replaces data.xls, "moving KIND M" names it (towards
//                          state M): a program killed at any instant finds at the next start
//                          whether the replacement landed (does data.xls hold what it was
//                          replaced with?) and finishes or forgets it. Replaced by a rename, not
//                          forced to disk: after a power cut an older state reads the same way.
//                          Without a readable state file, the walk starts at the oldest file.
//   history/journal.csv    one line an operation, appended and flushed once it has succeeded:
//                          time,operation,turn,slot1,slot2,slot3,slot4,named,kept (UTF-8, fields
//                          quoted as RFC 4180 does, lines ending in CR LF, a header line first;
//                          handed to the system at once, not forced to disk).
//                          `kept` is the file name of the version the operation kept, empty when
//                          none could be kept. The descriptions of undo and redo come from here.
//
//   archive/data-YYYYMMDD-HHMMSS.xls   the whole workbook as a confirmed data reset found it,
//                          named after the local time of the reset; never pruned.
//
// The versions of the last 200 operations are kept; older ones are removed. A new operation
// after an undo removes the versions that could have been redone.

#include "files/atomic_file.h"

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace pellix {

// A moment in local time, as the journal and the archive's names show it.
struct LocalTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

// The computer's clock in its local time zone.
class SystemClock : public Clock {
public:
    LocalTime now() const override;
};

// The operations that replace data.xls, as the journal names them.
enum class Operation { Commit, Reset, DisplaySwitch, Correction, Undo, Redo, Restore };
const char* journalName(Operation operation);

// What the journal says of an operation besides its time and the version it kept.
struct OperationNote {
    Operation operation = Operation::Commit;
    int turn = 0;
    std::array<std::string, 4> court;  // the names of the players in slots 1..4
    std::string named;                 // the player named at the miss, or empty
};

// What an undo or a redo would do, for the status line: the operation it takes back or does
// again and its turn.
struct StepDescription {
    std::optional<Operation> operation;  // empty when the journal lost the operation's line
    int turn = 0;
};

class VersionStore {
public:
    static constexpr int kKeptOperations = 200;
    // Makes a hard link; 0 or the errno of the failure. Tests replace it to stand for a file
    // system without links.
    using LinkFunction = std::function<int(const std::filesystem::path& existing, const std::filesystem::path& link)>;

    // The store of the program folder that holds `dataPath`. Reads history/ as the last run left
    // it and finishes or forgets a replacement that a killed run left half done. Never throws:
    // a history that cannot be read or written only means nothing can be undone.
    VersionStore(std::filesystem::path dataPath, const Clock& clock, LinkFunction link = {});
    ~VersionStore();
    VersionStore(const VersionStore&) = delete;
    VersionStore& operator=(const VersionStore&) = delete;

    const std::filesystem::path& historyFolder() const { return history_; }
    int position() const { return position_; }

    // The frame of an operation that replaces data.xls: `beginOperation` before the save, the
    // save with `keeper()` as its BeforeReplace, then `finishOperation` once it succeeded (it
    // journals `note`) or `abandonOperation` when it failed. `finishOperation` returns false
    // when no version could be kept: that operation cannot be undone.
    void beginOperation();
    xls::BeforeReplace keeper();
    bool finishOperation(const OperationNote& note);
    void abandonOperation();

    std::optional<StepDescription> undoable() const;
    std::optional<StepDescription> redoable() const;

    // Put back the version before the current state (undo) or after it (redo) by the same atomic
    // replacement as a save; the current version is kept first, so each can be taken back by the
    // other. Throws XlsError (data.xls untouched) when there is nothing to undo or redo or the
    // replacement fails.
    StepDescription undo();
    StepDescription redo();

    // For a data.xls that was deleted or spoilt while the program ran: puts back the last
    // version kept without keeping what stands there now. Throws XlsError when nothing is kept.
    bool canRestore() const;
    void restoreLastKept();

    // Copies the whole workbook to archive/data-YYYYMMDD-HHMMSS.xls (a second one in the same
    // second gets "-2", ...); returns its path. Throws XlsError when it cannot.
    std::filesystem::path archiveForReset();

private:
    enum class Move { None, Operation, Undo, Redo, Restore };
    std::filesystem::path versionFile(int state) const;
    void load();
    void recover(Move move, int target);
    void writeState(Move move, int target, int staleUpTo = 0);
    void keep(const std::filesystem::path& replaced, int state);
    StepDescription step(Move move, int target);
    void appendJournal(const OperationNote& note, const std::string& kept);
    void removeAbove(int state);
    void prune();

    std::filesystem::path dataPath_;
    std::filesystem::path history_;
    const Clock& clock_;
    LinkFunction link_;
    int position_ = 0;
    int lowest_ = 0;   // the lowest-numbered version on disk (position_ when none)
    int highest_ = 0;  // the highest-numbered one (position_ when none)
    bool usable_ = true;
    bool moving_ = false;  // an operation is under way and its version may be kept
    bool kept_ = false;    // set by the keeper of the operation under way
    std::map<int, OperationNote> notes_;  // by the state they replaced
    int journal_ = -1;                    // open for appending once the first line is written
};

}  // namespace pellix
