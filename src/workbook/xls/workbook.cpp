#include "workbook/xls/workbook.h"

#include "text/utf8.h"
#include "files/atomic_file.h"
#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "workbook/xls/cell_formats.h"
#include "workbook/xls/compound_document.h"
#include "workbook/xls/shared_strings.h"
#include "workbook/xls/sheet_cells.h"
#include "workbook/xls/stream_sink.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace pellix::xls {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// A BOF..EOF run of records: the globals, a sheet, or an unreferenced substream.
struct Substream {
    std::size_t firstRecord = 0;
    std::size_t endRecord = 0;  // one past the balancing EOF
    std::uint32_t begin = 0;    // byte offsets in the original stream
    std::uint32_t end = 0;
    std::uint16_t kind = 0;  // BOF dt
    int sheet = -1;
};

struct SheetInfo {
    std::string name;
    std::size_t boundSheetRecord = 0;
    std::size_t substream = 0;
};

}  // namespace

struct Workbook::Impl {
    std::string name;
    CompoundDocument document;
    std::vector<std::uint8_t> stream;
    std::vector<RecordView> records;
    std::vector<Substream> substreams;  // [0] is the globals
    std::uint32_t trailingBegin = 0;    // bytes after the last substream, kept as they are
    std::vector<SheetInfo> sheets;
    std::unordered_map<std::size_t, int> boundSheetOf;  // record index -> sheet
    int active = 0;

    SharedStrings strings;
    std::size_t sstRecord = kNone;
    std::size_t sstEnd = kNone;
    std::size_t extSstRecord = kNone;
    std::int64_t labelsRead = 0;  // LABELSST cells in the file as read
    std::int64_t labelChange = 0;

    CellFormats formats;
    std::size_t lastXfRecord = kNone;
    std::size_t xfCrcRecord = kNone;

    mutable std::vector<std::unique_ptr<SheetCells>> cells;  // per sheet, parsed when first used

    [[noreturn]] void damaged(const std::string& what) const { throwDamaged(name, what); }
    void parseStream();
    void parseGlobals();
    void addSheet(std::size_t boundSheetRecord);
    std::size_t readSharedStrings(std::size_t record);
    void readWorksheetReferences();
    [[noreturn]] void badFormatReference(const RecordView& record) const;
    SheetCells& sheetCells(int sheet) const;
    void checkCell(int sheet, int row, int column) const;
    // The Workbook stream as a save writes it: `size` bytes at `bytes`.
    struct Stream {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t size = 0;
    };
    Stream workbookStream() const;
    void writeDocument(const DocumentBytes& use) const;
    void writeGlobals(StreamSink& sink, const std::vector<std::uint32_t>& sheetStarts,
                      const std::vector<std::uint8_t>& builtSst, std::uint32_t& sstStart) const;
    void writeUnchangedSubstream(StreamSink& sink, const Substream& substream) const;
};

void Workbook::Impl::parseStream() {
    const std::uint8_t* data = stream.data();
    std::size_t position = 0;
    records.reserve(stream.size() / 12);
    while (position + 4 <= stream.size()) {
        const RecordView record{static_cast<std::uint32_t>(position), readU16(data + position),
                                readU16(data + position + 2)};
        if (record.end() > stream.size()) break;
        records.push_back(record);
        position = record.end();
    }

    if (records.empty() || records[0].type != kSidBof || records[0].size < 4)
        damaged("its Workbook stream does not begin with a beginning-of-file record");
    const std::uint16_t version = readU16(data + 4);
    if (version == kBiff5Version)
        throw XlsError(name + " was saved in an older spreadsheet format (BIFF5) that is not supported");
    if (version != kBiff8Version)
        throw XlsError(name + " was saved in a spreadsheet format that is not supported (version 0x" + [&] {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04X", version);
            return std::string(hex);
        }() + ")");
    if (readU16(data + 6) != kBofGlobals)
        damaged("its Workbook stream does not begin with the workbook's global records");

    std::size_t i = 0;
    while (i < records.size() && records[i].type == kSidBof) {
        Substream substream;
        substream.firstRecord = i;
        substream.begin = records[i].offset;
        substream.kind = records[i].size >= 4 ? readU16(data + records[i].offset + 6) : 0;
        int depth = 0;
        for (; i < records.size(); ++i) {
            if (substreams.empty() && records[i].type == kSidFilePass) throw XlsError(name + " is password-protected");
            if (records[i].type == kSidBof)
                ++depth;
            else if (records[i].type == kSidEof && --depth == 0)
                break;
        }
        if (i == records.size()) {
            if (substreams.empty()) damaged("the workbook's global records have no end (the stream is cut short)");
            break;  // a cut-off last sheet: kept as trailing bytes, and refused below if a sheet starts there
        }
        substream.endRecord = ++i;
        substream.end = records[i - 1].end();
        substreams.push_back(substream);
    }
    trailingBegin = substreams.back().end;
}

