#pragma once

// The cells of the score workbook that the program reads and writes, 1-based as the spreadsheet
// numbers them. Everything else in the workbook belongs to its owner and is never touched.

#include <string>

namespace pellix::cellmap {

inline constexpr int kPlayers = 12;

// B19: the last turn recorded.
inline constexpr int kTurnRow = 19;
inline constexpr int kTurnColumn = 2;

// Status rows: player i on row i + 1, B..D; his name in B (the owner's), the standing text in D.
constexpr int statusRow(int player) {
    return player + 1;
}
inline constexpr int kNameColumn = 2;
inline constexpr int kStandingColumn = 4;
inline constexpr const char* kStatusArea = "B2:D13";
inline constexpr const char* kStatusTexts = "C2:D13";
inline constexpr int kRowBelowStatus = 14;

// C22..C33: the picture file name of player k.
constexpr int pictureRow(int player) {
    return player + 21;
}
inline constexpr int kPictureColumn = 3;

// AJ37..AU37: player i takes part when the cell holds a number greater than 0.
inline constexpr int kEntryRow = 37;
constexpr int entryColumn(int player) {
    return player + 35;
}

// Turn t lives in row t + 40; J..U hold the court slot of players 1..12, W..AH the "C" mark.
constexpr int turnRow(int turn) {
    return turn + 40;
}
constexpr int positionColumn(int player) {
    return player + 9;
}
constexpr int markColumn(int player) {
    return player + 22;
}
inline constexpr int kLastResetTurn = 2060;  // the data reset clears J41:AH2100; no later turn is recorded
inline constexpr const char* kResetTurnRows = "J41:AH2100";

// Status row heights, in points.
inline constexpr double kShownRowHeight = 16.5;

}  // namespace pellix::cellmap
