#include "shell/program_folder.h"

#include "files/atomic_file.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <system_error>

#include <unistd.h>

#ifndef PELLIX_SAMPLE_FROM_BINDIR
#error "PELLIX_SAMPLE_FROM_BINDIR: the installed sample folder relative to the executable's folder"
#endif

namespace pellix {

namespace fs = std::filesystem;

namespace {

const char* const kUsage = "usage: pellix [--board] [FOLDER | --folder FOLDER]";

FolderChoice failure(std::string message) {
    FolderChoice choice;
    choice.error = std::move(message);
    return choice;
}

// The folder named on the command line; empty when none is named. Sets `error` on a command line
// that cannot be read.
fs::path requestedFolder(const std::vector<std::string>& options, std::string& error) {
    // The options about the window are not about the folder; the value of --folder is kept as
    // it is, whatever it reads.
    std::vector<std::string> arguments;
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (options[i] == "--folder" && i + 1 < options.size()) {
            arguments.push_back(options[i]);
            arguments.push_back(options[++i]);
        } else if (options[i] != kBoardOption) {
            arguments.push_back(options[i]);
        }
    }
    std::string named;
    if (arguments.empty()) {
        return {};
    }
    if (arguments.size() == 2 && arguments[0] == "--folder") {
        named = arguments[1];
    } else if (arguments.size() == 1 && arguments[0].starts_with("--folder=")) {
        named = arguments[0].substr(9);
    } else if (arguments.size() == 1 && !arguments[0].starts_with("-")) {
        named = arguments[0];
    } else {
        error = std::string("cannot read the command line: ") + kUsage;
        return {};
    }
    if (named.empty()) {
        error = std::string("the folder name is empty: ") + kUsage;
        return {};
    }
    std::error_code ignored;
    fs::path absolute = fs::absolute(named, ignored);
    return (absolute.empty() ? fs::path(named) : absolute).lexically_normal();
}

// Puts data.xls into `folder` unless one is already there. The copy is written completely under
// another name first and then linked to its name, which fails rather than replaces when a data.xls
// has appeared meanwhile: a folder never holds half a workbook, nor loses a scorer's record.
bool publishSampleWorkbook(const fs::path& sampleWorkbook, const fs::path& folder, std::string& error) {
    const fs::path target = folder / "data.xls";
    std::error_code code;
    if (fs::exists(target, code)) {
        return false;
    }
    const fs::path temporary = folder / (".data.xls.sample-" + std::to_string(::getpid()));
    try {
        xls::writeFileAtomically(temporary, xls::readWholeFile(sampleWorkbook, sampleWorkbook.string()),
                                 temporary.string());
    } catch (const std::exception& exception) {
        error = exception.what();
        return false;
    }
    bool published = false;
    fs::create_hard_link(temporary, target, code);
    if (!code) {
        published = true;
    } else if (code != std::errc::file_exists && !fs::exists(target)) {
        // A file system without hard links (a memory stick): the plain rename, after the check.
        fs::rename(temporary, target, code);
        published = !code;
        if (code) error = "cannot create " + target.string() + ": " + code.message();
    }
    fs::remove(temporary, code);
    return published;
}

// Copies into `folder` what it lacks of the sample: pictures and sounds first, data.xls last, so
// that a folder with a data.xls is complete. Sets `copiedWorkbook` when data.xls was copied.
bool fillFromSample(const fs::path& sample, const fs::path& folder, bool& copiedWorkbook, std::string& error) {
    std::error_code code;
    if (!fs::is_regular_file(sample / "data.xls", code)) {
        error = "the sample folder " + sample.string() + " has no data.xls; is Pellix installed completely?";
        return false;
    }
    for (const char* entry : {"image", "sound", "QVN.bmp"}) {
        if (!fs::exists(sample / entry, code)) {
            continue;  // a missing picture or sound only leaves a blank token or silence
        }
        fs::copy(sample / entry, folder / entry, fs::copy_options::recursive | fs::copy_options::skip_existing, code);
        if (code) {
            error = "cannot copy " + (sample / entry).string() + " into the folder " + folder.string() + ": "
                    + code.message();
            return false;
        }
    }
    std::string cause;
    copiedWorkbook = publishSampleWorkbook(sample / "data.xls", folder, cause);
    if (!cause.empty()) {
        error = "cannot fill the folder " + folder.string() + " from the sample: " + cause;
        return false;
    }
    return true;
}

enum class Fill {
    WhenNew,         // a folder the scorer names: filled only when it is new or empty
    WhenNoWorkbook,  // the user's data folder, Pellix's own: filled whenever data.xls is missing
};

// Creates `folder` when it is missing and fills it from the sample as `fill` says.
FolderChoice prepare(const fs::path& folder, const fs::path& sample, Fill fill) {
    std::error_code code;
    const bool existed = fs::exists(folder, code);
    if (existed && !fs::is_directory(folder, code)) {
        return failure(folder.string() + " is not a folder");
    }
    if (!existed) {
        fs::create_directories(folder, code);
        if (code) {
            return failure("cannot create the folder " + folder.string() + ": " + code.message());
        }
    }
    FolderChoice choice;
    choice.folder = folder;
    const bool mayFill = !existed || fill == Fill::WhenNoWorkbook || fs::is_empty(folder, code);
    if (mayFill && !fs::exists(folder / "data.xls", code)
        && !fillFromSample(sample, folder, choice.createdFromSample, choice.error)) {
        return failure(choice.error);
    }
    return choice;
}

// Whether a file can be made in `folder`: tried, not read from the permission bits, which do not
// bind the superuser and do not tell of a read-only mount.
std::string writeProblem(const fs::path& folder) {
    std::string pattern = (folder / ".pellix-write-check-XXXXXX").string();
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) {
        return "cannot write in the folder " + folder.string() + ": " + std::generic_category().message(errno);
    }
    ::close(descriptor);
    ::unlink(pattern.c_str());
    return {};
}

}  // namespace

