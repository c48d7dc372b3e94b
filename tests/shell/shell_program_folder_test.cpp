// The choice of the program folder: the command line, the portable folder beside the executable,
// the user's data folder filled from the sample, and folders that cannot be used.

#include "shell/program_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <unistd.h>

namespace pellix {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& file) {
    std::ostringstream bytes;
    bytes << std::ifstream(file, std::ios::binary).rdbuf();
    return bytes.str();
}

// A scratch tree: an installed sample folder, an executable's folder and a home.
class FolderChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pellix-folder-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        places = {root / "usr" / "bin", root / "home" / ".local" / "share" / "pellix",
                  root / "usr" / "share" / "pellix" / "sample"};
        fs::create_directories(places.executableFolder);
        writeFile(places.sampleFolder / "data.xls", "sample workbook");
        writeFile(places.sampleFolder / "image" / "p01.gif", "sample picture");
        writeFile(places.sampleFolder / "sound" / "ポコ.wav", "sample sound");
        writeFile(places.sampleFolder / "QVN.bmp", "sample titles");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(root / "locked", fs::perms::owner_all, ignored);
        fs::remove_all(root, ignored);
    }

    fs::path root;
    FolderPlaces places;
};

TEST_F(FolderChoiceTest, ChoosesByCommandLineThenPortableFolderThenDataFolder) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::vector<std::string> workbooks;  // folders below root that hold a scorer's data.xls
        std::string expected;                // below root
        bool createdFromSample;
    };
    const std::vector<Case> cases = {
        {"nothing anywhere: the data folder, new", {}, {}, "home/.local/share/pellix", true},
        {"a data.xls beside the program", {}, {"usr/bin"}, "usr/bin", false},
        {"the data folder of an earlier start", {}, {"home/.local/share/pellix"}, "home/.local/share/pellix", false},
        {"a named folder wins", {"ROOT/club"}, {"club", "usr/bin"}, "club", false},
        {"--folder", {"--folder", "ROOT/club"}, {"club"}, "club", false},
        {"--folder=", {"--folder=ROOT/club"}, {"club"}, "club", false},
        {"a named folder that is new", {"ROOT/new/season"}, {"usr/bin"}, "new/season", true},
        {"a named folder that is empty", {"ROOT/empty"}, {}, "empty", true},
        {"a named folder of other things is used as it is", {"ROOT/other"}, {}, "other", false},
        // The board option is no folder, wherever it stands.
        {"--board alone", {"--board"}, {"usr/bin"}, "usr/bin", false},
        {"--board before a folder", {"--board", "ROOT/club"}, {"club"}, "club", false},
        {"--board after --folder", {"--folder", "ROOT/club", "--board"}, {"club"}, "club", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        fs::create_directories(root / "empty");
        writeFile(root / "other" / "notes.txt", "the scorer's notes");
        for (const std::string& folder : c.workbooks) writeFile(root / folder / "data.xls", "scorer's record");
        std::vector<std::string> arguments;
        for (std::string argument : c.arguments) {
            if (const auto at = argument.find("ROOT"); at != std::string::npos) argument.replace(at, 4, root.string());
            arguments.push_back(argument);
        }

        const FolderChoice choice = chooseProgramFolder(arguments, places);

        EXPECT_EQ(choice.error, "");
        EXPECT_EQ(choice.folder, root / c.expected);
        EXPECT_EQ(choice.createdFromSample, c.createdFromSample);
        const std::string workbook = readFile(choice.folder / "data.xls");
        if (c.expected == "other") {
            EXPECT_FALSE(fs::exists(choice.folder / "data.xls"));
        } else if (c.createdFromSample) {
            EXPECT_EQ(workbook, "sample workbook");
            EXPECT_EQ(readFile(choice.folder / "image" / "p01.gif"), "sample picture");
            EXPECT_EQ(readFile(choice.folder / "sound" / "ポコ.wav"), "sample sound");
            EXPECT_EQ(readFile(choice.folder / "QVN.bmp"), "sample titles");
            EXPECT_EQ(fs::status(choice.folder / "data.xls").permissions() & fs::perms::owner_write,
                      fs::perms::owner_write);
        } else {
            EXPECT_EQ(workbook, "scorer's record");
        }
        // Nothing of the copy or the write check is left behind.
        for (const auto& entry : fs::directory_iterator(choice.folder)) {
            EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
        }
    }
}

