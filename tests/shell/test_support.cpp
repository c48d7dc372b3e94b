#include "test_support.h"

namespace pellix::testing {

namespace fs = std::filesystem;

ProgramFolder::ProgramFolder() {
    fs::copy(PELLIX_SAMPLE_DIR, path(), fs::copy_options::recursive);
    fs::permissions(dataPath(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
}

void ProgramFolder::setCell(int row, int column, const xls::CellValue& value) const {
    xls::Workbook workbook = xls::Workbook::open(dataPath());
    workbook.setCell(workbook.activeSheet(), row - 1, column - 1, value);
    workbook.saveAs(dataPath());
}

std::string ProgramFolder::turnRow(int turn) const {
    const xls::Workbook book = xls::Workbook::open(dataPath());
    const auto at = [&](int column) { return book.cell(book.activeSheet(), cellmap::turnRow(turn) - 1, column - 1); };
    std::string shown, marks;
    for (int player = 1; player <= cellmap::kPlayers; ++player) {
        const xls::CellValue slot = at(cellmap::positionColumn(player));
        shown += std::to_string(slot.kind == xls::ValueKind::Number ? static_cast<int>(slot.number) : 0);
        if (at(cellmap::markColumn(player)) == xls::CellValue::ofText("C")) marks += " C" + std::to_string(player);
    }
    return shown + marks;
}

FormSeams Recorders::seams(bool realBoxes) {
    FormSeams seams{sound, {}, [this](const ShownRecord& record) {
                        return correction ? correction(record) : std::optional<std::pair<int, int>>();
                    }};
    if (!realBoxes)
        seams.messageBox = [this](const QString& text, QMessageBox::StandardButtons, QMessageBox::StandardButton fallback) {
            messageBoxes.push_back(text);
            return answer == QMessageBox::NoButton ? fallback : answer;
        };
    return seams;
}

void RecordingForm::drag(int source, const QWidget* target) {
    // Only tokens the scorer can see are found under the pointer.
    if (!isVisible()) show();
    TokenWidget* token = picUser(source);
    const auto pointer = [token](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, token->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(token, &event);
    };
    const QPoint to = target->mapToGlobal(target->rect().center());
    pointer(QEvent::MouseButtonPress, token->mapToGlobal(token->rect().center()), Qt::LeftButton, Qt::LeftButton);
    pointer(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    pointer(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

std::array<std::int16_t, 5> RecordingForm::court() const {
    std::array<std::int16_t, 5> court{};
    for (int slot = 1; slot <= 4; ++slot) {
        const QPoint middle = picCourt(slot)->geometry().center();
        for (int token = 1; token <= kTokenCount; ++token)
            if (tokenExists(token) && picUser(token)->geometry().contains(middle)) court[slot] = static_cast<std::int16_t>(token);
    }
    return court;
}

}  // namespace pellix::testing

// One QApplication for the whole program, offscreen unless the caller chose a platform.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