fs::path userDataFolder(const char* xdgDataHome, const char* home) {
    // The base directory rules ignore a relative XDG_DATA_HOME.
    if (xdgDataHome && fs::path(xdgDataHome).is_absolute()) {
        return fs::path(xdgDataHome) / "pellix";
    }
    if (home && fs::path(home).is_absolute()) {
        return fs::path(home) / ".local" / "share" / "pellix";
    }
    return {};
}

FolderPlaces FolderPlaces::forExecutable(const fs::path& executableFolder) {
    return FolderPlaces{executableFolder, pellix::userDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")),
                        (executableFolder / PELLIX_SAMPLE_FROM_BINDIR).lexically_normal()};
}

FolderChoice chooseProgramFolder(const std::vector<std::string>& arguments, const FolderPlaces& places) {
    std::string commandLineError;
    const fs::path requested = requestedFolder(arguments, commandLineError);
    if (!commandLineError.empty()) {
        return failure(commandLineError);
    }

    FolderChoice choice;
    std::error_code code;
    if (!requested.empty()) {
        choice = prepare(requested, places.sampleFolder, Fill::WhenNew);
    } else if (fs::is_regular_file(places.executableFolder / "data.xls", code)) {
        choice.folder = places.executableFolder;
    } else if (places.userDataFolder.empty()) {
        return failure("cannot find the user's data folder: neither XDG_DATA_HOME nor HOME is set");
    } else {
        choice = prepare(places.userDataFolder, places.sampleFolder, Fill::WhenNoWorkbook);
    }
    if (choice.error.empty()) {
        choice.error = writeProblem(choice.folder);
    }
    return choice;
}

std::string sampleCopyNotice() {
    return "Status : OK (new folder from the sample)";
}

}  // namespace pellix
