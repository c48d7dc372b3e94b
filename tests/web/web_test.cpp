// The web board's parts without a network: the route table and the answers to request heads, the
// head's limits, the listen address, and the state as JSON against a known window state.

#include "web/board_json.h"
#include "web/routes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace pellix::web {
namespace {

Answer answerTo(const QByteArray& request) {
    HeadParser parser;
    const HeadParser::State state = parser.feed(request);
    return answerFor(state, parser.head());
}

TEST(Routes, OnlyTheRoutesAnswerAndOnlyToGetAndHead) {
    std::vector<std::tuple<QByteArray, int, Route, int>> cases = {
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", 200, Route::Page, 0},
        {"HEAD / HTTP/1.0\r\n\r\n", 200, Route::Page, 0},
        {"GET /state.json?t=5 HTTP/1.1\r\n\r\n", 200, Route::State, 0},
        {"GET /events HTTP/1.1\r\nAccept: text/event-stream\r\n\r\n", 200, Route::Events, 0},
        {"GET /court HTTP/1.1\r\n\r\n", 200, Route::Court, 0},
        {"GET /token/1 HTTP/1.1\r\n\r\n", 200, Route::Token, 1},
        {"GET /token/12 HTTP/1.1\r\n\r\n", 200, Route::Token, 12},
        // A bare line feed ends lines too.
        {"GET /token/7 HTTP/1.1\nHost: x\n\n", 200, Route::Token, 7},
    };
    // Nothing that looks like a file, a climb, an encoding or a near miss (the real-socket climbs
    // are web_board.py's); no other method; no malformed head.
    for (const char* target : {"/token/0", "/token/13", "/token/01", "/token/1/", "/token/%31", "/token/-1",
                               "/state.json/", "//state.json", "/./state.json", "/../data.xls", "/%2e%2e/data.xls",
                               "/data.xls", "http://x/state.json", "*"})
        cases.emplace_back(QByteArray("GET ") + target + " HTTP/1.1\r\n\r\n", 404, Route::NotFound, 0);
    // Every other method is web_board.py's, over the socket.
    cases.emplace_back("POST / HTTP/1.1\r\nContent-Length: 0\r\n\r\n", 405, Route::NotFound, 0);
    for (const char* head : {"GET /", "GET / HTTP/2.0", "GET  / HTTP/1.1", "GET /a b HTTP/1.1", "GET /\x7f HTTP/1.1",
                             "G(T / HTTP/1.1", "GET / HTTP/1.1\r\nHost x", "GET / HTTP/1.1\r\nHost : x",
                             "GET / HTTP/1.1\r\nA: b\r\n folded", "GET / HTTP/1.1\r\nA: b\x01"})
        cases.emplace_back(QByteArray(head) + "\r\n\r\n", 400, Route::NotFound, 0);
    for (const auto& [request, status, route, token] : cases) {
        const Answer answer = answerTo(request);
        EXPECT_EQ(std::tuple(answer.status, answer.route, answer.token, answer.head),
                  std::tuple(status, route, token, request.startsWith("HEAD")))
            << request.toStdString();
    }
}

TEST(RequestHead, EightKibibytesOfHeadAndNotAByteMore) {
    const QByteArray line = "GET / HTTP/1.1\r\n";
    const auto headOf = [&](qsizetype size) {
        const QByteArray field = "X: ";
        QByteArray head = line + field + QByteArray(size - line.size() - field.size() - 4, 'a') + "\r\n\r\n";
        return head;
    };
    EXPECT_EQ(answerTo(headOf(kMaxHeadBytes)).status, 200);
    EXPECT_EQ(answerTo(headOf(kMaxHeadBytes + 1)).status, 431);

    // Byte by byte, as a slow client sends it; the head ends at its blank line, whatever follows.
    for (const QByteArray& request :
         {headOf(kMaxHeadBytes) + "POST body", "\r\n\r\nGET /events HTTP/1.1\r\n\r\n" + QByteArray(20000, 'z')}) {
        HeadParser parser;
        for (char c : request) parser.feed(QByteArray(1, c));
        ASSERT_EQ(parser.state(), HeadParser::State::Complete);
    }
    HeadParser endless;
    for (int i = 0; i < 3000; ++i) endless.feed("abcd");
    EXPECT_EQ(endless.state(), HeadParser::State::TooLarge);
}

TEST(ListenAddress, PortOrAddressAndPort) {
    const std::pair<const char*, ListenAddress> cases[] = {
        {"8080", ListenAddress{QHostAddress(QHostAddress::Any), 8080}},
        {"127.0.0.1:1", ListenAddress{QHostAddress(QStringLiteral("127.0.0.1")), 1}},
        {"localhost:65535", ListenAddress{QHostAddress(QStringLiteral("127.0.0.1")), 65535}},
        {"[::1]:8080", ListenAddress{QHostAddress(QStringLiteral("::1")), 8080}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseListenAddress(QString::fromUtf8(text)), expected) << text;
    for (const char* text : {"0", "65536", "+80", "80x", ":80", "example.org:80", ""})
        EXPECT_FALSE(parseListenAddress(QString::fromUtf8(text)).has_value()) << text;
}

TEST(StateJson, AKnownWindowStateAsTheBoardReadsIt) {
    BoardState state;
    state.turn = 7;
    state.nextTurn = "8";
    state.phase = BoardPhase::Countdown;
    state.countdown = 2;
    state.court = {CourtPlace{1, 7, "山本"}, {2, 0, ""}, {3, 10, "ゲスト\"<b>"}, {4, 11, ""}};
    state.named = 11;
    state.namedName = "ゲストさんB";
    state.standings = {{7, "山本", "2連勝中", 0xccffcc}, {2, "", "Challenger", std::nullopt}};
    state.titles = {{6, {2}}, {7, {2, 5}}, {0, {}}};
    const QByteArray json = stateJson(state);
    const QJsonObject expected = QJsonDocument::fromJson(R"({
        "turn": 7, "next_turn": "8", "phase": "countdown", "countdown": 2,
        "court": [{"slot": 1, "player": 7, "name": "山本"}, {"slot": 2, "player": null, "name": null},
                  {"slot": 3, "player": 10, "name": "ゲスト\"<b>"}, {"slot": 4, "player": 11, "name": ""}],
        "named": {"player": 11, "name": "ゲストさんB"},
        "standings": [{"player": 7, "name": "山本", "text": "2連勝中", "fill": "#CCFFCC"},
                      {"player": 2, "name": "", "text": "Challenger", "fill": null}],
        "titles": [{"title": "最長連勝", "unit": "連勝", "value": 6, "players": [2]},
                   {"title": "最多出場", "unit": "節", "value": 7, "players": [2, 5]},
                   {"title": "最多 C", "unit": "回", "value": 0, "players": []}]})").object();
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(QJsonDocument::fromJson(json).object(), expected) << json.toStdString();

    const std::tuple<BoardPhase, const char*> phases[] = {
        {BoardPhase::Idle, "idle"}, {BoardPhase::Closing, "closing"}, {BoardPhase::Busy, "busy"}};
    for (const auto& [phase, name] : phases) {
        BoardState other;
        other.phase = phase;
        const QJsonObject object = QJsonDocument::fromJson(stateJson(other)).object();
        EXPECT_EQ(object[QStringLiteral("phase")].toString(), QLatin1String(name));
        EXPECT_TRUE(object[QStringLiteral("named")].isNull());
        EXPECT_TRUE(object[QStringLiteral("countdown")].isNull());
        EXPECT_EQ(object[QStringLiteral("court")].toArray().size(), 4);
    }
}

}  // namespace
}  // namespace pellix::web
