#include "web/routes.h"

namespace pellix::web {

Route routeOf(QByteArrayView target, int* token) {
    const qsizetype query = target.indexOf('?');
    const QByteArrayView path = query >= 0 ? target.first(query) : target;
    if (path == "/") return Route::Page;
    if (path == "/state.json") return Route::State;
    if (path == "/events") return Route::Events;
    if (path == "/court") return Route::Court;
    if (!path.startsWith("/token/")) return Route::NotFound;
    // 1..12 in plain digits, no leading zero.
    const QByteArrayView number = path.sliced(7);
    if (number.isEmpty() || number.size() > 2 || number[0] == '0') return Route::NotFound;
    int value = 0;
    for (char c : number) {
        if (c < '0' || c > '9') return Route::NotFound;
        value = value * 10 + (c - '0');
    }
    if (value > 12) return Route::NotFound;
    if (token) *token = value;
    return Route::Token;
}

Answer answerFor(HeadParser::State state, const RequestHead& head) {
    switch (state) {
    case HeadParser::State::TooLarge:
        return {431};
    case HeadParser::State::Malformed:
    case HeadParser::State::Incomplete:
        return {400};
    case HeadParser::State::Complete:
        break;
    }
    // Nothing can be changed through the board: every other method is refused, whatever it names.
    const bool isHead = head.method == "HEAD";
    if (head.method != "GET" && !isHead) return {405};
    Answer answer;
    answer.head = isHead;
    answer.route = routeOf(head.target, &answer.token);
    answer.status = answer.route == Route::NotFound ? 404 : 200;
    return answer;
}

const char* reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

std::optional<ListenAddress> parseListenAddress(const QString& text) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = colon >= 0 ? text.left(colon) : QString();
    const QString portText = colon >= 0 ? text.mid(colon + 1) : text;
    bool number = false;
    const uint port = portText.toUInt(&number);
    if (!number || port == 0 || port > 65535 || portText.startsWith(QLatin1Char('+'))) return std::nullopt;
    ListenAddress where{QHostAddress(QHostAddress::Any), static_cast<quint16>(port)};
    if (colon < 0) return where;
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) host = host.mid(1, host.size() - 2);
    if (host == QLatin1String("localhost")) host = QStringLiteral("127.0.0.1");
    if (host.isEmpty() || !where.address.setAddress(host)) return std::nullopt;
    return where;
}

}  // namespace pellix::web
