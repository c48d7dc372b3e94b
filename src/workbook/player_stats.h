#pragma once

// Per-player statistics over the recorded turns 1..B19, worked out with the standings rule the
// turn commit uses: what the commit of each turn wrote (or would write, from the rows as they
// stand) for each taking-part player. Plain C++, as the live titles.

#include "workbook/live_titles.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pellix {

struct PlayerStats {
    int player = 0;         // 1..12
    std::string name;       // column B of his status row, as the sheet shows it
    int onCourt = 0;        // turns with his slot number in their row
    int named = 0;          // turns with his "C" in their row
    int lostAtOnce = 0;     // turns from 2 on whose commit writes "瞬　殺　　" for him
    int longestStreak = 0;  // the largest N of "N連勝中" a commit writes for him
    int longestWait = 0;    // the largest N of "Nターン待ち"
    // His standing after turn t at [t - 1], as one signed number for a chart: N for "N連勝中",
    // -N for "Nターン待ち", 0 for "Challenger", "瞬　殺　　" and the empty standing of a player
    // who has just left the court after a run.
    std::vector<int> standingAfter;
    bool operator==(const PlayerStats&) const = default;
};

struct StatsTable {
    int lastTurn = 0;                  // B19, as the live titles read it
    std::vector<PlayerStats> players;  // the taking-part players, in player order
    bool operator==(const StatsTable&) const = default;
};

StatsTable computeStats(const ShownRecord& record);

// The signed number of a standing, as `standingAfter` holds it.
int standingNumber(const Standing& standing);

// The table as CSV (RFC 4180: CRLF line ends, a field with a comma, quote or line break quoted,
// quotes doubled), UTF-8: the header, then one line per player. A name that a spreadsheet program
// would take for a formula ("=", "+", "-", "@", a tab or a carriage return first) is written with
// an apostrophe in front.
enum class ByteOrderMark { Without, With };
std::string statsCsv(const StatsTable& table, ByteOrderMark mark = ByteOrderMark::Without);

// Writes the table as CSV with a byte-order mark, so that a spreadsheet program reads the names
// as UTF-8. The file is replaced atomically: a failed write leaves any earlier report whole.
// Throws XlsError "cannot save NAME: <cause>".
void writeStatsReport(const std::filesystem::path& file, const StatsTable& table);

}  // namespace pellix
