// `pellix-xls records`: the record list of a real workbook, checked on a few lines of each kind
// the engine decodes.

#include "kit.h"

#include "workbook/xls/record_dump.h"

#include <algorithm>

namespace pellix::xls::testing {
namespace {

TEST(Records, ListTheWorkbookStreamWithNamesAndDecodes) {
    const auto lines =
        dumpRecords(pellix::testing::readBytes(std::filesystem::path(PELLIX_CORPUS_DIR) / "libxls__test2.xls"),
                    "libxls__test2.xls");
    for (const char* expected :
         {"0\t0809 BOF\t16\tversion=0600 kind=globals", "226\t003D WINDOW1\t18\tactive sheet 1",
          "2026\t00E0 XF\t20\tfont=1 format=168 fill=0 colour=64",
          "2242\t0085 BOUNDSHEET\t14\tsheet \"Sheet2\" at 6031", "2298\t00FC SST\t310\tcells=43 strings=32",
          "2679\t0809 BOF\t16\tversion=0600 kind=worksheet", "3799\t0200 DIMENSIONS\t14\tA1:K24",
          "3957\t0208 ROW\t16\trow 8 cells A-K height=255 custom", "4311\t00FD LABELSST\t10\tB1 xf=15 string=16",
          "4451\t027E RK\t10\tA2 xf=15 2", "5847\t0207 STRING\t22\t\"The quick brown fox\"",
          "5873\t0006 FORMULA\t29\tD24 xf=15 = 2", "5906\t00D7 DBCELL\t52\tfirst row 2089 bytes back, 24 rows"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    EXPECT_EQ(lines.back(), "6545\t000A EOF\t0");
    // An empty label, the shortest there is.
    const auto label = dumpRecords(buildFile({.sheets = {{.cells = {cell(kSidLabel, 0, 0, ustr(u""))}}}}), "x.xls");
    EXPECT_NE(std::find(label.begin(), label.end(), "658\t0204 LABEL\t9\tA1 xf=15 \"\""), label.end());
}

}  // namespace
}  // namespace pellix::xls::testing
