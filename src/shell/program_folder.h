#pragma once

// Which folder the program works in: the one holding data.xls, the pictures and the sounds.
//
//   1. the folder named on the command line (`pellix FOLDER` or `pellix --folder FOLDER`, either
//      with `--board` anywhere before or after);
//   2. else the executable's own folder when it holds a data.xls (the portable layout);
//   3. else the user's data folder ($XDG_DATA_HOME/pellix, normally ~/.local/share/pellix).
//
// A named folder that does not exist yet, and the user's data folder when it has no data.xls, are
// created and filled from the installed sample folder. An existing data.xls is never replaced.

#include <filesystem>
#include <string>
#include <vector>

namespace pellix {

// The places the choice looks at.
struct FolderPlaces {
    std::filesystem::path executableFolder;
    std::filesystem::path userDataFolder;  // empty when neither XDG_DATA_HOME nor HOME is set
    std::filesystem::path sampleFolder;

    // The places of this process: the sample folder installed beside the executable's folder and
    // the user's data folder from the environment.
    static FolderPlaces forExecutable(const std::filesystem::path& executableFolder);
};

// The user's data folder for Pellix by the XDG base directory rules: $XDG_DATA_HOME/pellix when
// that is an absolute path, else $HOME/.local/share/pellix; empty when neither is usable.
std::filesystem::path userDataFolder(const char* xdgDataHome, const char* home);

struct [[nodiscard]] FolderChoice {
    std::filesystem::path folder;
    bool createdFromSample = false;  // data.xls was copied from the sample just now
    std::string error;               // not empty: the program cannot start; the text names the folder
};

// Opens the spectator board at start; the folder choice passes it over.
inline constexpr const char* kBoardOption = "--board";

// `arguments` is the command line without the program's name. Creates and fills folders as the
// rules above say; never overwrites a file that is already there.
FolderChoice chooseProgramFolder(const std::vector<std::string>& arguments, const FolderPlaces& places);

// The status-line notice after a start on a folder just made from the sample.
std::string sampleCopyNotice();

}  // namespace pellix
