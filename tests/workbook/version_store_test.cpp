// The versions kept in history/: undo and redo in any order, a new operation after an undo,
// pruning, a restart, a file system without links or without room, the journal's lines and the
// reset's archive. Most cases drive the store on small plain files, as it cares nothing for what
// data.xls holds; the frame's cases commit real turns.

#include "score_test_support.h"
#include "workbook/version_store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <sys/stat.h>

namespace pellix {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

class FixedClock : public Clock {
public:
    LocalTime time{2025, 3, 4, 5, 6, 7};
    LocalTime now() const override { return time; }
};

ino_t inodeOf(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

// A program folder whose data.xls holds "v0" and then whatever each operation writes.
struct PlainFolder {
    ScratchFolder folder;
    fs::path data = folder / "data.xls";
    FixedClock clock;
    PlainFolder() { writeFile(data, "v0"); }

    // A save as the atomic one makes it, less the waits for the disk; `midway` runs after its start.
    bool operate(VersionStore& store, const std::string& content, int turn = 1,
                 const std::function<void()>& midway = [] {}) {
        store.beginOperation();
        midway();
        writeFile(folder / "new", content);
        store.keeper()(data);
        fs::rename(folder / "new", data);
        return store.finishOperation(OperationNote{Operation::Commit, turn, {}, {}});
    }
};

// One step of a session: "v…" an operation writing that content (its turn is the number after
// the "v"), "undo", "redo", "restart" (a new store on the same folder, as after closing the
// program); then what data.xls holds and the turns an undo and a redo would take back or do again
// (0: none possible).
TEST(VersionStore, UndoRedoAndNewOperationsMoveThroughTheKeptVersionsAcrossRestarts) {
    const std::tuple<std::string, std::string, int, int> steps[] = {
        {"v1", "v1", 1, 0},        {"v2", "v2", 2, 0},     {"v3", "v3", 3, 0},     {"undo", "v2", 2, 3},
        {"undo", "v1", 1, 2},      {"restart", "v1", 1, 2}, {"redo", "v2", 2, 3},  {"restart", "v2", 2, 3},
        {"v7", "v7", 7, 0},        {"undo", "v2", 2, 7},   {"undo", "v1", 1, 2},   {"undo", "v0", 0, 1},
        {"redo", "v1", 1, 2},      {"v8", "v8", 8, 0},     {"restart", "v8", 8, 0}, {"undo", "v1", 1, 8},
        {"undo", "v0", 0, 1},
    };
    PlainFolder folder;
    auto store = std::make_unique<VersionStore>(folder.data, folder.clock);
    for (const auto& [action, holds, undoTurn, redoTurn] : steps) {
        if (action == "undo" || action == "redo")  // each says which operation it took back or did again
            EXPECT_EQ((action == "undo" ? store->undo() : store->redo()).operation, Operation::Commit);
        else if (action == "restart") store = std::make_unique<VersionStore>(folder.data, folder.clock);
        else EXPECT_TRUE(folder.operate(*store, action, std::stoi(action.substr(1))));
        const auto undoable = store->undoable(), redoable = store->redoable();
        EXPECT_EQ(std::tuple(readFile(folder.data), undoable ? undoable->turn : 0, redoable ? redoable->turn : 0),
                  std::tuple(holds, undoTurn, redoTurn))
            << "after " << action << " to " << holds;
    }
    // Nothing is left that no undo or redo can reach: v1 and v8 above.
    std::size_t versions = 0;
    for (const auto& entry : fs::directory_iterator(store->historyFolder()))
        versions += entry.path().extension() == ".xls";
    EXPECT_EQ(versions, 2u);
    EXPECT_THROW(store->undo(), xls::XlsError);
}

// A version is the replaced file itself, linked (the undo and crash tests walk through those);
// where link() fails for want of links the version is copied; where it fails otherwise, or
// where history/ cannot be written at all, the operation still runs and says it cannot be undone.
TEST(VersionStore, WithoutLinksVersionsAreCopiedAndWithoutRoomTheOperationRunsUndoable) {
    // link()'s error, whether history is a file, whether the version is kept
    const std::tuple<int, bool, bool> cases[] = {
        {EXDEV, false, true}, {EPERM, false, true}, {ENOTSUP, false, true}, {EACCES, false, false}, {0, true, false}};
    for (const auto& [linkError, historyIsAFile, kept] : cases) {
        PlainFolder folder;
        if (historyIsAFile) writeFile(folder.folder / "history", "not a folder");
        VersionStore store(folder.data, folder.clock, [&](const fs::path&, const fs::path&) { return linkError; });
        const ino_t before = inodeOf(folder.data);
        EXPECT_EQ(folder.operate(store, "v1"), kept) << linkError;
        EXPECT_EQ(std::tuple(readFile(folder.data), store.undoable().has_value()), std::tuple("v1", kept));
        if (!kept) continue;
        EXPECT_NE(inodeOf(store.historyFolder() / "00000000.xls"), before);
        store.undo();
        EXPECT_EQ(readFile(folder.data), "v0");
    }
}

// An operation whose program was killed before its journal line: after its version was kept but
// before its rename, or after the rename. A restart knows from the files alone which, also when
// the operation came after an undo and had versions to remove.
TEST(VersionStore, ARestartAfterAKilledOperationFindsWhetherItLanded) {
    for (const bool renamed : {false, true})
        for (const bool afterUndo : {false, true}) {
            PlainFolder folder;
            auto store = std::make_unique<VersionStore>(folder.data, folder.clock);
            ASSERT_TRUE(folder.operate(*store, "v1"));
            ASSERT_TRUE(folder.operate(*store, "v2"));
            if (afterUndo) store->undo();
            const std::string before = readFile(folder.data);
            store->beginOperation();
            writeFile(folder.folder / "new", "v9");
            store->keeper()(folder.data);
            if (renamed) fs::rename(folder.folder / "new", folder.data);
            store = std::make_unique<VersionStore>(folder.data, folder.clock);
            const std::string where = std::string(renamed ? "renamed" : "not renamed") + (afterUndo ? " after undo" : "");
            EXPECT_EQ(store->position(), (afterUndo ? 1 : 2) + renamed) << where;
            EXPECT_FALSE(store->redoable()) << where;
            store->undo();
            EXPECT_EQ(readFile(folder.data), renamed ? before : afterUndo ? "v0" : "v1") << where;
        }
}

TEST(VersionStore, TheVersionsOfTheLast200OperationsAreKept) {
    PlainFolder folder;
    VersionStore store(folder.data, folder.clock);
    for (int n = 1; n <= 205; ++n) ASSERT_TRUE(folder.operate(store, "v" + std::to_string(n), n));
    EXPECT_FALSE(fs::exists(store.historyFolder() / "00000004.xls"));
    EXPECT_EQ(readFile(store.historyFolder() / "00000005.xls"), "v5");
    int undone = 0;
    while (store.undoable()) store.undo(), ++undone;
    EXPECT_EQ(undone, 200);
    EXPECT_EQ(readFile(folder.data), "v5");
}

TEST(VersionStore, ASpoiltDataFileIsPutBackFromTheLastVersionKept) {
    PlainFolder folder;
    VersionStore store(folder.data, folder.clock);
    EXPECT_FALSE(store.canRestore());
    ASSERT_TRUE(folder.operate(store, "v1"));
    ASSERT_TRUE(folder.operate(store, "v2"));
    fs::remove(folder.data);
    ASSERT_TRUE(store.canRestore());
    store.restoreLastKept();
    EXPECT_EQ(readFile(folder.data), "v1");
    // The spoilt file was not kept: there is nothing to redo, and the undo goes on below.
    EXPECT_FALSE(store.redoable());
    store.undo();
    EXPECT_EQ(readFile(folder.data), "v0");
}

// An operation after which the state cannot be written leaves a history that cannot be trusted:
// neither undo nor redo is offered any more.
TEST(VersionStore, AStateThatCannotBeWrittenEndsUndoAndRedo) {
    PlainFolder folder;
    VersionStore store(folder.data, folder.clock);
    ASSERT_TRUE(folder.operate(store, "v1"));
    ASSERT_TRUE(folder.operate(store, "v2"));
    store.undo();  // the next operation removes the version above, and writes the state
    folder.operate(store, "v3", 3, [&] { fs::create_directories(store.historyFolder() / ".state.new" / "x"); });
    EXPECT_FALSE(store.undoable() || store.redoable());
}

// Journal lines written by the frame: the names as the workbook holds them, quoted where a comma,
// a quote or a line break needs it; the version each operation kept.
class VersionFrame : public testing::ScoreFixture {
protected:
    FixedClock clock;
    std::unique_ptr<VersionStore> store;
    void SetUp() override { store = std::make_unique<VersionStore>(dataPath, clock); }
    ScoreContext context() {
        ScoreContext ctx = ScoreFixture::context();
        ctx.versions = store.get();
        return ctx;
    }
};

TEST_F(VersionFrame, EveryOperationIsJournalledWithItsCourtAndTheVersionItKept) {
    edit([](XlApp& app) {
        app.cells(2, 2).setValue("Sato, Ken");
        app.cells(3, 2).setValue("the \"ace\"");
        app.cells(4, 2).setValue("two\nlines");
        app.cells(5, 2).setValue("ゲストさんA");
    });
    court({1, 2, 3, 4});
    ScoreContext ctx = context();
    ASSERT_TRUE(CommitTurn(ctx, 1, 2).ok);
    clock.time.second = 9;
    ASSERT_TRUE(ApplyViewFormat(ctx, true).ok);
    ASSERT_TRUE(UndoOperation(ctx).ok);
    EXPECT_EQ(host.relinks, 3);
    const std::string court = "\"Sato, Ken\",\"the \"\"ace\"\"\",\"two\nlines\",ゲストさんA";
    EXPECT_EQ(readFile(store->historyFolder() / "journal.csv"),
              "time,operation,turn,slot1,slot2,slot3,slot4,named,kept\r\n2025-03-04 05:06:07,commit,1," + court
                  + ",\"the \"\"ace\"\"\",00000000.xls\r\n2025-03-04 05:06:09,display,1," + court
                  + ",,00000001.xls\r\n2025-03-04 05:06:09,undo,1," + court + ",,00000002.xls\r\n");
    // A restart reads the descriptions back from the journal, names with line breaks and all.
    store = std::make_unique<VersionStore>(dataPath, clock);
    ASSERT_TRUE(store->undoable());
    EXPECT_EQ(store->undoable()->operation, Operation::Commit);
    EXPECT_EQ(store->redoable()->operation, Operation::DisplaySwitch);
}

TEST_F(VersionFrame, AResetKeepsTheWholeRecordInTheArchiveFirst) {
    court({1, 2, 3, 4});
    ASSERT_TRUE(commit(1));
    const std::string record = readFile(dataPath);
    ScoreContext ctx = context();
    ASSERT_TRUE(ResetData(ctx).ok);
    ASSERT_TRUE(ResetData(ctx).ok);
    EXPECT_EQ(readFile(folder / "archive/data-20250304-050607.xls"), record);
    EXPECT_TRUE(fs::exists(folder / "archive/data-20250304-050607-2.xls"));
    // An archive that cannot be written stops the reset before it wipes anything.
    fs::remove_all(folder / "archive");
    writeFile(folder / "archive", "");
    const std::string before = readFile(dataPath);
    EXPECT_FALSE(ResetData(ctx).ok);
    EXPECT_EQ(readFile(dataPath), before);
    EXPECT_EQ(store->undoable()->operation, Operation::Reset);
}

TEST_F(VersionFrame, AnOperationThatCannotKeepItsVersionRunsAndSaysSo) {
    store.reset();
    fs::remove_all(folder / "history");
    writeFile(folder / "history", "");
    store = std::make_unique<VersionStore>(dataPath, clock);
    court({1, 2, 3, 4});
    ScoreContext ctx = context();
    const OperationResult result = CommitTurn(ctx, 1, 0);
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.notKept);
    EXPECT_EQ(testing::Saved(dataPath).at(19, 2), xls::CellValue::ofNumber(1));
    EXPECT_FALSE(UndoOperation(ctx).ok);
    EXPECT_EQ(host.failures.size(), 1u);
}

// A save that fails (a read-only workbook) keeps nothing and moves nothing, now or after a restart.
TEST_F(VersionFrame, AFailedSaveLeavesTheHistoryAsItWas) {
    court({1, 2, 3, 4});
    ScoreContext ctx = context();
    ASSERT_TRUE(CommitTurn(ctx, 1, 0).ok);
    fs::permissions(dataPath, fs::perms::owner_read);
    EXPECT_FALSE(CommitTurn(ctx, 2, 0).ok);
    EXPECT_FALSE(fs::exists(store->historyFolder() / "00000001.xls"));
    EXPECT_EQ(store->position(), 1);
    EXPECT_EQ(VersionStore(dataPath, clock).position(), 1);
    EXPECT_EQ(VersionStore(dataPath, clock).undoable()->turn, 1);
}

}  // namespace
}  // namespace pellix
