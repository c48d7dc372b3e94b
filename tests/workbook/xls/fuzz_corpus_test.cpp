// Every input the fuzzers keep (fuzz/corpus/: the inputs that once failed, and seeds) and every
// real workbook, replayed through both fuzz checks: each opens and reads back as it should, or is
// refused cleanly. Under the sanitizers this is the fuzzers' regression suite, without mutation.

#include "workbook_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace pellix::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> replayedFiles()
{
    std::vector<fs::path> files;
    for (const fs::path folder : {PELLIX_FUZZ_CORPUS_DIR, PELLIX_CORPUS_DIR}) {
        if (!fs::is_directory(folder))
            return {folder / "missing"};
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".xls")
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class ReplayedInput : public ::testing::TestWithParam<fs::path> {
protected:
    std::vector<std::uint8_t> bytes() const
    {
        std::ifstream in(GetParam(), std::ios::binary);
        EXPECT_TRUE(in) << "cannot read " << GetParam();
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_P(ReplayedInput, ReadsOrIsRefusedCleanly)
{
    EXPECT_EQ(checkRead(bytes()), "");
}

TEST_P(ReplayedInput, EditsSaveAndReadBack)
{
    EXPECT_EQ(checkEditSaveReopen(bytes()), "");
}

INSTANTIATE_TEST_SUITE_P(Corpus, ReplayedInput, ::testing::ValuesIn(replayedFiles()),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                             std::string name = info.param.parent_path().filename().string() + "_" + info.param.stem().string();
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

}  // namespace
}  // namespace pellix::fuzz