void Workbook::Impl::parseGlobals() {
    const std::uint8_t* data = stream.data();
    const Substream& globals = substreams[0];
    for (std::size_t i = globals.firstRecord; i < globals.endRecord; ++i) {
        const RecordView& record = records[i];
        const std::uint8_t* body = data + record.offset + 4;
        switch (record.type) {
        case kSidBoundSheet8:
            addSheet(i);
            break;
        case kSidWindow1:
            if (record.size >= 12) active = readU16(body + 10);
            break;
        case kSidXf:
            if (record.size < 20) damaged("cell format " + std::to_string(formats.count()) + " is cut short");
            formats.add(body);
            lastXfRecord = i;
            break;
        case kSidXfCrc:
            xfCrcRecord = i;
            break;
        case kSidPalette:
            formats.setPalette(body, record.size);
            break;
        case kSidSst:
            i = readSharedStrings(i) - 1;
            break;
        case kSidExtSst:
            extSstRecord = i;
            break;
        default:
            break;
        }
    }
    if (xfCrcRecord != kNone) formats.noteCrc(data + records[xfCrcRecord].offset + 4, records[xfCrcRecord].size);
    if (active < 0 || static_cast<std::size_t>(active) >= sheets.size()) active = 0;
    readWorksheetReferences();
    cells.resize(sheets.size());
}

// BOUNDSHEET8: a sheet's name and where its substream begins.
void Workbook::Impl::addSheet(std::size_t boundSheetRecord) {
    const RecordView& record = records[boundSheetRecord];
    const std::uint8_t* body = stream.data() + record.offset + 4;
    if (record.size < 8) damaged("the sheet list entry at offset " + std::to_string(record.offset) + " is cut short");
    SheetInfo sheet;
    sheet.boundSheetRecord = boundSheetRecord;
    const std::size_t count = body[6];
    const bool highByte = body[7] & 0x01;
    appendUtf16AsUtf8(sheet.name, body + 8, std::min<std::size_t>(count, (record.size - 8u) / (highByte ? 2 : 1)),
                      highByte);
    const std::uint32_t start = readU32(body);
    auto found =
        std::find_if(substreams.begin() + 1, substreams.end(), [&](const Substream& s) { return s.begin == start; });
    if (found == substreams.end())
        damaged("sheet \"" + sheet.name + "\" starts at offset " + std::to_string(start) + ", where no sheet begins");
    if (found->sheet >= 0)
        damaged("sheets \"" + sheets[static_cast<std::size_t>(found->sheet)].name + "\" and \"" + sheet.name
                + "\" claim the same place");
    found->sheet = static_cast<int>(sheets.size());
    sheet.substream = static_cast<std::size_t>(found - substreams.begin());
    boundSheetOf[boundSheetRecord] = static_cast<int>(sheets.size());
    sheets.push_back(std::move(sheet));
}

// The SST record and its CONTINUE records; returns the index of the record after them.
std::size_t Workbook::Impl::readSharedStrings(std::size_t record) {
    if (sstRecord != kNone) damaged("it holds two shared string tables");
    sstRecord = record;
    sstEnd = record + 1;
    while (sstEnd < substreams[0].endRecord && records[sstEnd].type == kSidContinue) ++sstEnd;
    strings.parse(stream.data(), std::span(records).subspan(record, sstEnd - record), name);
    return sstEnd;
}