TEST_F(FolderChoiceTest, ARefillKeepsWhatTheFolderHolds) {
    // A data folder whose data.xls was deleted, with a picture of the scorer's own: the workbook
    // comes back, the picture stays.
    writeFile(places.userDataFolder / "image" / "p01.gif", "scorer's picture");
    FolderChoice choice = chooseProgramFolder({}, places);
    ASSERT_EQ(choice.error, "");
    EXPECT_TRUE(choice.createdFromSample);
    EXPECT_EQ(readFile(places.userDataFolder / "image" / "p01.gif"), "scorer's picture");

    // The next start writes nothing.
    writeFile(places.userDataFolder / "data.xls", "turn 7");
    choice = chooseProgramFolder({}, places);
    EXPECT_FALSE(choice.createdFromSample);
    EXPECT_EQ(readFile(places.userDataFolder / "data.xls"), "turn 7");
}

TEST_F(FolderChoiceTest, AFolderThatCannotBeUsedIsNamed) {
    writeFile(root / "file", "a regular file");
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        fs::path userDataFolder;
        fs::path sampleFolder;
        std::string expected;  // the message; ROOT stands for the scratch tree
    };
    const fs::path belowFile = root / "file" / "pellix";
    const std::vector<Case> cases = {
        {"named, below a regular file", {(root / "file" / "club").string()}, places.userDataFolder,
         places.sampleFolder, "cannot create the folder ROOT/file/club: Not a directory"},
        {"data folder below a regular file", {}, belowFile, places.sampleFolder,
         "cannot create the folder ROOT/file/pellix: Not a directory"},
        {"named, a regular file", {(root / "file").string()}, places.userDataFolder, places.sampleFolder,
         "ROOT/file is not a folder"},
        {"no home", {}, {}, places.sampleFolder,
         "cannot find the user's data folder: neither XDG_DATA_HOME nor HOME is set"},
        {"no sample", {}, places.userDataFolder, root / "missing",
         "the sample folder ROOT/missing has no data.xls; is Pellix installed completely?"},
        {"two folders", {"a", "b"}, places.userDataFolder, places.sampleFolder,
         "cannot read the command line: usage: pellix [--board] [FOLDER | --folder FOLDER]"},
        {"an unknown option", {"--fullscreen"}, places.userDataFolder, places.sampleFolder,
         "cannot read the command line: usage: pellix [--board] [FOLDER | --folder FOLDER]"},
        {"--folder without a name", {"--folder"}, places.userDataFolder, places.sampleFolder,
         "cannot read the command line: usage: pellix [--board] [FOLDER | --folder FOLDER]"},
        {"--board twice with two folders", {"--board", "a", "--board", "b"}, places.userDataFolder,
         places.sampleFolder, "cannot read the command line: usage: pellix [--board] [FOLDER | --folder FOLDER]"},
        {"an empty name", {"--folder="}, places.userDataFolder, places.sampleFolder,
         "the folder name is empty: usage: pellix [--board] [FOLDER | --folder FOLDER]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FolderPlaces where = places;
        where.userDataFolder = c.userDataFolder;
        where.sampleFolder = c.sampleFolder;

        const FolderChoice choice = chooseProgramFolder(c.arguments, where);

        std::string expected = c.expected;
        if (const auto at = expected.find("ROOT"); at != std::string::npos) expected.replace(at, 4, root.string());
        EXPECT_EQ(choice.error, expected);
    }
    EXPECT_EQ(readFile(root / "file"), "a regular file");
}

TEST_F(FolderChoiceTest, AFolderWithoutWritePermissionIsNamed) {
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop the superuser";
    writeFile(root / "locked" / "data.xls", "scorer's record");
    fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);

    const FolderChoice choice = chooseProgramFolder({(root / "locked").string()}, places);

    EXPECT_EQ(choice.error, "cannot write in the folder " + (root / "locked").string() + ": Permission denied");
}

TEST(UserDataFolder, FollowsTheBaseDirectoryRules) {
    struct Case {
        const char* xdgDataHome;
        const char* home;
        fs::path expected;
    };
    const std::vector<Case> cases = {
        {"/data", "/home/scorer", "/data/pellix"},
        {nullptr, "/home/scorer", "/home/scorer/.local/share/pellix"},
        {"", "/home/scorer", "/home/scorer/.local/share/pellix"},
        {"relative/data", "/home/scorer", "/home/scorer/.local/share/pellix"},
        {nullptr, nullptr, ""},
        {nullptr, "relative", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(userDataFolder(c.xdgDataHome, c.home), c.expected)
            << (c.xdgDataHome ? c.xdgDataHome : "(unset)") << " " << (c.home ? c.home : "(unset)");
    }
}

TEST(FolderPlaces, TheInstalledSampleLiesBesideTheProgramsFolder) {
    EXPECT_EQ(FolderPlaces::forExecutable("/opt/pellix/bin").sampleFolder, "/opt/pellix/share/pellix/sample");
}

}  // namespace
}  // namespace pellix
