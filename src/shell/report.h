#pragma once

// The club's report: the statistics of the evening on A4 pages as a PDF (the date, the number of
// turns, the live titles, the table and the bars; a page of standings charts once a turn is
// recorded; and the totals over the archived evenings where there are any), or the table alone
// as CSV. The window writes it from what its sheet view
// has read; `pellix --report OUT [FOLDER]` reads data.xls itself, shows no window and ends once
// the file is written. Neither ever writes data.xls.

#include "shell/program_folder.h"
#include "workbook/game_totals.h"
#include "workbook/live_titles.h"
#include "workbook/player_stats.h"

#include <QByteArray>
#include <QDate>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pellix {

struct ReportContent {
    QDate date;
    StatsTable table;
    LiveTitles titles;
    std::optional<GamesTotals> totals;  // only where the program folder has archive/
};

// What the report says of a sheet and the archive beside it; reads the archived games.
ReportContent reportContent(const xls::SheetShown& sheet, const std::filesystem::path& programFolder, QDate date);

// Writes the report: a PDF for a name ending in ".pdf", the table as CSV (UTF-8 with a byte-order
// mark) for ".csv". The file is replaced atomically: a failed write leaves an earlier one whole.
// Throws XlsError "cannot save NAME: …"; std::invalid_argument for any other ending.
void writeReport(const std::filesystem::path& file, const ReportContent& content);

// The table's column titles, as the window and the report show them.
QStringList statsColumnTitles();

// The PDF's bytes.
QByteArray reportPdf(const ReportContent& content);

// The report option: `pellix --report OUT [FOLDER]`.
inline constexpr const char* kReportOption = "--report";

// Carries out `--report` (`arguments` without the program's name): the folder named, else the
// program's own folder when it holds data.xls, else the user's data folder, as the window chooses
// it but without creating anything. Prints what failed on standard error; returns the exit code.
int runReportCommand(const std::vector<std::string>& arguments, const FolderPlaces& places);

}  // namespace pellix
