#include "score_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace pellix::testing {

std::filesystem::path withSampleWorkbook(const ScratchFolder& folder) {
    const auto target = folder / "data.xls";
    std::filesystem::copy_file(sampleWorkbook(), target, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return target;
}

std::filesystem::path sampleWorkbook() {
    return std::filesystem::path(PELLIX_SOURCE_DIR) / "assets/sample/data.xls";
}

std::string runPython(const std::string& script, int* exitCode) {
    char scriptPath[] = "/tmp/pellix-py-XXXXXX";
    const int fd = ::mkstemp(scriptPath);
    if (fd < 0) throw std::runtime_error("cannot make a temporary script");
    ::close(fd);
    {
        std::ofstream out(scriptPath);
        out << script;
    }
    std::string output;
    FILE* pipe = ::popen((std::string("/usr/bin/python3 ") + scriptPath + " 2>&1").c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run python3");
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
    const int status = ::pclose(pipe);
    std::remove(scriptPath);
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

}  // namespace pellix::testing
