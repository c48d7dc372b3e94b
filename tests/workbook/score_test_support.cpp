#include "score_test_support.h"

namespace pellix::testing {

std::filesystem::path withSampleWorkbook(const ScratchFolder& folder) {
    const auto target = folder / "data.xls";
    std::filesystem::copy_file(std::filesystem::path(PELLIX_SOURCE_DIR) / "assets/sample/data.xls", target,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return target;
}

void ScoreFixture::edit(const std::function<void(XlApp&)>& edits) {
    XlApp app;
    XlBook& book = app.Workbooks().Open(dataPath);
    edits(app);
    book.saveas(dataPath);
    book.Close();
}

Saved::Saved(const std::filesystem::path& file) : book(xls::Workbook::open(file)), sheet(book.activeSheet()) {
    for (const auto& cell : book.shown(sheet).cells) fills[{cell.row + 1, cell.column + 1}] = cell.fillColorIndex;
}

std::string runPython(const std::string& script) {
    const ScratchFolder folder;
    writeFile(folder / "check.py", script);
    return pythonOutput(folder / "check.py");
}

}  // namespace pellix::testing
