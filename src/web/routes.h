#pragma once

// The web board's route table: what a request names, and the answer's status. A target names a
// route or nothing; no part of it is ever taken as a file's name.

#include "web/http_head.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <optional>

namespace pellix::web {

enum class Route {
    Page,       // "/": the board page
    State,      // "/state.json"
    Events,     // "/events": the state as Server-Sent Events
    Token,      // "/token/N", N = 1..12: the token's picture
    Court,      // "/court": the court's picture
    NotFound,
};

struct Answer {
    int status = 404;  // 200, 400, 404, 405 or 431
    Route route = Route::NotFound;
    int token = 0;      // 1..12 for Route::Token
    bool head = false;  // a HEAD request: the answer without its body
};

// The route a target names. The query, if any, is not looked at; the path must be one of the
// routes exactly as written above (no encoded characters, no dot segments, no trailing slash).
Route routeOf(QByteArrayView target, int* token = nullptr);

// What to answer to a request head as the parser left it.
Answer answerFor(HeadParser::State state, const RequestHead& head);

// The reason phrase of a status the board answers with.
const char* reasonPhrase(int status);

// Where to listen: "PORT" (every address) or "ADDRESS:PORT" ("[v6]:PORT" for IPv6), PORT 1..65535.
struct ListenAddress {
    QHostAddress address;
    quint16 port = 0;
    bool operator==(const ListenAddress&) const = default;
};
std::optional<ListenAddress> parseListenAddress(const QString& text);

}  // namespace pellix::web
