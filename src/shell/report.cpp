#include "shell/report.h"

#include "shell/stats_charts.h"
#include "files/atomic_file.h"
#include "workbook/sheet_snapshot.h"
#include "files/xls_error.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cstdio>
#include <span>
#include <stdexcept>

namespace pellix {

namespace {

// A4 in points; the writer's resolution is 72 dots an inch, so a logical unit is a point.
constexpr double kPageWidth = 595.28;
constexpr double kPageHeight = 841.89;
constexpr double kMargin = 40;
constexpr double kRowHeight = 17;

QFont reportFont(double size, bool bold = false) {
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(static_cast<int>(size));
    font.setBold(bold);
    return font;
}

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

std::string lowerExtension(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::ranges::transform(extension, extension.begin(), [](unsigned char c) { return std::tolower(c); });
    return extension;
}

// A table with a shaded header: `widths` in points, the first `textColumns` left-aligned.
double paintTable(QPainter& painter, double top, const std::vector<double>& widths, const QStringList& header,
                  const std::vector<QStringList>& rows, int textColumns) {
    const auto paintRow = [&](const QStringList& cells, double y, bool bold) {
        double x = kMargin;
        painter.setFont(reportFont(10, bold));
        for (int column = 0; column < cells.size(); ++column) {
            const double width = widths[static_cast<std::size_t>(column)];
            const QRectF cell(x + 4, y, width - 8, kRowHeight);
            const Qt::Alignment alignment = column < textColumns ? Qt::AlignLeft : Qt::AlignRight;
            const QString shown =
                painter.fontMetrics().elidedText(cells[column], Qt::ElideRight, static_cast<int>(cell.width()));
            painter.drawText(cell, alignment | Qt::AlignVCenter, shown);
            x += width;
        }
    };
    double total = 0;
    for (double width : widths) total += width;
    painter.fillRect(QRectF(kMargin, top, total, kRowHeight), QColor(225, 225, 225));
    painter.setPen(Qt::black);
    paintRow(header, top, true);
    double y = top + kRowHeight;
    for (const QStringList& row : rows) {
        painter.setPen(QPen(QColor(200, 200, 200), 0.5));
        painter.drawLine(QPointF(kMargin, y), QPointF(kMargin + total, y));
        painter.setPen(Qt::black);
        paintRow(row, y, false);
        y += kRowHeight;
    }
    painter.setPen(QPen(Qt::black, 0.8));
    painter.drawRect(QRectF(kMargin, top, total, y - top));
    return y;
}

QString holders(const Title& title, const StatsTable& table) {
    if (title.holders.empty()) return QStringLiteral("—");
    QStringList names;
    for (int player : title.holders) {
        const auto found = std::ranges::find(table.players, player, &PlayerStats::player);
        names << QStringLiteral("%1 %2").arg(player).arg(found == table.players.end() ? QString() : text(found->name));
    }
    return names.join(QStringLiteral("、"));
}

double paintHeading(QPainter& painter, double top, const QString& heading) {
    painter.setPen(Qt::black);
    painter.setFont(reportFont(14, true));
    painter.drawText(QRectF(kMargin, top, kPageWidth - 2 * kMargin, 22), Qt::AlignLeft | Qt::AlignVCenter, heading);
    return top + 26;
}

void paintFirstPage(QPainter& painter, const ReportContent& content) {
    painter.setPen(Qt::black);
    painter.setFont(reportFont(20, true));
    painter.drawText(QRectF(kMargin, kMargin, kPageWidth - 2 * kMargin, 30), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Pellix 乱打 成績表"));
    painter.setFont(reportFont(11));
    double y = kMargin + 36;
    painter.drawText(QPointF(kMargin, y + 11), QStringLiteral("日付 %1　　記録された節 %2")
                                                   .arg(content.date.toString(QStringLiteral("yyyy年M月d日")))
                                                   .arg(content.table.lastTurn));
    y += 24;

    const std::array<std::tuple<QString, const Title*, QString>, 3> titles = {{
        {QStringLiteral("最長連勝"), &content.titles.longestStreak, QStringLiteral("連勝")},
        {QStringLiteral("最多出場"), &content.titles.mostOnCourt, QStringLiteral("節")},
        {QStringLiteral("最多 C"), &content.titles.mostNamed, QStringLiteral("回")},
    }};
    for (const auto& [label, title, unit] : titles) {
        const auto cell = [&](double left, double width) { return QRectF(kMargin + left, y, width, 16); };
        painter.drawText(cell(0, 70), Qt::AlignLeft | Qt::AlignVCenter, label);
        painter.drawText(cell(70, 70), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("%1 %2").arg(title->value).arg(unit));
        painter.drawText(cell(140, kPageWidth - 2 * kMargin - 140), Qt::AlignLeft | Qt::AlignVCenter,
                         holders(*title, content.table));
        y += 17;
    }
    y += 10;

    std::vector<QStringList> rows;
    for (const PlayerStats& stats : content.table.players)
        rows.push_back({QString::number(stats.player), text(stats.name), QString::number(stats.onCourt),
                        QString::number(stats.named), QString::number(stats.lostAtOnce),
                        QString::number(stats.longestStreak), QString::number(stats.longestWait)});
    y = paintTable(painter, y, {36, 165, 62, 62, 62, 64, 64}, statsColumnTitles(), rows, 2);

    y += 16;
    y = paintHeading(painter, y, QStringLiteral("出場と C"));
    paintCountBars(painter, QRectF(kMargin, y, kPageWidth - 2 * kMargin, kPageHeight - kMargin - y), content.table, 8);
}

// One small chart for each player, two to a row.
void paintStandingsPage(QPainter& painter, const ReportContent& content) {
    double y = paintHeading(painter, kMargin, QStringLiteral("節ごとの状況 (上: 連勝中、下: ターン待ち)"));
    const std::size_t rows = (content.table.players.size() + 1) / 2;
    const double width = (kPageWidth - 2 * kMargin - 12) / 2;
    const double height =
        std::min(160.0, (kPageHeight - kMargin - y) / static_cast<double>(std::max<std::size_t>(rows, 1)) - 8);
    for (std::size_t index = 0; index < content.table.players.size(); ++index) {
        const QRectF area(kMargin + static_cast<double>(index % 2) * (width + 12),
                          y + static_cast<double>(index / 2) * (height + 8), width, height);
        paintStandingChart(painter, area, content.table, {content.table.players[index].player}, 7);
        painter.setPen(QPen(QColor(200, 200, 200), 0.5));
        painter.drawRect(area);
    }
}

void paintTotalsPage(QPainter& painter, const GamesTotals& totals) {
    double y = paintHeading(painter, kMargin, QStringLiteral("通算 (保存された試合と今回の試合)"));
    painter.setFont(reportFont(11));
    painter.drawText(QPointF(kMargin, y + 11), QStringLiteral("試合 %1　　節 %2").arg(totals.games).arg(totals.turns));
    y += 24;
    std::vector<QStringList> rows;
    for (const PlayerTotals& player : totals.players)
        rows.push_back({text(player.name), QString::number(player.games), QString::number(player.onCourt),
                        QString::number(player.named), QString::number(player.lostAtOnce),
                        QString::number(player.longestStreak), QString::number(player.longestWait)});
    QStringList header = statsColumnTitles();
    header[0] = QStringLiteral("選手");
    header[1] = QStringLiteral("試合");
    y = paintTable(painter, y, {165, 50, 62, 62, 62, 64, 64}, header, rows, 1);
    if (totals.skipped.empty()) return;
    y += 16;
    painter.setFont(reportFont(10));
    painter.drawText(QPointF(kMargin, y + 10), QStringLiteral("読めなかったため数えていない記録:"));
    for (const ArchivedGame& game : totals.skipped) {
        y += 15;
        painter.drawText(QRectF(kMargin + 10, y, kPageWidth - 2 * kMargin - 10, 14), Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(text(game.failure), Qt::ElideMiddle,
                                                          static_cast<int>(kPageWidth - 2 * kMargin - 10)));
    }
}

}  // namespace

QStringList statsColumnTitles() {
    return {QStringLiteral("No."),  QStringLiteral("選手"),     QStringLiteral("出場"),    QStringLiteral("C"),
            QStringLiteral("瞬殺"), QStringLiteral("最長連勝"), QStringLiteral("最長待ち")};
}

ReportContent reportContent(const xls::SheetShown& sheet, const std::filesystem::path& programFolder, QDate date) {
    const ShownRecord record(sheet);
    ReportContent content{date, computeStats(record), computeLiveTitles(record), std::nullopt};
    std::error_code error;
    if (std::filesystem::is_directory(archiveFolder(programFolder), error)) {
        std::vector<ArchivedGame> archived;
        for (const auto& file : archivedGameFiles(programFolder)) archived.push_back(readArchivedGame(file));
        content.totals = totalsOver(archived, content.table);
    }
    return content;
}

QByteArray reportPdf(const ReportContent& content) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        writer.setTitle(QStringLiteral("Pellix 乱打 成績表 %1").arg(content.date.toString(Qt::ISODate)));
        writer.setCreator(QStringLiteral("Pellix"));
        QPainter painter(&writer);
        paintFirstPage(painter, content);
        // Before the first turn there are no standings to chart.
        if (content.table.lastTurn > 0) {
            writer.newPage();
            paintStandingsPage(painter, content);
        }
        if (content.totals) {
            writer.newPage();
            paintTotalsPage(painter, *content.totals);
        }
    }
    return bytes;
}

