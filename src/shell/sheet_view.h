#pragma once

// The window's view of the score workbook: the active sheet of the linked file, read-only, the way
// a spreadsheet shows it (column letters, row numbers, values, fill colours, row heights and
// column widths), with the top-left of the sheet in view when it is first linked and the scroll
// position kept when it is read again. Before anything is linked it shows an empty "Sheet1".
// Rows 1 to 13 (the standings) stay in view as a spreadsheet's frozen panes keep them: the turn
// rows scroll beneath them, whenever the view has room for them and two rows more.

#include "workbook/sheet_snapshot.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <filesystem>
#include <vector>

namespace pellix {

// A cell value as the sheet shows it: "7", "16.5", "TRUE", "#N/A"; numbers without a needless ".0".
QString shownValue(const xls::CellValue& value);

class SheetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setSheet(xls::SheetShown sheet);
    const xls::SheetShown& sheet() const { return sheet_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const xls::CellShown* cellAt(int row, int column) const;

private:
    xls::SheetShown sheet_;
    int rows_ = 0;
    int columns_ = 0;
};

class SheetView : public QTableView {
    Q_OBJECT

public:
    explicit SheetView(QWidget* parent = nullptr);

    // OLEWorkSheet.CreateLink(file): shows the file's current contents. Throws xls::XlsError when
    // the file cannot be read, keeping what was shown before.
    void CreateLink(const std::filesystem::path& file);
    // Shows one sheet as the engine describes it.
    void showSheet(xls::SheetShown sheet);
    // Scrolls as little as it takes to show sheet row `row` (1-based) beneath the rows kept in
    // view; in a view too short to keep them and show more, it shows the standings instead.
    void bringRowIntoView(int row);
    // Sheet rows 1..kKeptRows stay in view while the view is tall enough for them and two more.
    static constexpr int kKeptRows = 13;
    bool keepsRows() const;

    const SheetModel& sheetModel() const { return model_; }
    // Pixel sizes as this screen shows them.
    int rowHeightPixels(int heightTwips) const;
    int columnWidthPixels(int width256) const;

protected:
    void updateGeometries() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int zeroWidth() const;
    void spillTexts();
    // The kept rows' height in pixels, hidden rows taking none.
    int keptHeight() const;
    // The view of the kept rows laid over the top of this one, sized and scrolled as it is.
    void matchKeptRows();

    SheetModel model_;
    QTableView* kept_ = nullptr;
    bool linked_ = false;
};

}  // namespace pellix
