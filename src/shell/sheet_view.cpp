#include "shell/sheet_view.h"

#include "shell/form_layout.h"

#include <QBrush>
#include <QColor>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace pellix {

namespace {

// Always room for a screenful of empty sheet beyond what the file uses.
constexpr int kMinimumRows = 100;
constexpr int kMinimumColumns = 26;
constexpr int kSpareRows = 20;
constexpr int kSpareColumns = 3;
// Excel pads every column by this many pixels beyond its characters.
constexpr int kColumnPadding = 5;

bool cellBefore(const xls::CellShown& cell, std::pair<int, int> place) {
    return std::pair(cell.row, cell.column) < place;
}

}  // namespace

QString shownValue(const xls::CellValue& value) {
    return QString::fromStdString(shownText(value));
}

void SheetModel::setSheet(xls::SheetShown sheet) {
    beginResetModel();
    sheet_ = std::move(sheet);
    int lastRow = -1;
    int lastColumn = -1;
    for (const xls::CellShown& cell : sheet_.cells) {
        lastRow = std::max(lastRow, cell.row);
        lastColumn = std::max(lastColumn, cell.column);
    }
    for (const xls::RowShown& row : sheet_.rows) {
        lastRow = std::max(lastRow, row.row);
    }
    for (const xls::ColumnsShown& columns : sheet_.columns) {
        lastColumn = std::max(lastColumn, std::min(columns.last, kSheetColumns - 1));
    }
    rows_ = std::clamp(lastRow + 1 + kSpareRows, kMinimumRows, kSheetRows);
    columns_ = std::clamp(lastColumn + 1 + kSpareColumns, kMinimumColumns, kSheetColumns);
    endResetModel();
}

int SheetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int SheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

const xls::CellShown* SheetModel::cellAt(int row, int column) const {
    const auto place = std::pair(row, column);
    const auto found = std::lower_bound(sheet_.cells.begin(), sheet_.cells.end(), place, cellBefore);
    if (found == sheet_.cells.end() || found->row != row || found->column != column) {
        return nullptr;
    }
    return &*found;
}

QVariant SheetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const xls::CellShown* cell = cellAt(index.row(), index.column());
    if (!cell) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return shownValue(cell->value);
    case Qt::BackgroundRole:
        if (cell->fillColorIndex >= 0) {
            return QBrush(QColor::fromRgb(cell->fillRgb));
        }
        return {};
    case Qt::TextAlignmentRole: {
        // Numbers to the right, everything else to the left, as the general format does.
        const bool number = cell->value.kind == xls::ValueKind::Number;
        const bool centred = cell->value.kind == xls::ValueKind::Boolean || cell->value.kind == xls::ValueKind::Error;
        const Qt::Alignment horizontal = number ? Qt::AlignRight : centred ? Qt::AlignHCenter : Qt::AlignLeft;
        return QVariant::fromValue(horizontal | Qt::AlignBottom);
    }
    default:
        return {};
    }
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    return orientation == Qt::Horizontal ? QString::fromStdString(columnLetters(section))
                                         : QString::number(section + 1);
}

Qt::ItemFlags SheetModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

SheetView::SheetView(QWidget* parent) : QTableView(parent) {
    setModel(&model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setFont(QFont(QString::fromUtf8(layout::kProportionalGothic), 11));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);

    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

    // The kept rows: a second view of the same sheet over the top of this one, with no column
    // letters and no scroll bars of its own; it scrolls sideways with this one.
    kept_ = new QTableView(this);
    kept_->setObjectName(QStringLiteral("keptRows"));
    // Opaque, so the turn rows beneath it are not painted only to be covered.
    kept_->setAutoFillBackground(true);
    kept_->setModel(&model_);
    kept_->setSelectionModel(selectionModel());
    kept_->setFocusPolicy(Qt::NoFocus);
    kept_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    kept_->setWordWrap(false);
    kept_->setFont(font());
    kept_->setFrameShape(QFrame::NoFrame);
    kept_->horizontalHeader()->hide();
    kept_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    kept_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    kept_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    kept_->verticalHeader()->setMinimumSectionSize(1);
    kept_->verticalHeader()->setHighlightSections(false);
    kept_->horizontalHeader()->setMinimumSectionSize(1);
    kept_->viewport()->installEventFilter(this);
    viewport()->stackUnder(kept_);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, kept_->horizontalScrollBar(), &QScrollBar::setValue);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { matchKeptRows(); });

    xls::SheetShown empty;
    empty.name = "Sheet1";
    showSheet(std::move(empty));
}

int SheetView::keptHeight() const {
    int height = 0;
    for (int row = 0; row < std::min(kKeptRows, model_.rowCount()); ++row)
        if (!isRowHidden(row)) height += rowHeight(row);
    return height;
}

bool SheetView::keepsRows() const {
    return viewport()->height() >= keptHeight() + 2 * verticalHeader()->defaultSectionSize();
}

void SheetView::updateGeometries() {
    QTableView::updateGeometries();
    if (kept_) matchKeptRows();
}

void SheetView::matchKeptRows() {
    const bool keep = keepsRows() && verticalScrollBar()->value() > 0;
    kept_->setVisible(keep);
    if (!keep) return;
    kept_->verticalHeader()->setFixedWidth(verticalHeader()->width());
    kept_->setGeometry(viewport()->x() - verticalHeader()->width(), viewport()->y(),
                       verticalHeader()->width() + viewport()->width(), keptHeight());
    kept_->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
}

