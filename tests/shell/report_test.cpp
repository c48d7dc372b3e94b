// `pellix --report` run as a program on a played copy of the sample folder: the PDF read back by
// poppler (every player's name and numbers in its text, every page painted), the CSV read back by
// Python's csv module, the archive's totals with a damaged game left out, and the failures that
// must not pass for a written report. data.xls is never written.

#include "shell/report.h"
#include "statistics_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace pellix {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kNames = {"佐藤　一郎", "=1+2", "-ゲスト", "Kim, \"Ace\"", "@石井"};
const std::vector<std::string> kTurns = {"123d........", "12c.4.......", "a2..34......", ".24.a3......",
                                         ".213.4......", "3b1.4.......", "1.2d.3......"};

// Runs the program; prints its exit code and what it said, then for a PDF the pages, whether each
// is painted, and every expected row (a line of fields apart by \x1f) not found on one line of
// the text; for a CSV the rows read back, fields apart by \x1f.
const char* const kCheck = R"(import csv, glob, os, subprocess, sys
program, out, expected_rows = sys.argv[1:4]
folder = sys.argv[4:]
runtime = os.path.join(os.path.dirname(expected_rows), 'runtime')
os.makedirs(runtime, mode=0o700, exist_ok=True)
# No display is needed; a desktop session has its runtime folder.
environment = dict(os.environ, XDG_RUNTIME_DIR=runtime)
environment.pop('DISPLAY', None)
environment.pop('QT_QPA_PLATFORM', None)
run = subprocess.run([program, '--report', out] + folder, capture_output=True, env=environment)
print('exit', run.returncode, '[' + run.stderr.decode().strip() + ']')
if run.returncode == 0 and out.endswith('.pdf'):
    text = subprocess.run(['pdftotext', '-layout', out, '-'], capture_output=True, check=True).stdout.decode()
    lines = [''.join(line.split()) for line in text.splitlines()]
    with open(expected_rows, encoding='utf-8') as rows:
        for row in rows.read().split('\n'):
            wanted = ''.join(''.join(row.split('\x1f')).split())
            if row and not any(wanted in line for line in lines):
                print('not in the text:', row.replace('\x1f', ' '))
    stem = out + '-page'
    subprocess.run(['pdftoppm', '-r', '24', out, stem], check=True)
    painted = []
    for page in sorted(glob.glob(stem + '*.ppm')):
        data = open(page, 'rb').read()
        _, size, _, pixels = data.split(b'\n', 3)
        dark = sum(1 for byte in pixels[::3] if byte < 200)
        painted.append(dark * 100 > len(pixels) // 3)
    print('pages', len(painted), 'painted', all(painted))
if run.returncode == 0 and out.endswith('.csv'):
    with open(out, encoding='utf-8-sig', newline='') as table:
        print('\x1e'.join('\x1f'.join(row) for row in csv.reader(table)))
)";

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/pdftotext") || !fs::exists("/usr/bin/pdftoppm"))
            GTEST_SKIP() << "poppler-utils is not installed";
        testing::writeEvening(folder.dataPath(), kNames, kTurns);
        before = testing::readFile(folder.dataPath());
        const xls::Workbook book = xls::Workbook::open(folder.dataPath());
        table = computeStats(ShownRecord(book.shown(book.activeSheet())));
        testing::writeFile(scratch / "check.py", kCheck);
    }

    std::string check(const fs::path& out, const std::string& expectedRows, std::vector<std::string> folderArgument) {
        testing::writeFile(scratch / "rows.txt", expectedRows);
        std::vector<std::string> arguments = {PELLIX_PROGRAM, out.string(), (scratch / "rows.txt").string()};
        arguments.insert(arguments.end(), folderArgument.begin(), folderArgument.end());
        return testing::pythonOutput(scratch / "check.py", arguments);
    }

    // The table's rows as the PDF's table lays them out: number, name, then the numbers.
    std::string pdfRows(const StatsTable& shown) const {
        std::string rows;
        for (const PlayerStats& s : shown.players) {
            rows += std::to_string(s.player) + "\x1f" + s.name;
            for (int number : {s.onCourt, s.named, s.lostAtOnce, s.longestStreak, s.longestWait})
                rows += "\x1f" + std::to_string(number);
            rows += "\n";
        }
        return rows;
    }

    testing::ProgramFolder folder;
    testing::ScratchFolder scratch;
    std::string before;
    StatsTable table;
};