// Counts the worksheets' shared-string cells and checks the formats their cells, rows and
// columns name. Every record of every sheet passes here on each open, so the check reads only
// the format fields and builds a message only for a reference that fails.
void Workbook::Impl::readWorksheetReferences() {
    const std::uint8_t* data = stream.data();
    const std::size_t formatCount = formats.count();
    for (std::size_t s = 1; s < substreams.size(); ++s) {
        if (substreams[s].kind != kBofWorksheet) continue;
        int depth = 0;
        for (std::size_t i = substreams[s].firstRecord; i < substreams[s].endRecord; ++i) {
            const RecordView& record = records[i];
            const std::uint8_t* body = data + record.offset + 4;
            switch (record.type) {
            case kSidBof:
                ++depth;
                break;
            case kSidEof:
                --depth;
                break;
            case kSidLabelSst:
                ++labelsRead;
                if (depth == 1 && record.size >= 6 && readU16(body + 4) >= formatCount) badFormatReference(record);
                break;
            case kSidMulRk:
            case kSidMulBlank:
                if (depth == 1 && record.size >= 6) {
                    const std::size_t each = record.type == kSidMulRk ? 6 : 2;
                    const std::size_t count = (record.size - 6u) / each;
                    for (std::size_t k = 0; k < count; ++k)
                        if (readU16(body + 4 + each * k) >= formatCount) badFormatReference(record);
                }
                break;
            case kSidRow:
                if (depth == 1 && record.size >= 16 && (body[12] & 0x80)
                    && (readU16(body + 14) & 0x0FFF) >= formatCount)
                    badFormatReference(record);
                break;
            case kSidColInfo:
                if (depth == 1 && record.size >= 10 && (readU16(body + 6) & 0x0FFF) >= formatCount)
                    badFormatReference(record);
                break;
            case kSidRk:  // the other cell records: one format, after the row and column
            case kSidNumber:
            case kSidBlank:
            case kSidBoolErr:
            case kSidFormula:
            case kSidLabel:
            case kSidRString:
                if (depth == 1 && record.size >= 6 && readU16(body + 4) >= formatCount) badFormatReference(record);
                break;
            default:
                break;
            }
        }
    }
}

// A cell, row or column may name a cell format the workbook does not have. Formats added by a
// fill go after the last one, so such a reference would start to mean the new format and give
// cells nobody touched a fill: refused like any other damage.
void Workbook::Impl::badFormatReference(const RecordView& record) const {
    const std::uint8_t* body = stream.data() + record.offset + 4;
    const auto check = [&](std::uint16_t format, const auto& where) {
        if (format >= formats.count())
            damaged(where() + " refers to cell format " + std::to_string(format) + ", but the workbook has "
                    + std::to_string(formats.count()));
    };
    if (isCellRecord(record.type) && record.size >= 6) {
        const int row = readU16(body);
        const int column = readU16(body + 2);
        std::size_t each = 0;
        if (record.type == kSidMulRk)
            each = 6;
        else if (record.type == kSidMulBlank)
            each = 2;
        const std::size_t count = each == 0 ? 1 : (record.size - 6) / each;
        for (std::size_t k = 0; k < count; ++k)
            check(readU16(body + 4 + each * k), [&] { return "cell " + cellName(row, column + static_cast<int>(k)); });
    } else if (record.type == kSidRow && record.size >= 16 && (body[12] & 0x80)) {
        check(readU16(body + 14) & 0x0FFF, [&] { return "row " + std::to_string(readU16(body) + 1); });
    } else if (record.type == kSidColInfo && record.size >= 10) {
        check(readU16(body + 6) & 0x0FFF, [&] { return "column " + columnName(readU16(body)); });
    }
    XLS_INVARIANT(false && "a format reference found bad was not refused");
}

SheetCells& Workbook::Impl::sheetCells(int sheet) const {
    auto& parsed = cells[static_cast<std::size_t>(sheet)];
    if (!parsed) {
        const SheetInfo& info = sheets[static_cast<std::size_t>(sheet)];
        const Substream& substream = substreams[info.substream];
        if (substream.kind != kBofWorksheet)
            throw XlsError(name + ": the sheet \"" + info.name + "\" is not a worksheet");
        parsed = std::make_unique<SheetCells>(
            stream.data(),
            std::span(records).subspan(substream.firstRecord, substream.endRecord - substream.firstRecord), strings,
            name);
    }
    return *parsed;
}

