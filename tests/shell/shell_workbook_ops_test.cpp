// The display switch and the data reset as the scorer reaches them: a click on the check box, a
// click on the titles picture and the answer to its question.

#include "test_support.h"

#include "shell/main_form.h"
#include "shell/vb_timer.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace pellix::testing {
namespace {

std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool rowHidden(const std::filesystem::path& file, int row1) {
    const auto book = xls::Workbook::open(file);
    for (const auto& row : book.shown(book.activeSheet()).rows)
        if (row.row == row1 - 1) return row.hidden;
    return false;
}

class WorkbookOperations : public ::testing::Test {
protected:
    void SetUp() override {
        if (!folder.hasWorkbook()) GTEST_SKIP() << "no sample workbook";
        form = std::make_unique<RecordingForm>(folder.path());
        form->Form_Load();
        form->statuses.clear();
        form->sound->played.clear();
    }
    ProgramFolder folder;
    std::unique_ptr<RecordingForm> form;
};

TEST_F(WorkbookOperations, TheSwitchShowsHyperAndNormal) {
    form->chkView->click();
    EXPECT_TRUE(form->chkView->isChecked());
    EXPECT_EQ(form->chkView->text(), "Hyper");
    EXPECT_FALSE(form->lblPrize->isHidden());
    EXPECT_TRUE(rowHidden(folder.dataPath(), 14));
    EXPECT_EQ(form->statuses, (std::vector<std::string>{"Set Excel Application", "Writing Worksheet Change Rowheight",
                                                        "Excel Application Saveing", "OLE Read Excel File", "Status : OK"}));
    EXPECT_EQ(form->lblStatus->text(), " Status : OK");
    ASSERT_EQ(form->sound->played.size(), 1u);
    EXPECT_EQ(form->sound->played[0].filename(), "きん.wav");

    form->chkView->click();
    EXPECT_EQ(form->chkView->text(), "Normal");
    EXPECT_TRUE(form->lblPrize->isHidden());
    EXPECT_FALSE(rowHidden(folder.dataPath(), 14));
}

TEST_F(WorkbookOperations, ASwitchThatCannotSaveKeepsTheFormatShown) {
    folder.write(".~lock.data.xls#", ",Someone,someone,pc,06.12.2026 13:50,file:///x;");
    const std::string before = bytesOf(folder.dataPath());
    form->chkView->click();
    EXPECT_FALSE(form->chkView->isChecked());
    EXPECT_EQ(form->chkView->text(), "Normal");
    EXPECT_TRUE(form->lblPrize->isHidden());
    ASSERT_EQ(form->messageBoxes.size(), 1u);
    EXPECT_TRUE(form->messageBoxes[0].contains("Someone"));
    EXPECT_EQ(bytesOf(folder.dataPath()), before);
}

TEST_F(WorkbookOperations, CancelLeavesEveryByteAndOkClearsTheRecord) {
    folder.setCell(19, 2, xls::CellValue::ofNumber(12));
    folder.setCell(45, 10, xls::CellValue::ofNumber(3));
    form->txtTurn->setText("13");
    form->chkView->click();  // "Hyper"
    form->statuses.clear();
    form->sound->played.clear();
    const std::string before = bytesOf(folder.dataPath());

    form->answer = QMessageBox::NoButton;  // Enter: the default button, which is Cancel
    form->picQVN_Click();
    ASSERT_EQ(form->messageBoxes.size(), 1u);
    EXPECT_EQ(form->messageBoxes[0], QStringLiteral("データを初期化しますか？"));
    EXPECT_EQ(bytesOf(folder.dataPath()), before);
    EXPECT_TRUE(form->statuses.empty());
    EXPECT_TRUE(form->sound->played.empty());
    EXPECT_EQ(form->txtTurn->text(), "13");

    form->answer = QMessageBox::Ok;
    form->picQVN_Click();
    EXPECT_EQ(form->statuses,
              (std::vector<std::string>{"Set Excel Application", "Writing Worksheet Turn", "Writing Worksheet Range Clear",
                                        "Writing Worksheet Change Rowheight", "Excel Application Saveing",
                                        "OLE Read Excel File", "Status : OK"}));
    EXPECT_EQ(form->txtTurn->text(), "1");
    // The whole window in one format: caption, box, banner and the rows the file shows.
    EXPECT_EQ(form->chkView->text(), "Normal");
    EXPECT_FALSE(form->chkView->isChecked());
    EXPECT_TRUE(form->lblPrize->isHidden());
    EXPECT_FALSE(rowHidden(folder.dataPath(), 14));
    const auto book = xls::Workbook::open(folder.dataPath());
    EXPECT_EQ(book.cell(book.activeSheet(), 18, 1), xls::CellValue::ofNumber(0));
    EXPECT_EQ(book.cell(book.activeSheet(), 44, 9).kind, xls::ValueKind::Empty);
}

TEST_F(WorkbookOperations, AResetThatFailsKeepsTheTurnAndCaption) {
    form->txtTurn->setText("13");
    folder.remove("data.xls");
    form->answer = QMessageBox::Ok;
    form->picQVN_Click();
    EXPECT_EQ(form->txtTurn->text(), "13");
    EXPECT_EQ(form->chkView->text(), "Normal");
    ASSERT_EQ(form->messageBoxes.size(), 2u);  // the question, then what went wrong
    EXPECT_TRUE(form->messageBoxes[1].contains("Set Excel Application"));
    EXPECT_EQ(form->lblStatus->text(), " Status : 失敗しました - Set Excel Application");
}

TEST_F(WorkbookOperations, TheSwitchAndTheResetWaitForTheTurnToClose) {
    for (int k = 1; k <= 4; ++k) form->picCourt_DragDrop(k, k);
    form->txtTurn->setText("5");
    form->cmdSave_Click();
    ASSERT_EQ(form->timMiss->Interval(), 3000);
    const std::string before = bytesOf(folder.dataPath());
    form->messageBoxes.clear();

    form->chkView->click();
    EXPECT_FALSE(form->chkView->isChecked());
    EXPECT_EQ(form->chkView->text(), "Normal");
    form->picQVN_Click();
    EXPECT_TRUE(form->messageBoxes.empty());
    EXPECT_EQ(bytesOf(folder.dataPath()), before);

    form->cmdMiss_Click();
    EXPECT_EQ(form->txtTurn->text(), "6");
    form->chkView->click();
    EXPECT_EQ(form->chkView->text(), "Hyper");
}

}  // namespace
}  // namespace pellix::testing
