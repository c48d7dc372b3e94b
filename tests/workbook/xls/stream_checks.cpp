#include "stream_checks.h"

#include "workbook/xls/byte_order.h"
#include "workbook/xls/cell_formats.h"
#include "workbook/xls/compound_document.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <unistd.h>

namespace pellix::xls::testing {

std::vector<std::uint8_t> workbookStreamOf(const std::vector<std::uint8_t>& file)
{
    CompoundDocument document = readCompoundDocument(file, "saved.xls");
    CompoundEntry* workbook = document.stream("Workbook");
    if (workbook == nullptr)
        workbook = document.stream("Book");
    return workbook ? workbook->data : std::vector<std::uint8_t>{};
}

std::filesystem::path scratchFile(const std::string& name, const std::vector<std::uint8_t>& content)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("pellix-scratch-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    return folder / name;
}

std::string xlrdDifferences(const std::filesystem::path& original, const std::filesystem::path& saved,
                            const std::vector<std::string>& edited)
{
    const std::filesystem::path report = saved.string() + ".report";
    std::string command = "/usr/bin/python3 '" PELLIX_XLRD_COMPARE "' '" + original.string() + "' '" + saved.string() + "'";
    for (const std::string& place : edited)
        command += " " + place;
    command += " > '" + report.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(report);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    return status == 0 ? std::string() : "exit " + std::to_string(status) + ": " + text;
}

std::vector<RawRecord> recordsOf(const std::vector<std::uint8_t>& stream)
{
    std::vector<RawRecord> records;
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        const std::uint16_t size = readU16(stream.data() + at + 2);
        if (at + 4 + size > stream.size())
            break;
        records.push_back({static_cast<std::uint32_t>(at), readU16(stream.data() + at),
                           std::vector<std::uint8_t>(stream.begin() + at + 4, stream.begin() + at + 4 + size)});
        at += 4 + size;
    }
    return records;
}

namespace {

bool isCell(std::uint16_t type)
{
    switch (type) {
    case 0x0006: case 0x0203: case 0x027E: case 0x00BD: case 0x00FD: case 0x0204: case 0x00D6:
    case 0x0201: case 0x00BE: case 0x0205:
        return true;
    default:
        return false;
    }
}

int lastColumnOf(const RawRecord& record)
{
    const int first = readU16(record.data.data() + 2);
    if (record.type == 0x00BD)
        return first + static_cast<int>((record.data.size() - 6) / 6) - 1;
    if (record.type == 0x00BE)
        return first + static_cast<int>((record.data.size() - 6) / 2) - 1;
    return first;
}

// String starts in the SST as (absolute offset, header offset of the record holding it).
std::vector<std::pair<std::uint32_t, std::uint32_t>> stringStarts(const std::vector<RawRecord>& records, std::size_t sst,
                                                                  std::vector<std::string>& problems)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> starts;
    std::size_t record = sst;
    std::size_t at = 8;
    const std::size_t end = [&] {
        std::size_t e = sst + 1;
        while (e < records.size() && records[e].type == 0x003C)
            ++e;
        return e;
    }();
    const auto left = [&] { return records[record].data.size() - at; };
    const auto next = [&] {
        ++record;
        at = 0;
        return record < end;
    };
    const auto skip = [&](std::size_t count) {
        while (count > 0) {
            if (left() == 0 && !next())
                return false;
            const std::size_t take = std::min(count, left());
            at += take;
            count -= take;
        }
        return true;
    };
    const std::uint32_t unique = readU32(records[sst].data.data() + 4);
    for (std::uint32_t i = 0; i < unique; ++i) {
        if (left() == 0 && !next()) {
            problems.push_back("SST ends before string " + std::to_string(i));
            return starts;
        }
        starts.emplace_back(records[record].offset + 4 + static_cast<std::uint32_t>(at), records[record].offset);
        std::uint8_t header[3];
        for (std::uint8_t& byte : header) {
            if (left() == 0 && !next())
                return starts;
            byte = records[record].data[at++];
        }
        std::size_t characters = readU16(header);
        bool wide = header[2] & 1;
        std::size_t extra = 0;
        if (header[2] & 0x08) {
            std::uint8_t runs[2] = {records[record].data[at], records[record].data[at + 1]};
            skip(2);
            extra += 4 * readU16(runs);
        }
        if (header[2] & 0x04) {
            extra += readU32(records[record].data.data() + at);
            skip(4);
        }
        while (characters > 0) {
            if (left() == 0) {
                if (!next())
                    return starts;
                wide = records[record].data[at++] & 1;
                continue;
            }
            const std::size_t take = std::min(characters, left() / (wide ? 2 : 1));
            if (take == 0) {
                problems.push_back("string " + std::to_string(i) + " splits inside a character");
                return starts;
            }
            at += take * (wide ? 2 : 1);
            characters -= take;
        }
        skip(extra);
    }
    return starts;
}

