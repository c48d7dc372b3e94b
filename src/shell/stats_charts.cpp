#include "shell/stats_charts.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace pellix {

namespace {

const QColor kAxis(96, 96, 96);
const QColor kGrid(220, 220, 220);
const QColor kOnCourtBar(52, 101, 164);
const QColor kNamedBar(204, 0, 0);

QFont textFont(double size) {
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    return font;
}

// The value axis of a chart in `area` whose plot is `plot`: a grid line and its number at every
// `step` from `first` to `last` (the zero line darker), the numbers left of the plot.
template <typename YOf>
void valueAxis(QPainter& painter, const QRectF& area, const QRectF& plot, const YOf& yOf, int first, int last,
               int step, double textSize) {
    for (int value = first; value <= last; value += step) {
        painter.setPen(QPen(value == 0 ? kAxis : kGrid, 0));
        painter.drawLine(QPointF(plot.left(), yOf(value)), QPointF(plot.right(), yOf(value)));
        painter.setPen(kAxis);
        painter.drawText(
            QRectF(area.left(), yOf(value) - textSize, plot.left() - area.left() - textSize * 0.3, textSize * 2),
            Qt::AlignRight | Qt::AlignVCenter, QString::number(value));
    }
}

// A step of 1, 2 or 5 times a power of ten that cuts `span` into at most `most` parts.
int tickStep(int span, int most) {
    for (int scale = 1;; scale *= 10)
        for (int step : {1, 2, 5})
            if (span <= step * scale * most) return step * scale;
}

const PlayerStats* findPlayer(const StatsTable& table, int player) {
    const auto found = std::ranges::find(table.players, player, &PlayerStats::player);
    return found == table.players.end() ? nullptr : &*found;
}

void paintNothingRecorded(QPainter& painter, const QRectF& area, double textSize) {
    painter.setPen(kAxis);
    painter.setFont(textFont(textSize));
    painter.drawText(area, Qt::AlignCenter, QStringLiteral("記録された節はまだありません"));
}

}  // namespace

QColor playerColor(int player) {
    static const std::array<QColor, 12> kColors = {QColor(214, 39, 40),   QColor(255, 127, 14),  QColor(188, 160, 0),
                                                   QColor(44, 160, 44),   QColor(23, 190, 207),  QColor(31, 119, 180),
                                                   QColor(148, 103, 189), QColor(227, 119, 194), QColor(140, 86, 75),
                                                   QColor(196, 30, 120),  QColor(0, 128, 110),   QColor(90, 60, 50)};
    return kColors[static_cast<std::size_t>(std::clamp(player, 1, 12) - 1)];
}

void paintStandingChart(QPainter& painter, const QRectF& area, const StatsTable& table, const std::vector<int>& players,
                        double textSize) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, Qt::white);
    if (table.lastTurn == 0) {
        paintNothingRecorded(painter, area, textSize);
        painter.restore();
        return;
    }
    std::vector<const PlayerStats*> shown;
    for (int player : players)
        if (const PlayerStats* stats = findPlayer(table, player)) shown.push_back(stats);
    int highest = 1;
    int lowest = -1;
    for (const PlayerStats* stats : shown)
        for (int value : stats->standingAfter) {
            highest = std::max(highest, value);
            lowest = std::min(lowest, value);
        }

    painter.setFont(textFont(textSize));
    const QFontMetricsF metrics(painter.font());
    const double axisWidth = metrics.horizontalAdvance(QStringLiteral("-0000")) + textSize * 0.5;
    // The legend above the plot, in as many lines as the picked players' names take.
    std::vector<std::pair<QString, QPointF>> legend;
    QPointF key(area.left() + axisWidth, area.top() + textSize * 0.5);
    for (const PlayerStats* stats : shown) {
        const QString label = QStringLiteral("%1 %2").arg(stats->player).arg(QString::fromStdString(stats->name));
        const double width = textSize * 2.6 + metrics.horizontalAdvance(label);
        if (key.x() + width > area.right() && key.x() > area.left() + axisWidth)
            key = QPointF(area.left() + axisWidth, key.y() + textSize * 1.4);
        legend.emplace_back(label, key);
        key.rx() += width;
    }
    const double legendBottom = legend.empty() ? area.top() : key.y() + textSize * 1.6;
    const QRectF plot(QPointF(area.left() + axisWidth, legendBottom + textSize * 0.8),
                      QPointF(area.right() - textSize * 1.6, area.bottom() - textSize * 2.2));
    const auto xOf = [&](double turn) { return plot.left() + plot.width() * turn / table.lastTurn; };
    const auto yOf = [&](double value) { return plot.top() + plot.height() * (highest - value) / (highest - lowest); };

    // The grid and the axes: the standing up the side, the turns along the bottom.
    const int valueStep = tickStep(highest - lowest, 6);
    valueAxis(painter, area, plot, yOf, -(-lowest / valueStep) * valueStep, highest, valueStep, textSize);
    const int turnStep = tickStep(table.lastTurn, 8);
    for (int turn = 0; turn <= table.lastTurn; turn += turnStep) {
        painter.setPen(QPen(kAxis, 0));
        painter.drawLine(QPointF(xOf(turn), plot.bottom()), QPointF(xOf(turn), plot.bottom() + textSize * 0.3));
        painter.drawText(QRectF(xOf(turn) - textSize * 3, plot.bottom() + textSize * 0.3, textSize * 6, textSize * 1.4),
                         Qt::AlignHCenter | Qt::AlignTop, QString::number(turn));
    }
    painter.drawRect(plot);
    painter.drawText(
        QRectF(plot.right() + textSize * 0.2, plot.bottom() - textSize * 1.4, textSize * 1.4, textSize * 1.4),
        Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("節"));

    // Turn t holds the standing after it from t - 1 to t: a step line, as the sheet changes. Each
    // run of one level is one line, and lines (not a polyline) without antialiasing keep a record of
    // 2060 turns to a few milliseconds a player.
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (std::size_t which = 0; which < shown.size(); ++which) {
        const PlayerStats* stats = shown[which];
        QVector<QLineF> steps;
        int level = 0;
        double from = xOf(0);
        const auto runTo = [&](double x) {
            if (x > from) steps << QLineF(from, yOf(level), x, yOf(level));
        };
        for (std::size_t index = 0; index < stats->standingAfter.size(); ++index) {
            const int value = stats->standingAfter[index];
            if (value == level) continue;
            const double x = xOf(static_cast<double>(index));
            runTo(x);
            steps << QLineF(x, yOf(level), x, yOf(value));
            level = value;
            from = x;
        }
        runTo(xOf(table.lastTurn));
        const QColor color = playerColor(stats->player);
        QPen pen(color, textSize < 9 ? 1 : 2);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawLines(steps);

        const auto& [label, at] = legend[which];
        const QRectF swatch(at, QSizeF(textSize, textSize * 0.8));
        painter.fillRect(swatch, color);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(swatch.right() + textSize * 0.3, swatch.bottom()), label);
    }
    painter.restore();
}

