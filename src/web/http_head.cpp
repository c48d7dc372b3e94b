#include "web/http_head.h"

#include <QList>

#include <algorithm>

namespace pellix::web {

namespace {

// A token character: a method or a field name is made of nothing else.
bool isTokenChar(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text) {
    if (text.isEmpty()) return false;
    for (char c : text)
        if (!isTokenChar(c)) return false;
    return true;
}

// A target is visible ASCII, no blanks, no control characters and nothing above 0x7e.
bool isTarget(QByteArrayView text) {
    if (text.isEmpty()) return false;
    for (char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f) return false;
    return true;
}

// A field value: tabs and visible characters (bytes above 0x7f too, as obsolete text).
bool isFieldValue(QByteArrayView text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7f) return false;
    }
    return true;
}

}  // namespace

HeadParser::State HeadParser::feed(const QByteArray& bytes) {
    if (state_ != State::Incomplete) return state_;
    const qsizetype before = buffer_.size();
    buffer_.append(bytes.left(room()));
    // Empty lines before the request line are passed over.
    qsizetype start = 0;
    while (start < buffer_.size() && (buffer_[start] == '\r' || buffer_[start] == '\n')) ++start;
    buffer_.remove(0, start);
    // Only the new bytes and the three before them can complete the blank line.
    const qsizetype from = std::max<qsizetype>(0, before - start - 3);
    qsizetype end = buffer_.indexOf("\r\n\r\n", from);
    qsizetype endLength = 4;
    if (const qsizetype bare = buffer_.indexOf("\n\n", from); bare >= 0 && (end < 0 || bare < end)) {
        end = bare;
        endLength = 2;
    }
    if (end < 0) {
        if (buffer_.size() >= kMaxHeadBytes + 4) state_ = State::TooLarge;
        return state_;
    }
    if (end + endLength > kMaxHeadBytes) return state_ = State::TooLarge;
    return state_ = parse(end);
}

HeadParser::State HeadParser::parse(qsizetype headEnd) {
    const QByteArray head = buffer_.left(headEnd);
    buffer_.clear();
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r')) line.chop(1);
    const QList<QByteArray> parts = lines.front().split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !isTarget(parts[1])) return State::Malformed;
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0") return State::Malformed;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        // No folded lines, no blank before the colon, no control characters.
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(QByteArrayView(line).first(colon)) || !isFieldValue(QByteArrayView(line).sliced(colon + 1)))
            return State::Malformed;
    }
    head_ = {parts[0], parts[1], parts[2]};
    return State::Complete;
}

}  // namespace pellix::web