void Workbook::Impl::checkCell(int sheet, int row, int column) const {
    if (sheet < 0 || static_cast<std::size_t>(sheet) >= sheets.size())
        throw XlsError(name + " has no sheet number " + std::to_string(sheet + 1));
    if (row < 0 || row >= kMaxRows || column < 0 || column >= kMaxColumns)
        throw XlsError(name + ": row " + std::to_string(row + 1) + ", column " + std::to_string(column + 1)
                       + " lies outside the sheet");
}

void Workbook::Impl::writeUnchangedSubstream(StreamSink& sink, const Substream& substream) const {
    const std::uint32_t start = sink.position();
    sink.put(stream.data() + substream.begin, substream.end - substream.begin);
    if (sink.measuring() || start == substream.begin) return;
    // INDEX holds absolute offsets (DEFCOLWIDTH and every DBCELL): shift them with the sheet.
    const std::int64_t shift = static_cast<std::int64_t>(start) - substream.begin;
    int depth = 0;
    for (std::size_t i = substream.firstRecord; i < substream.endRecord; ++i) {
        const RecordView& record = records[i];
        if (record.type == kSidBof)
            ++depth;
        else if (record.type == kSidEof)
            --depth;
        else if (depth == 1 && record.type == kSidIndex && record.size >= 16) {
            std::uint8_t* body = sink.at(start + (record.offset - substream.begin) + 4);
            // ibXF at 12, then one rgibRw per row block from 16 on.
            for (std::size_t at = 12; at + 4 <= record.size; at += 4) {
                const std::uint32_t value = readU32(body + at);
                if (value != 0) writeU32(body + at, static_cast<std::uint32_t>(value + shift));
            }
        }
    }
}

void Workbook::Impl::writeGlobals(StreamSink& sink, const std::vector<std::uint32_t>& sheetStarts,
                                  const std::vector<std::uint8_t>& builtSst, std::uint32_t& sstStart) const {
    const std::uint8_t* data = stream.data();
    const Substream& globals = substreams[0];
    for (std::size_t i = globals.firstRecord; i < globals.endRecord; ++i) {
        const RecordView& record = records[i];
        const std::uint8_t* raw = data + record.offset;
        if (i == sstRecord) {
            sstStart = sink.position();
            if (!builtSst.empty()) {
                sink.put(builtSst.data(), builtSst.size());
            } else {
                sink.put(raw, records[sstEnd - 1].end() - record.offset);
            }
            i = sstEnd - 1;
            continue;
        }
        if (i == extSstRecord && sstRecord != kNone && (!builtSst.empty() || sstStart != records[sstRecord].offset)) {
            const std::vector<std::uint8_t> extSst = strings.extSst(sstStart);
            sink.put(extSst.data(), extSst.size());
            continue;
        }
        if (auto sheet = boundSheetOf.find(i); sheet != boundSheetOf.end()) {
            sink.put(raw, 4);
            sink.putU32(sheetStarts[sheet->second]);
            sink.put(raw + 8, record.size - 4u);
            continue;
        }
        if (i == xfCrcRecord && formats.grew() && formats.crcWasValid()) {
            std::vector<std::uint8_t> crc(raw, raw + 4 + record.size);
            formats.patchCrc(crc.data() + 4, record.size);
            sink.put(crc.data(), crc.size());
            continue;
        }
        if (i + 1 == globals.endRecord && sstRecord == kNone && !builtSst.empty()) {
            // The workbook had no shared strings: the new table goes just before the globals end.
            sstStart = sink.position();
            sink.put(builtSst.data(), builtSst.size());
            const std::vector<std::uint8_t> extSst = strings.extSst(sstStart);
            sink.put(extSst.data(), extSst.size());
        }
        sink.put(raw, 4u + record.size);
        if (i == lastXfRecord) {
            for (std::size_t x = formats.originalCount(); x < formats.count(); ++x) {
                sink.putHeader(kSidXf, 20);
                sink.put(formats.xf(x).data(), 20);
            }
        }
    }
}