void paintCountBars(QPainter& painter, const QRectF& area, const StatsTable& table, double textSize) {
    painter.save();
    painter.fillRect(area, Qt::white);
    if (table.players.empty()) {
        paintNothingRecorded(painter, area, textSize);
        painter.restore();
        return;
    }
    int highest = 1;
    for (const PlayerStats& stats : table.players) highest = std::max({highest, stats.onCourt, stats.named});
    const int step = tickStep(highest, 5);
    highest = (highest + step - 1) / step * step;

    painter.setFont(textFont(textSize));
    const QFontMetricsF metrics(painter.font());
    const QRectF plot = area.adjusted(metrics.horizontalAdvance(QString::number(highest)) + textSize * 0.8,
                                      textSize * 2.2, -textSize * 0.5, -textSize * 3.2);
    const auto yOf = [&](double value) { return plot.bottom() - plot.height() * value / highest; };
    valueAxis(painter, area, plot, yOf, 0, highest, step, textSize);

    // The legend.
    const std::array<std::pair<QColor, QString>, 2> legend = {
        {{kOnCourtBar, QStringLiteral("出場 (節)")}, {kNamedBar, QStringLiteral("C (回)")}}};
    double legendX = plot.left();
    for (const auto& [color, text] : legend) {
        const QRectF swatch(legendX, area.top() + textSize * 0.4, textSize, textSize * 0.8);
        painter.fillRect(swatch, color);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(swatch.right() + textSize * 0.3, swatch.bottom()), text);
        legendX = swatch.right() + textSize * 1.5 + metrics.horizontalAdvance(text);
    }

    const double group = plot.width() / static_cast<double>(table.players.size());
    const double bar = group * 0.36;
    for (std::size_t index = 0; index < table.players.size(); ++index) {
        const PlayerStats& stats = table.players[index];
        const double left = plot.left() + group * static_cast<double>(index) + group * 0.14;
        const std::array<std::pair<int, QColor>, 2> bars = {{{stats.onCourt, kOnCourtBar}, {stats.named, kNamedBar}}};
        for (std::size_t which = 0; which < bars.size(); ++which) {
            const auto& [value, color] = bars[which];
            const QRectF shape(left + bar * static_cast<double>(which), yOf(value), bar, plot.bottom() - yOf(value));
            painter.fillRect(shape, color);
            painter.setPen(Qt::black);
            painter.drawText(QRectF(shape.left() - bar, shape.top() - textSize * 1.3, bar * 3, textSize * 1.3),
                             Qt::AlignHCenter | Qt::AlignBottom, QString::number(value));
        }
        // Under the bars: the number, and the name as far as it fits.
        const QRectF label(plot.left() + group * static_cast<double>(index), plot.bottom() + textSize * 0.3, group,
                           textSize * 1.3);
        painter.setPen(playerColor(stats.player));
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, QString::number(stats.player));
        // A long name is drawn smaller, down to two thirds, and only then shortened.
        painter.setPen(Qt::black);
        const QString name = QString::fromStdString(stats.name);
        const double room = group - textSize * 0.4;  // a gap between neighbouring names
        const double fitted =
            std::clamp(textSize * room / std::max(1.0, metrics.horizontalAdvance(name)), textSize * 2 / 3, textSize);
        painter.setFont(textFont(fitted));
        painter.drawText(label.translated(0, textSize * 1.4), Qt::AlignHCenter | Qt::AlignTop,
                         QFontMetricsF(painter.font()).elidedText(name, Qt::ElideRight, room));
        painter.setFont(textFont(textSize));
    }
    painter.setPen(QPen(kAxis, 0));
    painter.drawRect(plot);
    painter.restore();
}

StatsChart::StatsChart(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setObjectName(kind == Kind::Standings ? QStringLiteral("standingChart") : QStringLiteral("countChart"));
    setMinimumSize(320, 200);
}

void StatsChart::setTable(const StatsTable* table) {
    table_ = table;
    update();
}

void StatsChart::setPlayers(std::vector<int> players) {
    players_ = std::move(players);
    update();
}

void StatsChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const StatsTable empty;
    const StatsTable& table = table_ ? *table_ : empty;
    const double textSize = std::clamp(height() / 22.0, 10.0, 14.0);
    if (kind_ == Kind::Standings) {
        paintStandingChart(painter, rect(), table, players_, textSize);
    } else {
        paintCountBars(painter, rect(), table, textSize);
    }
}

}  // namespace pellix
