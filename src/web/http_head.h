#pragma once

// The head of an HTTP/1.x request (the request line and the header fields), read as its bytes
// arrive and no further: the board answers from the method and the target alone, so the fields
// are only checked for form and size.

#include <QByteArray>

namespace pellix::web {

// The whole head, request line and fields, may not be longer than this.
inline constexpr qsizetype kMaxHeadBytes = 8192;

struct RequestHead {
    QByteArray method;
    QByteArray target;
    QByteArray version;  // "HTTP/1.0" or "HTTP/1.1"
};

class HeadParser {
public:
    enum class State { Incomplete, Complete, Malformed, TooLarge };

    // Takes the next bytes; once the state is no longer Incomplete it stays as it is and takes
    // nothing more (what follows the head, a body, is never read).
    State feed(const QByteArray& bytes);
    State state() const { return state_; }
    // Valid once the state is Complete.
    const RequestHead& head() const { return head_; }
    // How many more bytes the head may have.
    qsizetype room() const { return kMaxHeadBytes + 4 - buffer_.size(); }

private:
    State parse(qsizetype headEnd);

    QByteArray buffer_;
    RequestHead head_;
    State state_ = State::Incomplete;
};

}  // namespace pellix::web
