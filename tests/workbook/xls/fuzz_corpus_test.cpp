// Every input the fuzzers keep (fuzz/corpus/: the inputs that once failed, and seeds) and every
// real workbook, replayed through both fuzz checks: each opens and reads back as it should, or is
// refused cleanly. Under the sanitizers this is the fuzzers' regression suite, without mutation.

#include "workbook_checks.h"

#include "support.h"

#include <algorithm>
#include <regex>

namespace pellix::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> replayedFiles() {
    std::vector<fs::path> files;
    for (const fs::path folder : {PELLIX_FUZZ_CORPUS_DIR, PELLIX_CORPUS_DIR})
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".xls") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class ReplayedInput : public ::testing::TestWithParam<fs::path> {};

TEST_P(ReplayedInput, ReadsOrIsRefusedCleanlyAndEditsSaveAndReadBack) {
    const std::vector<std::uint8_t> bytes = testing::readBytes(GetParam());
    EXPECT_EQ(checkRead(bytes), "");
    EXPECT_EQ(checkEditSaveReopen(bytes), "");
}

INSTANTIATE_TEST_SUITE_P(Corpus, ReplayedInput, ::testing::ValuesIn(replayedFiles()), [](const auto& info) {
    const std::string name = info.param.parent_path().filename().string() + "_" + info.param.stem().string();
    return std::regex_replace(name, std::regex("[^A-Za-z0-9]"), "_");
});

}  // namespace
}  // namespace pellix::fuzz
