// Compound documents that a forgiving reader opens although their tables say more than they
// should: a chain that runs on past its stream's end into another stream's sectors, a header
// that claims more allocation sectors than the file holds. Each opens when every stream can
// still be read whole and unambiguously, is saved as a clean container that xlrd reads as the
// original, and is refused, saying where, when it cannot.

#include "biff_builder.h"
#include "stream_checks.h"

#include "workbook/xls/byte_order.h"
#include "workbook/xls/workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace pellix::xls {
namespace {

using namespace testing;

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;

// The tables of a version 3 file (512-byte sectors) as libgsf writes it, read plainly.
class Container {
public:
    explicit Container(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}

    std::size_t fatEntry(std::uint32_t sector) const
    {
        return offset(readU32(bytes.data() + 0x4C + 4 * (sector / 128))) + 4 * (sector % 128);
    }
    std::uint32_t next(std::uint32_t sector) const { return readU32(bytes.data() + fatEntry(sector)); }
    std::vector<std::uint32_t> chain(std::uint32_t start) const
    {
        std::vector<std::uint32_t> sectors;
        for (std::uint32_t s = start; s != kEndOfChain && sectors.size() < 100000; s = next(s))
            sectors.push_back(s);
        return sectors;
    }
    std::size_t miniFatEntry(std::uint32_t miniSector) const
    {
        const auto sectors = chain(readU32(bytes.data() + 0x3C));
        return offset(sectors[miniSector / 128]) + 4 * (miniSector % 128);
    }
    std::vector<std::uint32_t> miniChain(std::uint32_t start) const
    {
        std::vector<std::uint32_t> sectors;
        for (std::uint32_t s = start; s != kEndOfChain && sectors.size() < 100000; s = readU32(bytes.data() + miniFatEntry(s)))
            sectors.push_back(s);
        return sectors;
    }
    // Start sector of the directory entry whose name begins with `name` (ASCII).
    std::uint32_t start(const std::string& name) const
    {
        for (std::uint32_t sector : chain(readU32(bytes.data() + 0x30)))
            for (std::size_t at = offset(sector); at < offset(sector) + 512; at += 128) {
                bool same = true;
                for (std::size_t i = 0; i < name.size(); ++i)
                    same = same && readU16(bytes.data() + at + 2 * i) == static_cast<std::uint8_t>(name[i]);
                if (same && bytes[at + 0x42] == 2)
                    return readU32(bytes.data() + at + 0x74);
            }
        ADD_FAILURE() << "no stream " << name;
        return 0;
    }
    void set(std::size_t at, std::uint32_t value) { writeU32(bytes.data() + at, value); }

    std::vector<std::uint8_t> bytes;

private:
    static std::size_t offset(std::uint32_t sector) { return (std::size_t{sector} + 1) * 512; }
};

// A workbook whose stream takes `cells` numbers in column A (each NUMBER record 18 bytes).
std::vector<std::uint8_t> bookWith(int cells)
{
    BookSpec book;
    for (int row = 0; row < cells; ++row)
        book.sheets[0].cells.push_back(numberCell(row, 0, 15, row + 0.5));
    return buildFile(book);
}

struct ContainerCase {
    const char* name;
    int cells;
    std::function<void(Container&)> damage;
    const char* refusal;  // null: opens
};

TEST(DamagedContainers, ReadableOnesOpenAndSaveCleanAndTheOthersAreRefused)
{
    const std::vector<ContainerCase> cases = {
        {"Workbook chain runs on past its end into the VBA stream", 400,
         [](Container& c) {
             const auto workbook = c.chain(c.start("Workbook"));
             c.set(c.fatEntry(workbook.back()), c.start("VBA"));
         },
         nullptr},
        {"VBA chain runs on past its end into the Workbook", 400,
         [](Container& c) {
             const auto vba = c.chain(c.start("VBA"));
             c.set(c.fatEntry(vba.back()), c.start("Workbook"));
         },
         nullptr},
        {"small stream's mini chain runs on into the Workbook's mini sectors", 20,
         [](Container& c) {
             const auto summary = c.miniChain(c.start("\x05Summary"));
             c.set(c.miniFatEntry(summary.back()), c.start("Workbook"));
         },
         nullptr},
        {"Workbook chain jumps into the VBA stream before its end", 400,
         [](Container& c) {
             const auto workbook = c.chain(c.start("Workbook"));
             c.set(c.fatEntry(workbook[workbook.size() - 3]), c.start("VBA"));
         },
         "data.xls is damaged: the chain of the stream \""},
        {"allocation count larger than the file", 400, [](Container& c) { c.set(0x2C, 0x00800001); }, nullptr},
        {"allocation list count larger than the file", 400, [](Container& c) { c.set(0x48, 0x7FFFFFF0); }, nullptr},
        {"allocation count larger than the file, and the list cut short", 4000,
         [](Container& c) {
             c.set(0x2C, 0x00800002);
             c.set(0x4C + 4, kFreeSector);
         },
         "data.xls is damaged: its compound document claims more allocation sectors than the file holds"},
    };
    for (const ContainerCase& c : cases) {
        SCOPED_TRACE(c.name);
        Container container(bookWith(c.cells));
        c.damage(container);
        const std::vector<std::uint8_t>& damaged = container.bytes;
        if (c.refusal != nullptr) {
            try {
                Workbook::fromBytes(damaged, "data.xls");
                ADD_FAILURE() << "opened";
            } catch (const XlsError& error) {
                EXPECT_THAT(std::string(error.what()), ::testing::StartsWith(c.refusal));
                EXPECT_THAT(std::string(error.what()), ::testing::AnyOf(::testing::HasSubstr("(sector "),
                                                                        ::testing::HasSubstr("than the file holds")));
            }
            continue;
        }
        Workbook workbook = Workbook::fromBytes(damaged, "data.xls");
        EXPECT_EQ(workbook.cell(0, c.cells - 1, 0), CellValue::ofNumber(c.cells - 0.5));
        workbook.setCell(0, 18, 1, CellValue::ofNumber(7));
        const auto saved = workbook.toBytes();
        EXPECT_EQ(Workbook::fromBytes(saved, "data.xls").cell(0, 18, 1), CellValue::ofNumber(7));
        EXPECT_EQ(xlrdDifferences(scratchFile("damaged.xls", damaged), scratchFile("saved.xls", saved), {"B19"}), "");
    }
}

}  // namespace
}  // namespace pellix::xls