void checkSheet(const std::vector<RawRecord>& records, std::size_t begin, std::size_t end, const std::string& label,
                std::vector<std::string>& problems)
{
    std::map<std::uint32_t, std::size_t> byOffset;
    for (std::size_t i = begin; i < end; ++i)
        byOffset[records[i].offset] = i;
    std::vector<int> rowNumbers;
    std::int64_t lastCell = -1;
    std::set<int> blockRows;
    std::vector<std::size_t> blockRowRecords;
    std::vector<std::size_t> blockCells;
    int depth = 0;
    std::uint32_t maxRow = 0, maxColumn = 0, minRow = UINT32_MAX, minColumn = UINT32_MAX;
    bool anyCell = false;
    const RawRecord* index = nullptr;
    const RawRecord* dimensions = nullptr;
    for (std::size_t i = begin; i < end; ++i) {
        const RawRecord& record = records[i];
        if (record.type == 0x0809) {
            ++depth;
            continue;
        }
        if (record.type == 0x000A) {
            --depth;
            continue;
        }
        if (depth != 1)
            continue;
        if (record.type == 0x020B)
            index = &record;
        if (record.type == 0x0200)
            dimensions = &record;
        if (record.type == 0x0208) {
            const int row = readU16(record.data.data());
            if (!blockCells.empty())
                problems.push_back(label + ": ROW " + std::to_string(row) + " after the cells of its block");
            if (!rowNumbers.empty() && row <= rowNumbers.back())
                problems.push_back(label + ": ROW " + std::to_string(row) + " out of order");
            rowNumbers.push_back(row);
            blockRowRecords.push_back(i);
        } else if (isCell(record.type)) {
            const int row = readU16(record.data.data());
            const int column = readU16(record.data.data() + 2);
            const std::int64_t key = static_cast<std::int64_t>(row) * 65536 + column;
            if (key <= lastCell)
                problems.push_back(label + ": cell " + std::to_string(row) + "," + std::to_string(column) + " out of order");
            lastCell = static_cast<std::int64_t>(row) * 65536 + lastColumnOf(record);
            blockCells.push_back(i);
            anyCell = true;
            minRow = std::min<std::uint32_t>(minRow, row);
            maxRow = std::max<std::uint32_t>(maxRow, row);
            minColumn = std::min<std::uint32_t>(minColumn, column);
            maxColumn = std::max<std::uint32_t>(maxColumn, lastColumnOf(record));
            if (record.type == 0x0006 && readU16(record.data.data() + 12) == 0xFFFF && record.data[6] == 0) {
                std::size_t next = i + 1;
                while (next < end && (records[next].type == 0x04BC || records[next].type == 0x0221 || records[next].type == 0x0236))
                    ++next;
                if (next >= end || records[next].type != 0x0207)
                    problems.push_back(label + ": text formula without its STRING record");
            }
        } else if (record.type == 0x00D7) {
            if (blockRowRecords.empty()) {
                problems.push_back(label + ": DBCELL without rows");
                continue;
            }
            const std::uint32_t firstRow = records[blockRowRecords.front()].offset;
            if (readU32(record.data.data()) != record.offset - firstRow)
                problems.push_back(label + ": a DBCELL has a wrong dbRtrw");
            // Recompute the per-row offsets from the records themselves.
            std::vector<std::uint16_t> expected;
            const std::uint32_t rowsEnd = records[blockRowRecords.back()].offset + 20;
            expected.push_back(static_cast<std::uint16_t>(rowsEnd - (firstRow + 20)));
            std::uint32_t previous = rowsEnd;
            for (std::size_t r = 1; r < blockRowRecords.size(); ++r) {
                const int row = readU16(records[blockRowRecords[r]].data.data());
                std::uint32_t start = record.offset;
                for (std::size_t c : blockCells)
                    if (readU16(records[c].data.data()) >= row) {
                        start = records[c].offset;
                        break;
                    }
                expected.push_back(static_cast<std::uint16_t>(start - previous));
                previous = start;
            }
            std::vector<std::uint16_t> actual;
            for (std::size_t k = 4; k + 2 <= record.data.size(); k += 2)
                actual.push_back(readU16(record.data.data() + k));
            if (actual != expected)
                problems.push_back(label + ": a DBCELL has wrong row offsets");
            for (std::size_t c : blockCells)
                if (readU16(records[c].data.data()) / 32 != readU16(records[blockRowRecords.front()].data.data()) / 32)
                    problems.push_back(label + ": a cell sits in the wrong row block");
            blockRowRecords.clear();
            blockCells.clear();
        }
    }
    if (index != nullptr) {
        const auto& data = index->data;
        std::set<int> blocks;
        for (int row : rowNumbers)
            blocks.insert(row / 32);
        if ((data.size() - 16) / 4 != blocks.size())
            problems.push_back(label + ": INDEX lists " + std::to_string((data.size() - 16) / 4) + " blocks, the sheet has "
                               + std::to_string(blocks.size()));
        for (std::size_t k = 16; k + 4 <= data.size(); k += 4) {
            auto found = byOffset.find(readU32(data.data() + k));
            if (found == byOffset.end() || records[found->second].type != 0x00D7)
                problems.push_back(label + ": INDEX points at no DBCELL");
        }
        auto defColWidth = byOffset.find(readU32(data.data() + 12));
        if (defColWidth == byOffset.end() || records[defColWidth->second].type != 0x0055)
            problems.push_back(label + ": INDEX ibXF points at no DEFCOLWIDTH");
        if (!rowNumbers.empty() && (readU32(data.data() + 4) != static_cast<std::uint32_t>(rowNumbers.front())
                                    || readU32(data.data() + 8) != static_cast<std::uint32_t>(rowNumbers.back() + 1)))
            problems.push_back(label + ": INDEX row range differs from the ROW records");
    }
    if (dimensions != nullptr && dimensions->data.size() == 14 && anyCell) {
        const auto& d = dimensions->data;
        if (readU32(d.data()) > minRow || readU32(d.data() + 4) <= maxRow || readU16(d.data() + 8) > minColumn
            || readU16(d.data() + 10) <= maxColumn)
            problems.push_back(label + ": DIMENSIONS do not cover every cell");
    }
}

}  // namespace

