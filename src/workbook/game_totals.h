#pragma once

// The statistics over several evenings: every game a data reset kept under archive/ and the game
// being recorded now, summed for each player. A player is known across evenings by his name (his
// token number can belong to somebody else on another evening). Plain C++, as the statistics.

#include "workbook/player_stats.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pellix {

// One archived game as it was read: its table, or why it could not be read.
struct ArchivedGame {
    std::filesystem::path file;
    std::optional<StatsTable> table;
    std::string failure;  // "NAME is damaged: …", "cannot open NAME: …"; empty when read
    bool operator==(const ArchivedGame&) const = default;
};

struct PlayerTotals {
    std::string name;
    int games = 0;          // the games he took part in
    int onCourt = 0;        // summed over the games
    int named = 0;          // summed
    int lostAtOnce = 0;     // summed
    int longestStreak = 0;  // the largest of any game
    int longestWait = 0;    // the largest of any game
    bool operator==(const PlayerTotals&) const = default;
};

struct GamesTotals {
    int games = 0;                      // the games summed: the archived ones read and the current one
    int turns = 0;                      // their recorded turns
    std::vector<PlayerTotals> players;  // in the order they first appear, the current game first
    std::vector<ArchivedGame> skipped;  // the archived games that could not be read
    bool operator==(const GamesTotals&) const = default;
};

// The folder a data reset keeps its games in.
std::filesystem::path archiveFolder(const std::filesystem::path& programFolder);

// The archived games, data-*.xls under archive/, oldest first (their names carry the time of the
// reset); empty when there is no such folder or it cannot be listed.
std::vector<std::filesystem::path> archivedGameFiles(const std::filesystem::path& programFolder);

// Reads one archived game. Never throws for what the file holds or lacks: the failure is named.
ArchivedGame readArchivedGame(const std::filesystem::path& file);

// The totals of the readable archived games and the current game; the unreadable ones are listed.
GamesTotals totalsOver(const std::vector<ArchivedGame>& archived, const StatsTable& current);

// The name a player goes by in the totals: his name, or "No.N" when his name cell is empty.
std::string totalsName(const PlayerStats& player);

}  // namespace pellix
