#pragma once

// The two charts of the statistics, painted with QPainter: the statistics view paints them on
// screen and the report paints the very same code on a PDF page. Painting them ourselves keeps
// the program off Qt Charts (one chart type each, and the module is on its way out of Qt) and
// gives the PDF vector lines and real text.
//
// Sizes are in the painter's logical units: pixels on screen, points on a page. `textSize` is
// the height of the axis and legend texts in those units.

#include "workbook/player_stats.h"

#include <QColor>
#include <QRectF>
#include <QWidget>

#include <vector>

class QPainter;

namespace pellix {

// One colour per player 1..12, the colours of the sample's tokens.
QColor playerColor(int player);

// The standings of `players` (their numbers) after every turn, one step line each: up for a
// winning streak ("N連勝中" is N), down for waiting ("Nターン待ち" is -N), on 0 otherwise.
void paintStandingChart(QPainter& painter, const QRectF& area, const StatsTable& table, const std::vector<int>& players,
                        double textSize);

// Turns on court and "C" marks of every player, as two bars side by side with their numbers.
void paintCountBars(QPainter& painter, const QRectF& area, const StatsTable& table, double textSize);

// A widget that paints one of the charts over its whole area.
class StatsChart : public QWidget {
    Q_OBJECT

public:
    enum class Kind { Standings, Counts };
    StatsChart(Kind kind, QWidget* parent = nullptr);

    void setTable(const StatsTable* table);
    void setPlayers(std::vector<int> players);  // the standings chart's players
    const std::vector<int>& players() const { return players_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
    const StatsTable* table_ = nullptr;
    std::vector<int> players_;
};

}  // namespace pellix
