// The workbook load at start-up: token pictures, the titles and court pictures, the next turn and
// the titles banner. It only reads; every step that fails is skipped and the next one runs.

#include "workbook/cell_map.h"
#include "workbook/score_routines.h"
#include "workbook/xl_app.h"
#include "workbook/xls/cell_text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>

namespace pellix {

// Pieces separated by their exact runs of ASCII spaces and ideographic spaces (U+3000, "\u3000").
const char* const kTitlesBanner =
    "             "
    "＜各種称号＞"
    "\u3000"
    "QVN System 最強タッグ(side win)"
    "\u3000  \u3000\u3000\u3000"
    "最多勝利選手(win)"
    "\u3000 \u3000\u3000   \u3000"
    "最多カモン回数(kill)"
    "\u3000\u3000     \u3000"
    "最長生存記録(max)"
    "\u3000\u3000       "
    "スペランカー(miss + die)";

namespace {

// What a cell's value reads as when joined to a path: text as it is, a number as it is shown.
std::optional<std::string> asText(const CellValue& value) {
    switch (value.kind) {
    case ValueKind::Text:
        return value.text;
    case ValueKind::Number:
        return xls::numberText(value.number);
    default:
        return std::nullopt;
    }
}


// The picture a workbook names, in the image folder. The names were written on a system that
// ignores letter case and separates folders with backslashes: honour both.
std::filesystem::path picturePath(const std::filesystem::path& imageFolder, std::string name) {
    for (char& c : name) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::filesystem::path exact = imageFolder / name;
    std::error_code error;
    if (std::filesystem::exists(exact, error) || name.find('/') != std::string::npos) {
        return exact;
    }
    const auto lower = [](std::string text) {
        for (char& c : text) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return text;
    };
    const std::string wanted = lower(name);
    for (const auto& entry : std::filesystem::directory_iterator(imageFolder, error)) {
        if (lower(entry.path().filename().string()) == wanted) {
            return entry.path();
        }
    }
    return exact;
}

template <typename Step>
void skipOnFailure(Step&& step) {
    try {
        step();
    } catch (...) {
        // Skipped without a message: the load shows what it can.
    }
}

}  // namespace

void LoadSheet(ScoreContext& context) {
    ScoreHost& host = context.host;
    XlApp* xlApp = context.xlApp;
    const std::filesystem::path folder = context.DataPath.parent_path();
    const std::filesystem::path imageFolder = folder / "image";

    XlBook* xlBook = nullptr;
    skipOnFailure([&] {
        if (xlApp) {
            xlBook = &xlApp->Application().Workbooks().Open(context.DataPath);
        }
    });

    // Without a workbook there is no sheet to read, so the reading steps fail as well.
    for (int k = 1; k <= cellmap::kPlayers; ++k) {
        skipOnFailure([&] {
            if (!xlBook) {
                return;
            }
            const std::optional<std::string> name =
                asText(xlApp->cells(cellmap::pictureRow(k), cellmap::kPictureColumn).Value());
            if (!name || name->empty()) {
                return;
            }
            host.setTokenPicture(k, picturePath(imageFolder, *name));
        });
    }
    skipOnFailure([&] { host.setQvnPicture(folder / "QVN.bmp"); });
    skipOnFailure([&] { host.setCourtPicture(imageFolder / "CourtFrame.gif"); });
    skipOnFailure([&] {
        if (!xlBook) {
            return;
        }
        if (const std::optional<double> last =
                asNumber(xlApp->cells(cellmap::kTurnRow, cellmap::kTurnColumn).Value())) {
            host.setTurnText(xls::numberText(*last + 1));
        }
    });
    skipOnFailure([&] { host.setPrizeCaption(kTitlesBanner); });
    skipOnFailure([&] {
        if (xlBook) {
            xlBook->Close();
        }
    });
}

}  // namespace pellix
