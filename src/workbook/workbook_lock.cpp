#include "workbook/workbook_lock.h"

#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <system_error>

namespace pellix {

namespace {

std::string readSmallFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    char buffer[512];
    in.read(buffer, sizeof buffer);
    bytes.assign(buffer, static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// ",Full Name,login,host,date,profile;" as LibreOffice writes it.
std::string holderFromOfficeLock(const std::string& content) {
    std::string fields[2];
    std::size_t field = 0;
    for (char c : content) {
        if (c == ',') {
            if (++field >= 2) break;
            continue;
        }
        if (c == ';' || c == '\n') break;
        fields[field] += c;
    }
    return !fields[0].empty() ? fields[0] : fields[1];
}

// The owner file of the other office suite: a length byte and the user's name in the ANSI code
// page, later the same name in UTF-16 after a 16-bit length. Only ASCII is trusted from either.
std::string holderFromOwnerFile(const std::string& content) {
    auto ascii = [](std::string name) {
        for (char c : name)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return std::string();
        return name;
    };
    if (content.size() >= 0x39) {
        const std::size_t length =
            static_cast<unsigned char>(content[0x37]) | (static_cast<unsigned char>(content[0x38]) << 8);
        if (length > 0 && length <= 54 && content.size() >= 0x39 + 2 * length) {
            std::string name;
            bool plain = true;
            for (std::size_t i = 0; i < length; ++i) {
                const unsigned low = static_cast<unsigned char>(content[0x39 + 2 * i]);
                const unsigned high = static_cast<unsigned char>(content[0x3A + 2 * i]);
                if (high != 0) plain = false;
                name += static_cast<char>(low);
            }
            if (plain && !ascii(name).empty()) return name;
        }
    }
    if (!content.empty()) {
        const std::size_t length = static_cast<unsigned char>(content[0]);
        if (length > 0 && length < content.size()) return ascii(content.substr(1, length));
    }
    return {};
}

// When a file was last written, in local time; empty when that cannot be told.
std::string writtenAt(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) return {};
    std::tm local{};
    if (!::localtime_r(&status.st_mtime, &local)) return {};
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) ? std::string(text) : std::string();
}

}  // namespace

std::string lockMessage(const WorkbookLock& lock) {
    std::string text = "data.xls は別のプログラムで開かれています";
    if (!lock.holder.empty() || !lock.since.empty())
        text += "（" + lock.holder + (lock.holder.empty() || lock.since.empty() ? "" : "、") + lock.since + " から）";
    text +=
        "。そのプログラムで data.xls を閉じてから、もう一度操作してください。\n"
        "(lock file "
        + lock.lockFile.filename().string() + ")";
    return text;
}

std::optional<WorkbookLock> findWorkbookLock(const std::filesystem::path& workbook) {
    const std::filesystem::path folder = workbook.parent_path();
    const std::string name = workbook.filename().string();
    std::error_code error;
    const std::filesystem::path officeLock = folder / (".~lock." + name + "#");
    if (std::filesystem::exists(officeLock, error))
        return WorkbookLock{officeLock,
                            "LibreOffice" + [&] {
                                const std::string holder = holderFromOfficeLock(readSmallFile(officeLock));
                                return holder.empty() ? std::string() : ", " + holder;
                            }(),
                            writtenAt(officeLock)};
    const std::filesystem::path ownerFile = folder / ("~$" + name);
    if (std::filesystem::exists(ownerFile, error)) {
        const std::string holder = holderFromOwnerFile(readSmallFile(ownerFile));
        return WorkbookLock{ownerFile, holder, writtenAt(ownerFile)};
    }
    return std::nullopt;
}

}  // namespace pellix
