#pragma once

// What every test program shares: a scratch folder that cleans up after itself, whole-file reads
// and writes, and a check that a statement fails with the engine's own message.

#include "workbook/xls/workbook.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::testing {

// A fresh folder under the system's temporary folder; the destructor gives back any permission a
// test took away and removes it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }
    // How many entries the folder holds (a save that left a temporary file behind shows here).
    std::size_t entries() const;

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, std::string_view bytes);
void writeFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

// Runs /usr/bin/python3 on the script file with the arguments; returns what it printed, error
// messages included, after "failed: " when it did not end well.
std::string pythonOutput(const std::filesystem::path& script, const std::vector<std::string>& arguments = {});

// The message of the XlsError that `run` throws; a test failure (and "") when it throws none.
template <typename Run>
std::string xlsErrorOf(Run&& run, const char* statement) {
    try {
        run();
    } catch (const xls::XlsError& error) {
        return error.what();
    }
    ADD_FAILURE() << statement << " threw no XlsError";
    return {};
}

}  // namespace pellix::testing

// The statement must throw an XlsError whose message contains `message`.
#define EXPECT_XLS_ERROR(statement, message)                          \
    EXPECT_PRED_FORMAT2(::testing::IsSubstring, std::string(message), \
                        ::pellix::testing::xlsErrorOf([&] { statement; }, #statement))