std::vector<std::string> streamProblems(const std::vector<std::uint8_t>& stream, bool checkXfCrc)
{
    std::vector<std::string> problems;
    const std::vector<RawRecord> records = recordsOf(stream);
    std::size_t total = 0;
    for (const RawRecord& record : records) {
        total += 4 + record.data.size();
        if (record.data.size() > 8224)
            problems.push_back("record " + std::to_string(record.type) + " longer than 8224 bytes");
    }
    std::map<std::uint32_t, std::size_t> byOffset;
    for (std::size_t i = 0; i < records.size(); ++i)
        byOffset[records[i].offset] = i;

    std::vector<XfBytes> xfs;
    std::size_t sst = SIZE_MAX;
    const RawRecord* extSst = nullptr;
    const RawRecord* xfCrc = nullptr;
    std::size_t labels = 0;
    std::vector<std::pair<std::string, std::uint32_t>> sheets;
    std::size_t globalsEnd = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RawRecord& record = records[i];
        if (globalsEnd == 0) {
            if (record.type == 0x000A)
                globalsEnd = i + 1;
            else if (record.type == 0x00E0 && record.data.size() >= 20) {
                XfBytes xf;
                std::copy_n(record.data.begin(), 20, xf.begin());
                xfs.push_back(xf);
            } else if (record.type == 0x087C)
                xfCrc = &record;
            else if (record.type == 0x00FC)
                sst = i;
            else if (record.type == 0x00FF)
                extSst = &record;
            else if (record.type == 0x0085)
                sheets.emplace_back(std::string(record.data.begin() + 8, record.data.end()), readU32(record.data.data()));
        } else if (record.type == 0x00FD) {
            ++labels;
        }
    }
    for (const auto& [name, start] : sheets) {
        auto found = byOffset.find(start);
        if (found == byOffset.end() || records[found->second].type != 0x0809) {
            problems.push_back("sheet " + name + " does not start at a BOF");
            continue;
        }
        int depth = 0;
        std::size_t end = found->second;
        for (; end < records.size(); ++end) {
            if (records[end].type == 0x0809)
                ++depth;
            else if (records[end].type == 0x000A && --depth == 0)
                break;
        }
        if (records[found->second].data.size() >= 4 && readU16(records[found->second].data.data() + 2) == 0x0010)
            checkSheet(records, found->second, end + 1, name, problems);
    }
    if (checkXfCrc && xfCrc != nullptr
        && (readU16(xfCrc->data.data() + 14) != xfs.size() || readU32(xfCrc->data.data() + 16) != CellFormats::checksum(xfs)))
        problems.push_back("XFCRC does not match the XF list");
    if (sst != SIZE_MAX) {
        const auto starts = stringStarts(records, sst, problems);
        if (readU32(records[sst].data.data()) != labels)
            problems.push_back("SST counts " + std::to_string(readU32(records[sst].data.data())) + " labels, the sheets hold "
                               + std::to_string(labels));
        if (extSst != nullptr && !starts.empty()) {
            const std::size_t perBucket = readU16(extSst->data.data());
            for (std::size_t b = 0; 2 + 8 * b + 8 <= extSst->data.size(); ++b) {
                const std::size_t first = b * perBucket;
                if (first >= starts.size())
                    break;
                if (readU32(extSst->data.data() + 2 + 8 * b) != starts[first].first
                    || readU16(extSst->data.data() + 6 + 8 * b) != starts[first].first - starts[first].second)
                    problems.push_back("EXTSST bucket " + std::to_string(b) + " points at the wrong place");
            }
        }
    }
    return problems;
}

}  // namespace pellix::xls::testing
