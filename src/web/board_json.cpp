#include "web/board_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pellix::web {

namespace {

QJsonValue text(const std::string& value) {
    return QString::fromStdString(value);
}

QJsonValue playerOrNull(int player) {
    return player > 0 ? QJsonValue(player) : QJsonValue(QJsonValue::Null);
}

const char* phaseName(BoardPhase phase) {
    switch (phase) {
    case BoardPhase::Countdown: return "countdown";
    case BoardPhase::Closing: return "closing";
    case BoardPhase::Busy: return "busy";
    case BoardPhase::Idle: break;
    }
    return "idle";
}

}  // namespace

QString fillText(std::uint32_t rgb) {
    return QStringLiteral("#%1").arg(rgb & 0xffffffu, 6, 16, QLatin1Char('0')).toUpper();
}

QByteArray stateJson(const BoardState& state) {
    QJsonObject json;
    json[QStringLiteral("turn")] = state.turn;
    json[QStringLiteral("next_turn")] = text(state.nextTurn);
    json[QStringLiteral("phase")] = QLatin1String(phaseName(state.phase));
    json[QStringLiteral("countdown")] = state.countdown ? QJsonValue(*state.countdown) : QJsonValue(QJsonValue::Null);
    QJsonArray court;
    for (const CourtPlace& place : state.court) {
        court.append(QJsonObject{{QStringLiteral("slot"), place.slot},
                                 {QStringLiteral("player"), playerOrNull(place.player)},
                                 {QStringLiteral("name"), place.player ? text(place.name) : QJsonValue::Null}});
    }
    json[QStringLiteral("court")] = court;
    json[QStringLiteral("named")] =
        state.named > 0 ? QJsonValue(QJsonObject{{QStringLiteral("player"), state.named},
                                                 {QStringLiteral("name"), text(state.namedName)}})
                        : QJsonValue(QJsonValue::Null);
    QJsonArray standings;
    for (const BoardLine& line : state.standings) {
        standings.append(QJsonObject{{QStringLiteral("player"), line.player},
                                     {QStringLiteral("name"), text(line.name)},
                                     {QStringLiteral("text"), text(line.text)},
                                     {QStringLiteral("fill"), line.fill ? QJsonValue(fillText(*line.fill))
                                                                        : QJsonValue(QJsonValue::Null)}});
    }
    json[QStringLiteral("standings")] = standings;
    QJsonArray titles;
    for (const TitleLabel& label : kTitleLabels) {
        const Title& title = state.titles.*label.field;
        QJsonArray players;
        for (int player : title.holders) players.append(player);
        titles.append(QJsonObject{{QStringLiteral("title"), QString::fromUtf8(label.title)},
                                  {QStringLiteral("unit"), QString::fromUtf8(label.unit)},
                                  {QStringLiteral("value"), title.value},
                                  {QStringLiteral("players"), players}});
    }
    json[QStringLiteral("titles")] = titles;
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

}  // namespace pellix::web
