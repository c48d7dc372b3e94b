// The choice of the program folder (the command line, the portable folder beside the executable,
// the user's data folder filled from the sample, and folders that cannot be used).

#include "shell/program_folder.h"
#include "support.h"

#include <unistd.h>

namespace pellix {
namespace {

namespace fs = std::filesystem;

void put(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    testing::writeFile(file, bytes);
}

// A scratch tree: an installed sample, an executable's folder, a data folder that holds a picture
// of the scorer's own but no data.xls, and a few other folders. ROOT in a text stands for it.
struct Tree {
    testing::ScratchFolder root;
    FolderPlaces places{root / "usr/bin", root / "home/.local/share/pellix", root / "usr/share/pellix/sample"};
    Tree() {
        put(places.sampleFolder / "data.xls", "sample workbook");
        put(places.sampleFolder / "image/p01.gif", "sample picture");
        put(places.userDataFolder / "image/p02.gif", "scorer's picture");
        put(root / "other/notes.txt", "the scorer's notes");
        fs::create_directories(root / "empty");
        put(root / "file", "a regular file");
    }
    std::string rooted(std::string text) const {
        if (const auto at = text.find("ROOT"); at != std::string::npos) text.replace(at, 4, root.path().string());
        return text;
    }
    FolderChoice choose(const std::vector<std::string>& arguments, const FolderPlaces& where) const {
        std::vector<std::string> rootedArguments;
        for (const std::string& argument : arguments) rootedArguments.push_back(rooted(argument));
        return chooseProgramFolder(rootedArguments, where);
    }
};

TEST(ProgramFolder, ChoosesByCommandLineThenPortableFolderThenDataFolder) {
    const struct {
        std::vector<std::string> arguments;
        const char* workbook;  // the folder below ROOT that holds a scorer's data.xls
        const char* expected;
        bool created;
    } cases[] = {
        {{}, "usr/bin", "usr/bin", false},
        {{"--board"}, "home/.local/share/pellix", "home/.local/share/pellix", false},
        {{"--board", "ROOT/club"}, "club", "club", false},
        {{"--folder", "ROOT/club", "--board"}, "club", "club", false},
        {{"--folder=ROOT/club"}, "usr/bin", "club", true},
        {{"ROOT/new/season"}, "usr/bin", "new/season", true},
        {{"ROOT/empty"}, "", "empty", true},
        {{"ROOT/other"}, "", "other", false},
    };
    for (const auto& c : cases) {
        Tree tree;
        SCOPED_TRACE(tree.rooted(c.arguments.empty() ? "" : c.arguments.back()) + " -> " + c.expected);
        if (*c.workbook) put(tree.root / c.workbook / "data.xls", "scorer's record");
        const FolderChoice choice = tree.choose(c.arguments, tree.places);
        EXPECT_EQ(choice.error, "");
        EXPECT_EQ(choice.folder, tree.root / c.expected);
        EXPECT_EQ(choice.createdFromSample, c.created);
        const std::string held = c.created ? "sample workbook" : *c.workbook ? "scorer's record" : "";
        EXPECT_EQ(fs::exists(choice.folder / "data.xls") ? testing::readFile(choice.folder / "data.xls") : "", held);
        EXPECT_EQ(fs::exists(choice.folder / "image/p01.gif"), c.created);
        EXPECT_EQ(testing::readFile(tree.places.userDataFolder / "image/p02.gif"), "scorer's picture");
    }
}

TEST(ProgramFolder, AFolderThatCannotBeUsedIsNamed) {
    Tree tree;
    const struct {
        std::vector<std::string> arguments;
        fs::path userDataFolder, sampleFolder;
        std::string expected;
    } cases[] = {
        {{"ROOT/file/club"}, {}, {}, "cannot create the folder ROOT/file/club: Not a directory"},
        {{"ROOT/file"}, {}, {}, "ROOT/file is not a folder"},
        {{}, {}, {}, "cannot find the user's data folder: neither XDG_DATA_HOME nor HOME is set"},
        {{},
         tree.root / "new",
         tree.root / "missing",
         "the sample folder ROOT/missing has no data.xls; is Pellix installed completely?"},
        {{"--folder="}, {}, {}, "the folder name is empty: usage: pellix [--board] [FOLDER | --folder FOLDER]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tree.choose(c.arguments, {tree.places.executableFolder, c.userDataFolder, c.sampleFolder}).error,
                  tree.rooted(c.expected));
    EXPECT_EQ(testing::readFile(tree.root / "file"), "a regular file");

    if (::geteuid() == 0) return;  // permission bits do not stop the superuser
    put(tree.root / "locked/data.xls", "scorer's record");
    fs::permissions(tree.root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(tree.choose({"ROOT/locked"}, tree.places).error,
              tree.rooted("cannot write in the folder ROOT/locked: Permission denied"));
}

}  // namespace
}  // namespace pellix