bool SheetView::eventFilter(QObject* watched, QEvent* event) {
    // The wheel over the kept rows scrolls the turn rows beneath them.
    if (kept_ && watched == kept_->viewport() && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void SheetView::CreateLink(const std::filesystem::path& file) {
    // Read everything first, so that a file that cannot be read leaves the view as it was.
    xls::SheetShown sheet = readShownSheet(file);
    const bool again = linked_;
    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    showSheet(std::move(sheet));
    linked_ = true;
    if (again) {
        verticalScrollBar()->setValue(top);
        horizontalScrollBar()->setValue(left);
    }
}

void SheetView::bringRowIntoView(int row) {
    if (row < 1 || row > model_.rowCount()) return;
    QScrollBar* bar = verticalScrollBar();
    if (!keepsRows()) {
        bar->setValue(bar->minimum());
        return;
    }
    if (row <= kKeptRows || isRowHidden(row - 1)) return;
    // In pixels from the sheet's top; the band beneath the kept rows is what the scorer sees.
    const int top = verticalHeader()->sectionPosition(row - 1);
    const int bottom = top + rowHeight(row - 1);
    const int kept = keptHeight();
    const int offset = bar->value();
    if (top < offset + kept) {
        bar->setValue(top - kept);
    } else if (bottom > offset + viewport()->height()) {
        bar->setValue(bottom - viewport()->height());
    }
}

int SheetView::zeroWidth() const {
    return std::max(1, QFontMetrics(font()).horizontalAdvance(QLatin1Char('0')));
}

int SheetView::rowHeightPixels(int heightTwips) const {
    // Twentieths of a point to pixels of this screen.
    return static_cast<int>(std::lround(heightTwips / 20.0 * logicalDpiY() / 72.0));
}

int SheetView::columnWidthPixels(int width256) const {
    return static_cast<int>(std::lround(width256 / 256.0 * zeroWidth()));
}

void SheetView::showSheet(xls::SheetShown sheet) {
    const int defaultHeight = rowHeightPixels(sheet.defaultRowHeightTwips);
    const int defaultWidth = sheet.defaultColumnWidth * zeroWidth() + kColumnPadding;
    std::vector<xls::RowShown> rows = sheet.rows;
    std::vector<xls::ColumnsShown> columns = sheet.columns;

    model_.setSheet(std::move(sheet));

    // A model reset already brought every section back to the default size and shown.
    QHeaderView* vertical = verticalHeader();
    QHeaderView* horizontal = horizontalHeader();
    vertical->setDefaultSectionSize(defaultHeight);
    horizontal->setDefaultSectionSize(defaultWidth);
    for (int row = 0; row < model_.rowCount(); ++row) {
        vertical->resizeSection(row, defaultHeight);
        if (vertical->isSectionHidden(row)) {
            vertical->showSection(row);
        }
    }
    for (int column = 0; column < model_.columnCount(); ++column) {
        horizontal->resizeSection(column, defaultWidth);
        if (horizontal->isSectionHidden(column)) {
            horizontal->showSection(column);
        }
    }
    for (const xls::RowShown& row : rows) {
        if (row.row >= model_.rowCount()) {
            continue;
        }
        if (row.hidden || row.heightTwips == 0) {
            vertical->hideSection(row.row);
        } else {
            vertical->resizeSection(row.row, rowHeightPixels(row.heightTwips));
        }
    }
    for (const xls::ColumnsShown& range : columns) {
        for (int column = range.first; column <= range.last && column < model_.columnCount(); ++column) {
            if (range.hidden || range.width256 == 0) {
                horizontal->hideSection(column);
            } else {
                horizontal->resizeSection(column, columnWidthPixels(range.width256));
            }
        }
    }
    // The kept rows' view shows the same sizes, hidden rows and columns.
    for (int row = 0; row < std::min(kKeptRows + 1, model_.rowCount()); ++row) {
        kept_->verticalHeader()->resizeSection(row, vertical->sectionSize(row));
        kept_->verticalHeader()->setSectionHidden(row, vertical->isSectionHidden(row));
    }
    for (int column = 0; column < model_.columnCount(); ++column) {
        kept_->horizontalHeader()->resizeSection(column, horizontal->sectionSize(column));
        kept_->horizontalHeader()->setSectionHidden(column, horizontal->isSectionHidden(column));
    }
    spillTexts();
    scrollToTop();
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

void SheetView::spillTexts() {
    // A text wider than its cell runs on over the empty cells to its right, as a spreadsheet shows
    // it: the cell spans as many of them as the text needs. A neighbour with a value or a fill
    // stops it.
    clearSpans();
    kept_->clearSpans();
    const QFontMetrics metrics(font());
    const QHeaderView* horizontal = horizontalHeader();
    // The item's own margins on both sides of the text, as the style draws them.
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
    for (const xls::CellShown& cell : model_.sheet().cells) {
        if (cell.value.kind != xls::ValueKind::Text || cell.row >= model_.rowCount()) continue;
        const int needed = metrics.horizontalAdvance(shownValue(cell.value)) + margins;
        int width = horizontal->sectionSize(cell.column);
        int span = 1;
        while (width < needed && cell.column + span < model_.columnCount()) {
            const xls::CellShown* next = model_.cellAt(cell.row, cell.column + span);
            if (next && (next->value.kind != xls::ValueKind::Empty || next->fillColorIndex >= 0)) break;
            width += horizontal->sectionSize(cell.column + span);
            ++span;
        }
        if (span <= 1) continue;
        setSpan(cell.row, cell.column, 1, span);
        if (cell.row < kKeptRows) kept_->setSpan(cell.row, cell.column, 1, span);
    }
}

}  // namespace pellix
