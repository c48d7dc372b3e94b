#include "workbook/xls/shared_strings.h"

#include "text/utf8.h"
#include "workbook/xls/byte_order.h"
#include "files/xls_error.h"

#include <algorithm>

namespace pellix::xls {

namespace {

// Reads the table's bytes across record boundaries. Header fields, formatting runs and phonetic
// data simply run on into the next CONTINUE; characters that do get one leading byte there that
// says whether the rest of the characters are 8- or 16-bit ([MS-XLS] 2.5.293).
class SegmentCursor {
public:
    SegmentCursor(const std::uint8_t* stream, std::span<const RecordView> records)
        : stream_(stream), records_(records) {}

    std::size_t segment() const { return segment_; }
    std::uint32_t offset() const { return offset_; }
    std::uint32_t left() const { return records_[segment_].size - offset_; }
    const std::uint8_t* here() const { return stream_ + records_[segment_].offset + 4 + offset_; }
    bool nextSegment() {
        if (segment_ + 1 >= records_.size()) return false;
        ++segment_;
        offset_ = 0;
        return true;
    }
    void skipToStringStart() {
        if (left() == 0) nextSegment();
    }
    // Copies (or skips, with `into` null) `count` bytes; false when the table ends first.
    bool plain(std::size_t count, std::uint8_t* into, std::size_t& have) {
        have = 0;
        while (count > 0) {
            if (left() == 0 && !nextSegment()) return false;
            const std::size_t take = std::min<std::size_t>(count, left());
            if (into != nullptr) std::copy_n(here(), take, into + have);
            offset_ += static_cast<std::uint32_t>(take);
            have += take;
            count -= take;
        }
        return true;
    }
    void advance(std::uint32_t bytes) { offset_ += bytes; }

private:
    const std::uint8_t* stream_;
    std::span<const RecordView> records_;
    std::size_t segment_ = 0;
    std::uint32_t offset_ = 0;
};

[[noreturn]] void stringDamaged(const std::string& displayName, std::size_t index, std::size_t need, std::size_t have) {
    throwDamaged(displayName, "shared string " + std::to_string(index) + " runs past the record end (need "
                                  + std::to_string(need) + " bytes, have " + std::to_string(have) + ")");
}

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

struct StringRead {
    std::string text;
    bool plain = false;  // without formatting runs and phonetic data
};

// `count` characters that start `highByte` wide; each CONTINUE they run on into says anew.
std::string readCharacters(SegmentCursor& cursor, std::size_t count, bool highByte, std::size_t index,
                           const std::string& displayName) {
    std::string text;
    std::size_t remaining = count;
    while (remaining > 0) {
        if (cursor.left() == 0) {
            if (!cursor.nextSegment() || cursor.left() == 0)
                stringDamaged(displayName, index, remaining * (highByte ? 2 : 1), 0);
            highByte = *cursor.here() & 0x01;
            cursor.advance(1);
            continue;
        }
        const std::size_t unit = highByte ? 2 : 1;
        const std::size_t take = std::min<std::size_t>(remaining, cursor.left() / unit);
        if (take == 0) stringDamaged(displayName, index, unit, cursor.left());
        appendUtf16AsUtf8(text, cursor.here(), take, highByte);
        cursor.advance(static_cast<std::uint32_t>(take * unit));
        remaining -= take;
    }
    return text;
}

// One XLUnicodeRichExtendedString: its header, characters, formatting runs and phonetic data.
StringRead readString(SegmentCursor& cursor, std::size_t index, const std::string& displayName) {
    std::uint8_t header[4];
    std::size_t have = 0;
    if (!cursor.plain(3, header, have)) stringDamaged(displayName, index, 3, have);
    const std::uint16_t characters = readU16(header);
    const std::uint8_t flags = header[2];
    std::uint32_t runs = 0;
    std::uint32_t phonetic = 0;
    if (flags & 0x08) {
        if (!cursor.plain(2, header, have)) stringDamaged(displayName, index, 2, have);
        runs = readU16(header);
    }
    if (flags & 0x04) {
        if (!cursor.plain(4, header, have)) stringDamaged(displayName, index, 4, have);
        phonetic = readU32(header);
    }
    StringRead read;
    read.text = readCharacters(cursor, characters, flags & 0x01, index, displayName);
    const std::size_t trailer = 4 * static_cast<std::size_t>(runs) + phonetic;
    if (!cursor.plain(trailer, nullptr, have)) stringDamaged(displayName, index, trailer, have);
    read.plain = (flags & 0x0C) == 0;
    return read;
}

// Builds records of at most kMaxRecordData bytes of data, one after the other.
class RecordWriter {
public:
    std::vector<std::uint8_t> out;
    std::size_t recordStart = 0;

