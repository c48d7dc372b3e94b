// The choice of the program folder (the command line, the portable folder beside the executable,
// the user's data folder filled from the sample, folders that cannot be used) and the lock that
// keeps one running copy on it.

#include "shell/instance_lock.h"
#include "shell/program_folder.h"
#include "support.h"

#include <unistd.h>

namespace pellix {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

void put(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    testing::writeFile(file, bytes);
}

// A scratch tree: an installed sample folder, an executable's folder, a home and a few folders.
struct Tree {
    testing::ScratchFolder root;
    FolderPlaces places{root / "usr/bin", root / "home/.local/share/pellix", root / "usr/share/pellix/sample"};
    Tree() {
        fs::create_directories(places.executableFolder);
        put(places.sampleFolder / "data.xls", "sample workbook");
        put(places.sampleFolder / "image" / "p01.gif", "sample picture");
        fs::create_directories(root / "empty");
        put(root / "other" / "notes.txt", "the scorer's notes");
        put(root / "file", "a regular file");
    }
    std::string rooted(std::string text) const {
        if (const auto at = text.find("ROOT"); at != std::string::npos) text.replace(at, 4, root.path().string());
        return text;
    }
    FolderChoice choose(const std::vector<std::string>& arguments, FolderPlaces where) const {
        std::vector<std::string> rootedArguments;
        for (const std::string& argument : arguments) rootedArguments.push_back(rooted(argument));
        return chooseProgramFolder(rootedArguments, where);
    }
};

TEST(ProgramFolder, ChoosesByCommandLineThenPortableFolderThenDataFolder) {
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::vector<std::string> workbooks;  // folders below the root that hold a scorer's data.xls
        std::string expected;
        bool created;
    } cases[] = {
        {"nothing anywhere", {}, {}, "home/.local/share/pellix", true},
        {"beside the program", {}, {"usr/bin"}, "usr/bin", false},
        {"an earlier start", {}, {"home/.local/share/pellix"}, "home/.local/share/pellix", false},
        {"named, with --board", {"--board", "ROOT/club"}, {"club", "usr/bin"}, "club", false},
        {"--folder", {"--folder", "ROOT/club", "--board"}, {"club"}, "club", false},
        {"--folder=", {"--folder=ROOT/club"}, {"club"}, "club", false},
        {"named, new", {"ROOT/new/season"}, {"usr/bin"}, "new/season", true},
        {"named, empty", {"ROOT/empty"}, {}, "empty", true},
        {"named, of other things", {"ROOT/other"}, {}, "other", false},
        {"--board alone", {"--board"}, {"usr/bin"}, "usr/bin", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tree tree;
        for (const std::string& folder : c.workbooks) put(tree.root / folder / "data.xls", "scorer's record");
        const FolderChoice choice = tree.choose(c.arguments, tree.places);
        EXPECT_EQ(choice.error, "");
        EXPECT_EQ(choice.folder, tree.root / c.expected);
        EXPECT_EQ(choice.createdFromSample, c.created);
        if (c.expected == "other")
            EXPECT_FALSE(fs::exists(choice.folder / "data.xls"));
        else
            EXPECT_EQ(readFile(choice.folder / "data.xls"), c.created ? "sample workbook" : "scorer's record");
        if (c.created) {
            EXPECT_EQ(readFile(choice.folder / "image" / "p01.gif"), "sample picture");
            EXPECT_NE(fs::status(choice.folder / "data.xls").permissions() & fs::perms::owner_write, fs::perms::none);
        }
        for (const auto& entry : fs::directory_iterator(choice.folder)) EXPECT_NE(entry.path().filename().string()[0], '.');
    }
}

// A data folder whose data.xls was deleted gets it back and keeps the scorer's own pictures; the
// next start writes nothing.
TEST(ProgramFolder, ARefillKeepsWhatTheFolderHolds) {
    Tree tree;
    put(tree.places.userDataFolder / "image" / "p01.gif", "scorer's picture");
    EXPECT_TRUE(chooseProgramFolder({}, tree.places).createdFromSample);
    EXPECT_EQ(readFile(tree.places.userDataFolder / "image" / "p01.gif"), "scorer's picture");
    put(tree.places.userDataFolder / "data.xls", "turn 7");
    EXPECT_FALSE(chooseProgramFolder({}, tree.places).createdFromSample);
    EXPECT_EQ(readFile(tree.places.userDataFolder / "data.xls"), "turn 7");
}

TEST(ProgramFolder, AFolderThatCannotBeUsedIsNamed) {
    Tree tree;
    const std::string usage = ": usage: pellix [--board] [FOLDER | --folder FOLDER]";
    const struct {
        std::vector<std::string> arguments;
        fs::path userDataFolder;
        fs::path sampleFolder;
        std::string expected;
    } cases[] = {
        {{"ROOT/file/club"}, tree.places.userDataFolder, tree.places.sampleFolder,
         "cannot create the folder ROOT/file/club: Not a directory"},
        {{}, tree.root / "file" / "pellix", tree.places.sampleFolder, "cannot create the folder ROOT/file/pellix: Not a directory"},
        {{"ROOT/file"}, tree.places.userDataFolder, tree.places.sampleFolder, "ROOT/file is not a folder"},
        {{}, {}, tree.places.sampleFolder, "cannot find the user's data folder: neither XDG_DATA_HOME nor HOME is set"},
        {{}, tree.places.userDataFolder, tree.root / "missing",
         "the sample folder ROOT/missing has no data.xls; is Pellix installed completely?"},
        {{"a", "b"}, {}, {}, "cannot read the command line" + usage},
        {{"--fullscreen"}, {}, {}, "cannot read the command line" + usage},
        {{"--folder"}, {}, {}, "cannot read the command line" + usage},
        {{"--folder="}, {}, {}, "the folder name is empty" + usage},
    };
    for (const auto& c : cases) {
        FolderPlaces where = tree.places;
        where.userDataFolder = c.userDataFolder;
        where.sampleFolder = c.sampleFolder;
        EXPECT_EQ(tree.choose(c.arguments, where).error, tree.rooted(c.expected));
    }
    EXPECT_EQ(readFile(tree.root / "file"), "a regular file");

    if (::geteuid() == 0) return;  // permission bits do not stop the superuser
    put(tree.root / "locked" / "data.xls", "scorer's record");
    fs::permissions(tree.root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(tree.choose({"ROOT/locked"}, tree.places).error,
              tree.rooted("cannot write in the folder ROOT/locked: Permission denied"));
}

TEST(ProgramFolder, TheUserDataFolderFollowsTheBaseDirectoryRules) {
    EXPECT_EQ(userDataFolder("/data", "/home/scorer"), "/data/pellix");
    EXPECT_EQ(userDataFolder(nullptr, "/home/scorer"), "/home/scorer/.local/share/pellix");
    EXPECT_EQ(userDataFolder("", "/home/scorer"), "/home/scorer/.local/share/pellix");
    EXPECT_EQ(userDataFolder("relative/data", "/home/scorer"), "/home/scorer/.local/share/pellix");
    EXPECT_EQ(userDataFolder(nullptr, nullptr), "");
    EXPECT_EQ(userDataFolder(nullptr, "relative"), "");
    EXPECT_EQ(FolderPlaces::forExecutable("/opt/pellix/bin").sampleFolder, "/opt/pellix/share/pellix/sample");
}

TEST(InstanceLock, OneRunningCopyPerFolder) {
    testing::ScratchFolder folder;
    {
        const InstanceLock first(folder.path());
        EXPECT_EQ(first.state(), InstanceLock::State::Held);
        EXPECT_EQ(InstanceLock(folder.path()).state(), InstanceLock::State::HeldElsewhere);
    }
    EXPECT_EQ(InstanceLock(folder.path()).state(), InstanceLock::State::Held);
    EXPECT_EQ(InstanceLock(folder / "missing").state(), InstanceLock::State::Unavailable);
}

}  // namespace
}  // namespace pellix
