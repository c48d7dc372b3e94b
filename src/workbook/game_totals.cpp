#include "workbook/game_totals.h"

#include "workbook/xls/workbook.h"
#include "files/xls_error.h"

#include <algorithm>
#include <system_error>

namespace pellix {

std::filesystem::path archiveFolder(const std::filesystem::path& programFolder) {
    return programFolder / "archive";
}

std::vector<std::filesystem::path> archivedGameFiles(const std::filesystem::path& programFolder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    std::filesystem::directory_iterator entries(archiveFolder(programFolder), error);
    if (error) return files;
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("data-") && name.ends_with(".xls") && entry.is_regular_file(error))
            files.push_back(entry.path());
    }
    std::ranges::sort(files);
    return files;
}

ArchivedGame readArchivedGame(const std::filesystem::path& file) {
    ArchivedGame game{file, std::nullopt, {}};
    try {
        const xls::Workbook book = xls::Workbook::open(file);
        const xls::SheetShown sheet = book.shown(book.activeSheet());
        game.table = computeStats(ShownRecord(sheet));
    } catch (const xls::XlsError& error) {
        game.failure = error.what();
    } catch (const std::exception& error) {
        // Memory or the file system failing half way: the game is skipped all the same.
        game.failure = file.filename().string() + ": " + error.what();
    }
    return game;
}

std::string totalsName(const PlayerStats& player) {
    return player.name.empty() ? "No." + std::to_string(player.player) : player.name;
}

namespace {

void add(GamesTotals& totals, const StatsTable& table) {
    ++totals.games;
    totals.turns += table.lastTurn;
    for (const PlayerStats& player : table.players) {
        const std::string name = totalsName(player);
        auto found = std::ranges::find(totals.players, name, &PlayerTotals::name);
        if (found == totals.players.end()) found = totals.players.insert(found, PlayerTotals{name});
        ++found->games;
        found->onCourt += player.onCourt;
        found->named += player.named;
        found->lostAtOnce += player.lostAtOnce;
        found->longestStreak = std::max(found->longestStreak, player.longestStreak);
        found->longestWait = std::max(found->longestWait, player.longestWait);
    }
}

}  // namespace

GamesTotals totalsOver(const std::vector<ArchivedGame>& archived, const StatsTable& current) {
    GamesTotals totals;
    add(totals, current);
    for (const ArchivedGame& game : archived) {
        if (game.table) {
            add(totals, *game.table);
        } else {
            totals.skipped.push_back(game);
        }
    }
    return totals;
}

}  // namespace pellix
