#include "workbook/player_stats.h"

#include "workbook/cell_map.h"
#include "files/atomic_file.h"
#include "workbook/xls/cell_text.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

namespace pellix {

namespace {

PlayerStats statsOf(int player, const ShownRecord& record, const TurnHistory& history, int lastTurn) {
    PlayerStats stats;
    stats.player = player;
    const xls::CellValue name = record.value(cellmap::statusRow(player), cellmap::kNameColumn);
    stats.name = xls::shownText(name);
    stats.standingAfter.reserve(static_cast<std::size_t>(lastTurn));

    // One pass forward: each turn's standing follows from the runs before it, which the step
    // forward keeps, instead of a walk back from every turn.
    PlayerPast past;
    xls::CellValue twoTurnsBack = history.position(-1, player);
    xls::CellValue oneTurnBack = history.position(0, player);
    for (int turn = 1; turn <= lastTurn; ++turn) {
        xls::CellValue position = history.position(turn, player);
        const Standing standing = standingOf(position, past, twoTurnsBack);
        stats.onCourt += greaterThanZero(position);
        stats.named += isNamedMark(record.value(cellmap::turnRow(turn), cellmap::markColumn(player)));
        // At turn 1 nobody has played yet: the mark there says nothing of a lost rally.
        stats.lostAtOnce += turn >= 2 && standing.kind == StandingKind::LostAtOnce;
        if (standing.kind == StandingKind::Streak) stats.longestStreak = std::max(stats.longestStreak, standing.count);
        if (standing.kind == StandingKind::Waiting) stats.longestWait = std::max(stats.longestWait, standing.count);
        stats.standingAfter.push_back(standingNumber(standing));

        past = past.after(position);
        twoTurnsBack = std::move(oneTurnBack);
        oneTurnBack = std::move(position);
    }
    return stats;
}

// A spreadsheet program opening the file takes a field that starts with one of these for a formula
// (a tab or a carriage return can start one too). A name is text: it gets an apostrophe in front,
// which keeps it readable and is what such programs show for a text that looks like a formula.
constexpr std::string_view kFormulaStarts = "=+-@\t\r";

std::string textField(std::string_view text) {
    std::string field;
    if (!text.empty() && kFormulaStarts.find(text.front()) != std::string_view::npos) field += '\'';
    field += text;
    return field;
}

void appendField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

int standingNumber(const Standing& standing) {
    switch (standing.kind) {
    case StandingKind::Streak:
        return standing.count;
    case StandingKind::Waiting:
        return -standing.count;
    default:
        return 0;
    }
}

StatsTable computeStats(const ShownRecord& record) {
    StatsTable table;
    table.lastTurn = record.lastTurn();
    const TurnHistory history = record.history();
    for (int player = 1; player <= cellmap::kPlayers; ++player)
        if (greaterThanZero(history.entry(player)))
            table.players.push_back(statsOf(player, record, history, table.lastTurn));
    return table;
}

std::string statsCsv(const StatsTable& table, ByteOrderMark mark) {
    std::string out = mark == ByteOrderMark::With ? "\xEF\xBB\xBF" : "";
    out += "player,name,on_court,named,lost_at_once,longest_streak,longest_wait\r\n";
    for (const PlayerStats& stats : table.players) {
        out += std::to_string(stats.player) + ',';
        appendField(out, textField(stats.name));
        for (int number : {stats.onCourt, stats.named, stats.lostAtOnce, stats.longestStreak, stats.longestWait})
            out += ',' + std::to_string(number);
        out += "\r\n";
    }
    return out;
}

void writeStatsReport(const std::filesystem::path& file, const StatsTable& table) {
    const std::string text = statsCsv(table, ByteOrderMark::With);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    xls::writeFileAtomically(file, std::span(bytes, text.size()), file.filename().string());
}

}  // namespace pellix