Workbook::Impl::Stream Workbook::Impl::workbookStream() const {
    std::vector<std::uint8_t> builtSst;
    std::int64_t change = labelChange;
    for (const auto& parsed : cells)
        if (parsed && parsed->edited()) change -= parsed->droppedLabels();
    const auto labelTotal = static_cast<std::uint32_t>(std::max<std::int64_t>(0, labelsRead + change));
    if (strings.grew()) {
        builtSst = strings.build(labelTotal);
    } else if (change != 0 && sstRecord != kNone) {
        // Same strings, other count of cells using them: only the SST header changes.
        const std::uint8_t* raw = stream.data() + records[sstRecord].offset;
        builtSst.assign(raw, raw + (records[sstEnd - 1].end() - records[sstRecord].offset));
        writeU32(builtSst.data() + 4, labelTotal);
    }

    std::vector<std::uint32_t> sheetStarts(sheets.size(), 0);
    std::vector<SheetCells::Layout> layouts(substreams.size());
    std::uint32_t sstStart = 0;
    const auto writeAll = [&](StreamSink& sink) {
        writeGlobals(sink, sheetStarts, builtSst, sstStart);
        for (std::size_t s = 1; s < substreams.size(); ++s) {
            const Substream& substream = substreams[s];
            if (substream.sheet >= 0) {
                auto& start = sheetStarts[static_cast<std::size_t>(substream.sheet)];
                if (sink.measuring())
                    start = sink.position();
                else
                    XLS_INVARIANT(start == sink.position());
            }
            const SheetCells* parsed =
                substream.sheet >= 0 ? cells[static_cast<std::size_t>(substream.sheet)].get() : nullptr;
            if (parsed && parsed->edited())
                parsed->write(sink, layouts[s]);
            else
                writeUnchangedSubstream(sink, substream);
        }
        sink.put(stream.data() + trailingBegin, stream.size() - trailingBegin);
    };

    StreamSink measure;
    writeAll(measure);
    // Every byte is written over: the buffer is not zeroed first.
    Stream out{std::make_unique_for_overwrite<std::uint8_t[]>(measure.position()), measure.position()};
    StreamSink writer(std::span(out.bytes.get(), out.size));
    writeAll(writer);
    XLS_INVARIANT(writer.position() == out.size);
    return out;
}