    void start(std::uint16_t type) {
        recordStart = out.size();
        appendU16(out, type);
        appendU16(out, 0);
    }
    void finish() { writeU16(out.data() + recordStart + 2, static_cast<std::uint16_t>(out.size() - recordStart - 4)); }
    std::size_t room() const { return kMaxRecordData - (out.size() - recordStart - 4); }
};

// Appends a plain string of UTF-16 `units`, 8-bit when every unit fits; returns where its first
// byte and the header of its record went in `writer.out`.
std::pair<std::uint32_t, std::uint32_t> appendString(RecordWriter& writer, const std::u16string& units) {
    std::vector<std::uint8_t>& out = writer.out;
    const bool highByte = std::any_of(units.begin(), units.end(), [](char16_t u) { return u > 0xFF; });
    const std::size_t unit = highByte ? 2 : 1;
    // Writers never split a string's header: it starts a new record when the header and its
    // first character do not fit.
    if (writer.room() < 3 + (units.empty() ? 0 : unit)) {
        writer.finish();
        writer.start(kSidContinue);
    }
    const std::pair place(static_cast<std::uint32_t>(out.size()), static_cast<std::uint32_t>(writer.recordStart));
    appendU16(out, static_cast<std::uint16_t>(units.size()));
    out.push_back(highByte ? 1 : 0);
    std::size_t done = 0;
    while (done < units.size()) {
        std::size_t take = std::min(units.size() - done, writer.room() / unit);
        // Never part the two halves of a surrogate pair.
        if (take > 0 && done + take < units.size() && isHighSurrogate(units[done + take - 1])) --take;
        if (take == 0) {
            writer.finish();
            writer.start(kSidContinue);
            out.push_back(highByte ? 1 : 0);
            continue;
        }
        for (std::size_t i = done; i < done + take; ++i) {
            out.push_back(static_cast<std::uint8_t>(units[i]));
            if (highByte) out.push_back(static_cast<std::uint8_t>(units[i] >> 8));
        }
        done += take;
    }
    return place;
}

}  // namespace

void SharedStrings::parse(const std::uint8_t* stream, std::span<const RecordView> records,
                          const std::string& displayName) {
    stream_ = stream;
    for (const RecordView& record : records) segments_.push_back({record.offset, record.type, record.size});
    if (records.empty() || records.front().size < 8) throwDamaged(displayName, "the shared string table is cut short");
    const std::uint32_t sstHeader = records.front().offset;
    const std::uint8_t* head = stream + sstHeader + 4;
    const std::uint32_t unique = readU32(head + 4);

    std::size_t totalBytes = 0;
    for (const RecordView& record : records) totalBytes += record.size;
    const std::size_t bound = std::min<std::size_t>(unique, totalBytes / 3);
    texts_.reserve(bound);
    plain_.reserve(bound);
    start_.reserve(bound);
    holder_.reserve(bound);

    SegmentCursor cursor(stream, records);
    cursor.advance(8);
    for (std::uint32_t index = 0; index < unique; ++index) {
        cursor.skipToStringStart();
        start_.push_back(records[cursor.segment()].offset + 4 + cursor.offset() - sstHeader);
        holder_.push_back(records[cursor.segment()].offset - sstHeader);
        StringRead read = readString(cursor, index, displayName);
        texts_.push_back(std::move(read.text));
        plain_.push_back(read.plain);
    }
    endSegment_ = cursor.segment();
    endOffset_ = cursor.offset();
}

std::uint32_t SharedStrings::indexOf(const std::string& text) {
    if (!indexed_) {
        plainIndex_.reserve(texts_.size());
        for (std::size_t i = 0; i < texts_.size(); ++i)
            if (plain_[i]) plainIndex_.emplace(texts_[i], static_cast<std::uint32_t>(i));
        indexed_ = true;
    }
    if (auto found = plainIndex_.find(text); found != plainIndex_.end()) return found->second;
    const auto index = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(text);
    plain_.push_back(true);
    added_.push_back(utf8::toUtf16(text));
    plainIndex_.emplace(text, index);
    return index;
}

std::vector<std::uint8_t> SharedStrings::build(std::uint32_t labelTotal) const {
    RecordWriter writer;
    const std::size_t firstAdded = texts_.size() - added_.size();
    if (segments_.empty()) {
        writer.start(kSidSst);
        writer.out.resize(writer.out.size() + 8);
    } else {
        // Every byte up to the end of the last string is copied in place, so the strings read
        // from the file keep the positions parse() recorded.
        for (std::size_t s = 0; s <= endSegment_; ++s) {
            const Segment& segment = segments_[s];
            const std::uint32_t size = s == endSegment_ ? endOffset_ : segment.size;
            writer.start(segment.type);
            const std::uint8_t* data = stream_ + segment.header + 4;
            writer.out.insert(writer.out.end(), data, data + size);
            if (s != endSegment_) writer.finish();
        }
    }
    start_.resize(firstAdded);
    holder_.resize(firstAdded);
    for (const std::u16string& units : added_) {
        const auto [start, holder] = appendString(writer, units);
        start_.push_back(start);
        holder_.push_back(holder);
    }
    writer.finish();
    writeU32(writer.out.data() + 4, labelTotal);
    writeU32(writer.out.data() + 8, static_cast<std::uint32_t>(texts_.size()));
    return std::move(writer.out);
}

std::vector<std::uint8_t> SharedStrings::extSst(std::uint32_t sstOffset) const {
    const std::size_t strings = texts_.size();
    // Strings per bucket as Excel chooses it: at most 128 buckets, at least 8 strings each.
    const std::size_t perBucket = std::max<std::size_t>(8, (strings + 127) / 128);
    const std::size_t buckets = (strings + perBucket - 1) / perBucket;
    std::vector<std::uint8_t> out;
    out.reserve(6 + 8 * buckets);
    appendU16(out, kSidExtSst);
    appendU16(out, static_cast<std::uint16_t>(2 + 8 * buckets));
    appendU16(out, static_cast<std::uint16_t>(perBucket));
    for (std::size_t b = 0; b < buckets; ++b) {
        const std::size_t first = b * perBucket;
        appendU32(out, sstOffset + start_[first]);
        appendU16(out, static_cast<std::uint16_t>(start_[first] - holder_[first]));
        appendU16(out, 0);
    }
    return out;
}

}  // namespace pellix::xls