void writeReport(const std::filesystem::path& file, const ReportContent& content) {
    const std::string extension = lowerExtension(file);
    if (extension == ".csv") {
        writeStatsReport(file, content.table);
    } else if (extension == ".pdf") {
        const QByteArray bytes = reportPdf(content);
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        xls::writeFileAtomically(file, std::span(data, static_cast<std::size_t>(bytes.size())),
                                 file.filename().string());
    } else {
        throw std::invalid_argument(file.filename().string() + ": a report is written as .pdf or .csv");
    }
}

int runReportCommand(const std::vector<std::string>& arguments, const FolderPlaces& places) {
    const auto option = std::ranges::find(arguments, kReportOption);
    std::vector<std::string> rest(arguments.begin(), option);
    if (option != arguments.end() && option + 1 != arguments.end())
        rest.insert(rest.end(), option + 2, arguments.end());
    if (option == arguments.end() || option + 1 == arguments.end() || rest.size() > 1) {
        std::fputs("usage: pellix --report OUT.pdf|OUT.csv [FOLDER]\n", stderr);
        return 2;
    }
    const std::filesystem::path out = *(option + 1);
    std::filesystem::path folder;
    std::error_code error;
    if (!rest.empty()) {
        folder = rest.front();
    } else if (std::filesystem::exists(places.executableFolder / "data.xls", error)) {
        folder = places.executableFolder;
    } else {
        folder = places.userDataFolder;
    }
    ReportContent content;
    try {
        content = reportContent(readShownSheet(folder / "data.xls"), folder, QDate::currentDate());
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "pellix: %s (in %s)\n", failure.what(), folder.string().c_str());
        return 1;
    }
    if (content.totals)
        for (const ArchivedGame& game : content.totals->skipped)
            std::fprintf(stderr, "pellix: left out of the totals: %s\n", game.failure.c_str());
    try {
        writeReport(out, content);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "pellix: %s\n", failure.what());
        return 1;
    }
    return 0;
}

}  // namespace pellix