Workbook::Workbook(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Workbook::Workbook(Workbook&&) noexcept = default;
Workbook& Workbook::operator=(Workbook&&) noexcept = default;
Workbook::~Workbook() = default;

Workbook Workbook::open(const std::filesystem::path& path) {
    const std::string displayName = path.filename().string();
    const std::vector<std::uint8_t> bytes = readWholeFile(path, displayName);
    return fromBytes(bytes, displayName);
}

Workbook Workbook::fromBytes(std::span<const std::uint8_t> bytes, const std::string& displayName) {
    auto impl = std::make_unique<Impl>();
    impl->name = displayName;
    if (!hasCompoundSignature(bytes)) {
        // BIFF2-4 files are bare record streams that begin with their own BOF.
        if (bytes.size() >= 4) {
            switch (readU16(bytes.data())) {
            case kSidBofBiff2:
                throw XlsError(displayName + " was saved in an older spreadsheet format (BIFF2) that is not supported");
            case kSidBofBiff3:
                throw XlsError(displayName + " was saved in an older spreadsheet format (BIFF3) that is not supported");
            case kSidBofBiff4:
                throw XlsError(displayName + " was saved in an older spreadsheet format (BIFF4) that is not supported");
            default:
                break;
            }
        }
        throw XlsError(displayName + " is not a spreadsheet workbook");
    }
    impl->document = readCompoundDocument(bytes, displayName);
    // Readers look for "Workbook", then "Book" (the name older versions used), in any case of
    // their letters; which format the stream holds is told by its own BOF record, not by its name.
    CompoundEntry* workbook = impl->document.stream("Workbook");
    if (workbook == nullptr) workbook = impl->document.stream("Book");
    if (workbook == nullptr) throw XlsError(displayName + " is not a spreadsheet workbook");
    impl->document.workbookStreamName = workbook->name;
    impl->stream = std::move(workbook->data);
    workbook->data.clear();
    impl->parseStream();
    impl->parseGlobals();
    if (impl->sheets.empty()) impl->damaged("it lists no sheets");
    // The active sheet is the one every operation reads and writes: check its cells now.
    if (impl->substreams[impl->sheets[static_cast<std::size_t>(impl->active)].substream].kind == kBofWorksheet)
        impl->sheetCells(impl->active);
    return Workbook(std::move(impl));
}

const std::string& Workbook::displayName() const {
    return impl_->name;
}
int Workbook::sheetCount() const {
    return static_cast<int>(impl_->sheets.size());
}

std::string Workbook::sheetName(int sheet) const {
    impl_->checkCell(sheet, 0, 0);
    return impl_->sheets[static_cast<std::size_t>(sheet)].name;
}

int Workbook::activeSheet() const {
    return impl_->active;
}

CellValue Workbook::cell(int sheet, int row, int column) const {
    impl_->checkCell(sheet, row, column);
    return impl_->sheetCells(sheet).value(row, column, impl_->strings);
}

void Workbook::setCell(int sheet, int row, int column, const CellValue& value) {
    impl_->checkCell(sheet, row, column);
    if (value.kind == ValueKind::Text && value.text.empty()) {
        setCell(sheet, row, column, CellValue::empty());
        return;
    }
    if (value.kind == ValueKind::Text && utf8::toUtf16(value.text).size() > 32767)
        throw XlsError(impl_->name + ": the text for cell " + cellName(row, column)
                       + " is longer than a cell can hold (32767 characters)");
    int labelChange = 0;
    impl_->sheetCells(sheet).setValue(row, column, value, impl_->strings, labelChange);
    impl_->labelChange += labelChange;
}

void Workbook::setFill(int sheet, int row, int column, int colorIndex) {
    impl_->checkCell(sheet, row, column);
    if ((colorIndex < 1 || colorIndex > 56) && colorIndex != CellFormats::kNoFill)
        throw XlsError(impl_->name + ": colour index " + std::to_string(colorIndex)
                       + " is not one of the palette's colours (1 to 56)");
    SheetCells& cells = impl_->sheetCells(sheet);
    const std::uint16_t current = cells.format(row, column);
    const std::uint16_t wanted = impl_->formats.withFill(current, colorIndex, impl_->name);
    cells.setFormat(row, column, wanted);
}

void Workbook::setRowHeight(int sheet, int row, double points) {
    impl_->checkCell(sheet, row, 0);
    if (!std::isfinite(points) || points < 0 || points > 409.5)
        throw XlsError(impl_->name + ": a row height must lie between 0 and 409.5 points");
    SheetCells& cells = impl_->sheetCells(sheet);
    cells.setRowHeight(row, points == 0 ? -1 : static_cast<int>(std::lround(points * 20)));
}

SheetShown Workbook::shown(int sheet) const {
    impl_->checkCell(sheet, 0, 0);
    SheetShown shown;
    shown.name = impl_->sheets[static_cast<std::size_t>(sheet)].name;
    impl_->sheetCells(sheet).fillShown(shown, impl_->strings, impl_->formats);
    return shown;
}

int Workbook::cellFormatCount() const {
    return static_cast<int>(impl_->formats.count());
}

void Workbook::Impl::writeDocument(const DocumentBytes& use) const {
    const Stream built = workbookStream();
    writeCompoundDocument(document, std::span(built.bytes.get(), built.size), name, use);
}

std::vector<std::uint8_t> Workbook::toBytes() const {
    std::vector<std::uint8_t> bytes;
    impl_->writeDocument(
        [&](std::span<const std::uint8_t> document) { bytes.assign(document.begin(), document.end()); });
    return bytes;
}

// A save writes the file straight from the buffer the document was built in.
void Workbook::saveAs(const std::filesystem::path& path) const {
    impl_->writeDocument(
        [&](std::span<const std::uint8_t> document) { writeFileAtomically(path, document, path.filename().string()); });
}

void Workbook::saveAs(const std::filesystem::path& path, const BeforeReplace& beforeReplace) const {
    impl_->writeDocument([&](std::span<const std::uint8_t> document) {
        writeFileAtomically(path, document, path.filename().string(), beforeReplace);
    });
}

}  // namespace pellix::xls