TEST_F(Report, ThePdfHoldsEveryPlayerAndEveryPageIsPainted) {
    const std::string rows = pdfRows(table) + "記録された節\x1f" "7\n最長連勝\x1f" "5 連勝\x1f" "2 =1+2\n";
    EXPECT_EQ(check(scratch / "report.pdf", rows, {folder.path().string()}), "exit 0 []\npages 2 painted True\n");

    // The sample folder as it is installed, before the first turn: the table and the bars only.
    const testing::ProgramFolder sample;
    const std::string sampleBefore = testing::readFile(sample.dataPath());
    const std::string row = "1\x1f佐藤　一郎\x1f" "0\x1f" "0\x1f" "0\x1f" "0\x1f" "0\n記録された節\x1f" "0\n";
    EXPECT_EQ(check(scratch / "sample.pdf", row, {sample.path().string()}), "exit 0 []\npages 1 painted True\n");
    EXPECT_EQ(testing::readFile(sample.dataPath()), sampleBefore);

    // With archived games: a third page of totals, the damaged game named and left out.
    fs::create_directory(folder / "archive");
    fs::copy_file(folder.dataPath(), folder / "archive" / "data-20261201-210000.xls");
    testing::writeFile(folder / "archive" / "data-20261202-210000.xls", before.substr(0, 2000));
    EXPECT_EQ(check(scratch / "totals.pdf", rows + "試合\x1f" "2\x1f節\x1f" "14\n佐藤　一郎\x1f" "2\x1f" "10\n",
                    {folder.path().string()}),
              "exit 0 [pellix: left out of the totals: data-20261202-210000.xls is damaged: "
              "its compound document's allocation table list is cut short]\npages 3 painted True\n");
    EXPECT_EQ(testing::readFile(folder.dataPath()), before);
}

// The CSV's rows and quoting are the statistics tests' and pellix-xls's (read back by the csv
// module there too); here the program writes it, with its byte order mark.
TEST_F(Report, TheCsvIsWrittenWithItsByteOrderMark) {
    EXPECT_TRUE(check(scratch / "report.csv", "", {folder.path().string()}).starts_with("exit 0 []\nplayer\x1fname"));
    EXPECT_EQ(testing::readFile(scratch / "report.csv").substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(Report, FailuresAreReportedAndLeaveNoFile) {
    const std::string folderPath = folder.path().string();
    const std::tuple<const char*, fs::path, std::vector<std::string>, std::string> cases[] = {
        {"a folder without data.xls",
         scratch / "a.pdf",
         {(scratch / "nowhere").string()},
         "exit 1 [pellix: cannot open data.xls: No such file or directory (in " + (scratch / "nowhere").string()
             + ")]\n"},
        {"a folder that cannot be written",
         scratch / "missing" / "a.csv",
         {folderPath},
         "exit 1 [pellix: cannot save a.csv: No such file or directory]\n"},
        {"neither PDF nor CSV",
         scratch / "a.txt",
         {folderPath},
         "exit 1 [pellix: a.txt: a report is written as .pdf or .csv]\n"},
        {"two folders",
         scratch / "a.pdf",
         {folderPath, folderPath},
         "exit 2 [usage: pellix --report OUT.pdf|OUT.csv [FOLDER]]\n"},
    };
    for (const auto& [name, out, folderArgument, expected] : cases) {
        EXPECT_EQ(check(out, "", folderArgument), expected) << name;
        EXPECT_FALSE(fs::exists(out)) << name;
    }
    EXPECT_EQ(testing::readFile(folder.dataPath()), before);
}

}  // namespace
}  // namespace pellix
