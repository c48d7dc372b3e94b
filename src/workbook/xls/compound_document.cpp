#include "workbook/xls/compound_document.h"

#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "files/xls_error.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <cstring>
#include <memory>
#include <mutex>

namespace pellix::xls {

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr int kMaxStorageDepth = 64;

// libgsf reports damage it works around (cycles, cut files, short chains) only as GLib log
// messages. While a read or write runs, the messages of its domains are counted, not printed.
thread_local int* gsfMessageCount = nullptr;
thread_local std::string* gsfFirstMessage = nullptr;

void countGsfMessage(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
    if (gsfMessageCount == nullptr) {
        g_log_default_handler(domain, level, message, nullptr);
        return;
    }
    if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
        if (*gsfMessageCount == 0 && gsfFirstMessage != nullptr && message != nullptr) *gsfFirstMessage = message;
        ++*gsfMessageCount;
    }
}

void initialiseGsf() {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        const auto levels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
        for (const char* domain : {"libgsf:msole", "libgsf", "GLib-GObject", "GLib"})
            g_log_set_handler(domain, levels, countGsfMessage, nullptr);
        g_log_set_handler(nullptr, levels, countGsfMessage, nullptr);
    });
}

class MessageCounter {
public:
    MessageCounter() {
        initialiseGsf();
        gsfMessageCount = &count_;
        gsfFirstMessage = &first_;
    }
    ~MessageCounter() {
        gsfMessageCount = nullptr;
        gsfFirstMessage = nullptr;
    }
    MessageCounter(const MessageCounter&) = delete;
    MessageCounter& operator=(const MessageCounter&) = delete;
    int count() const { return count_; }
    const std::string& first() const { return first_; }

private:
    int count_ = 0;
    std::string first_;
};

template <typename T>
struct GObjectDeleter {
    void operator()(T* object) const {
        if (object != nullptr) g_object_unref(object);
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

bool writeChildren(GsfOutfile* parent, const std::vector<CompoundEntry>& children,
                   std::span<const std::uint8_t> workbookStream, const std::string* workbookName) {
    for (const CompoundEntry& entry : children) {
        GDateTime* modified = nullptr;
        if (entry.hasModtime) {
            GDateTime* seconds = g_date_time_new_from_unix_utc(entry.modtimeUnix);
            if (seconds != nullptr) {
                modified = g_date_time_add(seconds, entry.modtimeMicroseconds);
                g_date_time_unref(seconds);
            }
        }
        GObjectPtr<GsfOutput> child(
            modified != nullptr
                ? gsf_outfile_new_child_full(parent, entry.name.c_str(), entry.storage, "modtime", modified, nullptr)
                : gsf_outfile_new_child(parent, entry.name.c_str(), entry.storage));
        if (modified != nullptr) g_date_time_unref(modified);
        if (child == nullptr) return false;
        bool ok = true;
        if (entry.storage) {
            if (entry.hasClassId) gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(child.get()), entry.classId.data());
            ok = writeChildren(GSF_OUTFILE(child.get()), entry.children, workbookStream, nullptr);
        } else {
            std::span<const std::uint8_t> data = entry.data;
            if (workbookName != nullptr && entry.name == *workbookName) data = workbookStream;
            if (!data.empty()) ok = gsf_output_write(child.get(), data.size(), data.data());
        }
        ok = gsf_output_close(child.get()) && ok;
        if (!ok) return false;
    }
    return true;
}

// The one reader of the container. libgsf opens some damaged containers without a word: a chain
// that runs on into another stream's sectors (xlrd__corrupted_error.xls: the root's mini-stream
// chain runs into the Workbook's) is read as if nothing were wrong, and it refuses others that
// can be read (an allocation table count larger than the file). So every sector chain of the
// directory tree is walked here with an owner per sector, as xlrd's compdoc does: a sector that
// two streams need, a cycle or a chain leaving the file is damage ([MS-CFB] 2.3, 2.6). Only the
// sectors a stream needs for its size count: a chain that goes on past them is cut there, and a
// header that claims more allocation sectors than it lists is taken at what it lists when those
// cover the whole file. The streams are then read from the chains already checked; libgsf only
// writes. Why this reader and not libgsf's: libgsf alone would open the damaged files above
// silently and refuse readable ones, while this walk already holds every chain; reading through
// both parsed each file twice (the container of the 2060-turn score workbook: 0.80M instructions
// through this walk and libgsf, 0.27M through this walk alone). Every file of the real-workbook
// and fuzz corpora saves to the same bytes after the same edits, and is refused with the same
// message, as it did through libgsf.
class SectorMap {
public:
    SectorMap(std::span<const std::uint8_t> bytes, const std::string& displayName)
        : bytes_(bytes), displayName_(displayName) {}

    CompoundDocument read() {
        const std::uint8_t* header = bytes_.data();
        readHeader(header);
        const std::uint32_t cutoff = readU32(header + 0x38);
        directory_ = walk(readU32(header + 0x30), kDirectoryOwner, "the directory");
        const std::uint8_t* root = directoryEntry(0);
        if (root == nullptr || root[0x42] != 5) fail("its compound document has no root entry");
        readMiniStream(header, root);
        walkStreams(root, cutoff);
        // Trees libgsf refused once the chains were sound are refused in its words: the root's
        // siblings taken for further roots, entries of no known type, streams with entries under them.
        if (readU32(root + 0x44) != kNoStream || readU32(root + 0x48) != kNoStream)
            fail("its compound document structure is inconsistent (Root directory is not marked as such.)");
        CompoundDocument document;
        document.sectorSize = static_cast<int>(sectorSize_);
        std::copy_n(root + 0x50, 16, document.rootClassId.begin());
        document.children = entriesUnder(root, cutoff);
        return document;
    }

private:
    // The sector sizes, then the allocation table.
    void readHeader(const std::uint8_t* header) {
        if (readU16(header + 0x1C) != 0xFFFE) fail("its compound document header has the wrong byte order mark");
        const int shift = readU16(header + 0x1E);
        const int major = readU16(header + 0x1A);
        if (!((shift == 9 && major == 3) || (shift == 12 && major == 4)))
            fail("its compound document header gives an unknown sector size");
        if (readU16(header + 0x20) != 6) fail("its compound document header gives an unknown mini sector size");
        sectorSize_ = std::size_t{1} << shift;
        if (bytes_.size() < sectorSize_) fail("the file is cut short");
        sectorCount_ = (bytes_.size() - sectorSize_ + sectorSize_ - 1) / sectorSize_;
        owner_.assign(sectorCount_, kFree);
        readFat(header);
    }

    // Directory entry `id`, 128 bytes; null past the directory's chain.
    const std::uint8_t* directoryEntry(std::uint32_t id) const {
        const std::size_t perSector = sectorSize_ / 128;
        const std::size_t sector = id / perSector;
        if (sector >= directory_.size()) return nullptr;
        return sectorData(directory_[sector]) + (id % perSector) * 128;
    }

    // The root's chain holds the mini stream; the mini FAT says how small streams use it.
    void readMiniStream(const std::uint8_t* header, const std::uint8_t* root) {
        miniStreamSize_ = readU32(root + 0x78);
        miniStream_ =
            walk(readU32(root + 0x74), kMiniStreamOwner, "the mini stream", sectorsFor(miniStreamSize_, sectorSize_));
        miniStreamSize_ = std::min<std::uint64_t>(miniStreamSize_, miniStream_.size() * sectorSize_);
        miniFatSectors_ = walk(readU32(header + 0x3C), kMiniFatOwner, "the mini FAT");
        for (std::uint32_t sector : miniFatSectors_)
            for (std::size_t i = 0; i < sectorSize_ / 4; ++i) miniFat_.push_back(readU32(sectorData(sector) + 4 * i));
        miniOwner_.assign(miniFat_.size(), kFree);
    }

    // Every entry of the directory tree under the root, each stream's chain with its own owner.
    void walkStreams(const std::uint8_t* root, std::uint32_t cutoff) {
        std::vector<std::uint32_t> pending;
        std::vector<bool> visited(directory_.size() * (sectorSize_ / 128), false);
        const std::uint32_t firstChild = readU32(root + 0x4C);
        if (firstChild != kNoStream) pending.push_back(firstChild);
        std::uint32_t nextOwner = kFirstStreamOwner;
        while (!pending.empty()) {
            const std::uint32_t id = pending.back();
            pending.pop_back();
            if (id >= visited.size() || visited[id])
                fail("its compound document directory is cyclic or points past its end");
            visited[id] = true;
            const std::uint8_t* node = directoryEntry(id);
            for (std::size_t link : {0x44, 0x48, 0x4C}) {
                const std::uint32_t next = readU32(node + link);
                if (next != kNoStream) pending.push_back(next);
            }
            if (node[0x42] == 2) walkStream(node, cutoff, nextOwner);
        }
    }

    // A stream's chain, claimed for the next owner; an empty stream claims nothing.
    void walkStream(const std::uint8_t* node, std::uint32_t cutoff, std::uint32_t& nextOwner) {
        const std::uint64_t size = readU32(node + 0x78);
        const std::uint32_t start = readU32(node + 0x74);
        const std::string what = "the stream \"" + entryName(node) + "\"";
        if (size >= cutoff) {
            auto chain = walk(start, nextOwner++, what, sectorsFor(size, sectorSize_));
            if (chain.size() * sectorSize_ < size) fail(what + " is longer than its chain of sectors");
            chains_[node] = std::move(chain);
        } else if (size > 0) {
            auto chain = walkMini(start, nextOwner++, what, sectorsFor(size, kMiniSectorSize));
            if (chain.size() * kMiniSectorSize < size) fail(what + " is longer than its chain of mini sectors");
            chains_[node] = std::move(chain);
        }
    }

    // The bytes of a stream from its checked chain: of whole sectors, or of mini sectors inside the
    // mini stream. Its last sector may be cut short by the end of the file, its bytes may not.
    std::vector<std::uint8_t> streamData(const std::uint8_t* node, std::uint32_t cutoff) const {
        const std::uint64_t size = readU32(node + 0x78);
        std::vector<std::uint8_t> data;
        if (size == 0) return data;
        data.reserve(static_cast<std::size_t>(size));
        const std::vector<std::uint32_t>& chain = chains_.at(node);
        const bool mini = size < cutoff;
        const std::size_t unit = mini ? kMiniSectorSize : sectorSize_;
        for (std::uint32_t sector : chain) {
            const std::size_t count = std::min<std::size_t>(unit, size - data.size());
            std::size_t at = offsetOf(sector);
            if (mini) {
                const std::size_t inMini = static_cast<std::size_t>(sector) * kMiniSectorSize;
                at = offsetOf(miniStream_[inMini / sectorSize_]) + inMini % sectorSize_;
            }
            if (at + count > bytes_.size()) fail("the stream \"" + entryName(node) + "\" cannot be read to its end");
            data.insert(data.end(), bytes_.data() + at, bytes_.data() + at + count);
            if (data.size() == size) break;
        }
        return data;
    }

    // The entries under a storage in the order libgsf lists them, which is the order a save writes
    // their data in: the order of names in a compound document's directory ([MS-CFB] 2.6.4: the
    // shorter name first, then code unit by code unit in upper case), each entry of the tree
    // (node, left subtree, right subtree) going before the first one listed that is not less.
    std::vector<CompoundEntry> entriesUnder(const std::uint8_t* storage, std::uint32_t cutoff, int depth = 0) const {
        if (depth > kMaxStorageDepth) fail("its storages are nested too deeply");
        struct Listed {
            const std::uint8_t* node;
            std::u16string key;
        };
        std::vector<Listed> listed;
        std::vector<std::uint32_t> pending;
        if (readU32(storage + 0x4C) != kNoStream) pending.push_back(readU32(storage + 0x4C));
        while (!pending.empty()) {
            const std::uint32_t id = pending.back();
            pending.pop_back();
            const std::uint8_t* node = directoryEntry(id);
            const int type = node[0x42];
            if (type != 1 && type != 2)
                fail("its compound document structure is inconsistent (Unknown stream type 0x" + [&] {
                    char hex[4];
                    std::snprintf(hex, sizeof hex, "%x", type);
                    return std::string(hex);
                }() + ")");
            if (type == 2 && readU32(node + 0x4C) != kNoStream)
                fail("its compound document structure is inconsistent (A non directory stream with children ?)");
            Listed entry{node, orderKey(node)};
            const auto at = std::find_if(listed.begin(), listed.end(), [&](const Listed& other) {
                return entry.key.size() != other.key.size() ? entry.key.size() < other.key.size()
                                                            : entry.key <= other.key;
            });
            listed.insert(at, std::move(entry));
            for (std::size_t link : {0x48, 0x44}) {
                const std::uint32_t next = readU32(node + link);
                if (next != kNoStream) pending.push_back(next);
            }
        }
        std::vector<CompoundEntry> entries;
        entries.reserve(listed.size());
        for (const Listed& item : listed) {
            CompoundEntry entry;
            entry.name = gsfName(item.node);
            entry.storage = item.node[0x42] == 1;
            // FILETIME: 100-nanosecond steps since 1601; none when 0.
            const std::uint64_t filetime = readU32(item.node + 0x6C) | std::uint64_t{readU32(item.node + 0x70)} << 32;
            if (filetime != 0) {
                constexpr std::int64_t kUnixEpoch = 116444736000000000;
                const std::int64_t since = static_cast<std::int64_t>(filetime) - kUnixEpoch;
                const std::int64_t micro = since / 10;
                entry.hasModtime = true;
                entry.modtimeUnix = micro / 1000000 - (micro % 1000000 < 0);
                entry.modtimeMicroseconds = static_cast<int>(micro - entry.modtimeUnix * 1000000);
            }
            if (entry.storage) {
                entry.hasClassId = true;
                std::copy_n(item.node + 0x50, 16, entry.classId.begin());
                entry.children = entriesUnder(item.node, cutoff, depth + 1);
            } else {
                entry.data = streamData(item.node, cutoff);
            }
            entries.push_back(std::move(entry));
        }
        return entries;
    }

    static std::u16string orderKey(const std::uint8_t* node) {
        const std::size_t length = std::min<std::size_t>(readU16(node + 0x40), 64);
        const std::size_t units = length >= 2 ? length / 2 - 1 : 0;  // without the closing NUL
        std::u16string key;
        for (std::size_t k = 0; k < units; ++k) {
            const char16_t unit = readU16(node + 2 * k);
            key.push_back(unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit);
        }
        return key;
    }

    // A directory entry's name as libgsf gives it: UTF-16 made UTF-8 (nothing when it is not valid
    // UTF-16), or the bytes themselves when a writer stored the name as 8-bit text.
    static std::string gsfName(const std::uint8_t* node) {
        const std::size_t length = readU16(node + 0x40);
        if (length == 0 || length > 64) return {};
        const char* raw = reinterpret_cast<const char*>(node);
        if (raw[length - 1] == 0 && g_utf8_validate(raw, static_cast<gssize>(length - 1), nullptr))
            return std::string(raw, length - 1);
        gunichar2 units[33] = {};
        for (std::size_t i = 0; i + 1 < length && i / 2 < 32; i += 2) units[i / 2] = readU16(node + i);
        gchar* name = g_utf16_to_utf8(units, -1, nullptr, nullptr, nullptr);
        std::string text = name != nullptr ? name : "";
        g_free(name);
        return text;
    }

    static constexpr std::uint32_t kFree = 0;
    static constexpr std::uint32_t kFatOwner = 1;
    static constexpr std::uint32_t kDirectoryOwner = 2;
    static constexpr std::uint32_t kMiniStreamOwner = 3;
    static constexpr std::uint32_t kMiniFatOwner = 4;
    static constexpr std::uint32_t kFirstStreamOwner = 5;
    static constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
    static constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
    static constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
    static constexpr std::size_t kMiniSectorSize = 64;
    static constexpr std::size_t kWholeChain = static_cast<std::size_t>(-1);

    static std::size_t sectorsFor(std::uint64_t size, std::size_t sectorSize) {
        return static_cast<std::size_t>((size + sectorSize - 1) / sectorSize);
    }

    // A directory entry's name: UTF-16, its byte length (with the closing NUL) at 0x40.
    static std::string entryName(const std::uint8_t* node) {
        const std::size_t length = std::min<std::size_t>(readU16(node + 0x40), 64);
        std::string name;
        appendUtf16AsUtf8(name, node, length >= 2 ? length / 2 - 1 : 0, true);
        return name;
    }

    std::size_t offsetOf(std::uint32_t sector) const { return (static_cast<std::size_t>(sector) + 1) * sectorSize_; }

    [[noreturn]] void fail(const std::string& what) const { throwDamaged(displayName_, what); }

    const std::uint8_t* sectorData(std::uint32_t sector) const {
        return bytes_.data() + (static_cast<std::size_t>(sector) + 1) * sectorSize_;
    }
    static bool readsWholeSectors(std::uint32_t owner) {
        return owner == kFatOwner || owner == kDirectoryOwner || owner == kMiniFatOwner;
    }
    bool wholeSector(std::uint32_t sector) const {
        return (static_cast<std::size_t>(sector) + 2) * sectorSize_ <= bytes_.size();
    }

    void claim(std::uint32_t sector, std::uint32_t owner, const std::string& what) {
        if (sector >= sectorCount_) fail("the chain of " + what + " points past the end of the file");
        if (owner_[sector] != kFree)
            fail("the chain of " + what + " runs into sectors that belong to something else (sector "
                 + std::to_string(sector) + ")");
        owner_[sector] = owner;
    }

    // The FAT sectors: the header's 109 entries, then the DIFAT chain ([MS-CFB] 2.5). Some files
    // claim more FAT sectors than they list, or than the file could hold (a damaged count); the
    // list then ends at its first entry that is no sector of the file, and it is taken as it is
    // when the sectors it lists cover every sector of the file.
    void readFat(const std::uint8_t* header) {
        const std::uint32_t fatSectors = readU32(header + 0x2C);
        const std::size_t perFat = sectorSize_ / 4;
        const auto listed = [&](std::uint32_t id) { return id < sectorCount_ && wholeSector(id); };
        bool listEnded = false;
        for (std::size_t i = 0; i < 109 && fatIds_.size() < fatSectors && !listEnded; ++i) {
            const std::uint32_t id = readU32(header + 0x4C + 4 * i);
            if (listed(id))
                fatIds_.push_back(id);
            else
                listEnded = true;
        }
        std::uint32_t difat = readU32(header + 0x44);
        const std::size_t perDifat = perFat - 1;
        while (!listEnded && fatIds_.size() < fatSectors) {
            if (!listed(difat) || owner_[difat] != kFree) {
                listEnded = true;
                break;
            }
            claim(difat, kFatOwner, "the allocation table list");
            const std::uint8_t* data = sectorData(difat);
            for (std::size_t i = 0; i < perDifat && fatIds_.size() < fatSectors && !listEnded; ++i) {
                const std::uint32_t id = readU32(data + 4 * i);
                if (listed(id))
                    fatIds_.push_back(id);
                else
                    listEnded = true;
            }
            difat = readU32(data + 4 * perDifat);
        }
        if (fatIds_.size() < fatSectors && fatIds_.size() * perFat < sectorCount_)
            fail(fatSectors > sectorCount_ ? "its compound document claims more allocation sectors than the file holds"
                                           : "its compound document's allocation table list is cut short");
        fat_.reserve(fatIds_.size() * perFat);
        for (std::uint32_t id : fatIds_) {
            claim(id, kFatOwner, "the allocation table");
            const std::uint8_t* data = sectorData(id);
            for (std::size_t i = 0; i < perFat; ++i) fat_.push_back(readU32(data + 4 * i));
        }
    }

    // The chain from `sector`, claimed for `owner`, as far as `needed` sectors. A chain that goes
    // on past them is cut after the last needed sector: what lies there is no part of the stream,
    // whoever else it belongs to.
    std::vector<std::uint32_t> walk(std::uint32_t sector, std::uint32_t owner, const std::string& what,
                                    std::size_t needed = kWholeChain) {
        std::vector<std::uint32_t> chain;
        while (sector != kEndOfChain) {
            if (sector == kFreeSector && chain.empty()) break;  // an empty chain
            if (chain.size() == needed) break;
            if (sector >= fat_.size()) fail("the chain of " + what + " points past the end of the allocation table");
            claim(sector, owner, what);
            // Stream data may end in a short last sector (some writers cut the file there);
            // the tables read here (directory, mini FAT) are read a whole sector at a time.
            if (readsWholeSectors(owner) && !wholeSector(sector))
                fail("the chain of " + what + " runs past the end of the file");
            chain.push_back(sector);
            sector = fat_[sector];
        }
        return chain;
    }

    std::vector<std::uint32_t> walkMini(std::uint32_t sector, std::uint32_t owner, const std::string& what,
                                        std::size_t needed) {
        std::vector<std::uint32_t> chain;
        while (sector != kEndOfChain && chain.size() < needed) {
            if (sector >= miniFat_.size())
                fail("the chain of " + what + " points past the end of the mini allocation table");
            if (static_cast<std::uint64_t>(sector) * kMiniSectorSize >= miniStreamSize_)
                fail("the chain of " + what + " points past the end of the mini stream");
            if (miniOwner_[sector] != kFree)
                fail("the chain of " + what + " runs into another's mini sectors (mini sector " + std::to_string(sector)
                     + ")");
            miniOwner_[sector] = owner;
            chain.push_back(sector);
            sector = miniFat_[sector];
        }
        return chain;
    }

    std::span<const std::uint8_t> bytes_;
    const std::string& displayName_;
    std::size_t sectorSize_ = 512;
    std::size_t sectorCount_ = 0;
    std::uint64_t miniStreamSize_ = 0;
    std::vector<std::uint32_t> fatIds_;
    std::vector<std::uint32_t> directory_;  // the directory's chain of sectors
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFatSectors_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<std::uint32_t> miniStream_;  // the root's chain: the sectors that hold the mini stream
    std::map<const std::uint8_t*, std::vector<std::uint32_t>> chains_;  // each stream's, by its entry
    std::vector<std::uint32_t> owner_;
    std::vector<std::uint32_t> miniOwner_;
};

}  // namespace

CompoundEntry* CompoundDocument::stream(std::string_view name) {
    for (CompoundEntry& entry : children)
        if (!entry.storage && g_ascii_strcasecmp(entry.name.c_str(), std::string(name).c_str()) == 0) return &entry;
    return nullptr;
}

bool hasCompoundSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

CompoundDocument readCompoundDocument(std::span<const std::uint8_t> bytes, const std::string& displayName) {
    if (!hasCompoundSignature(bytes)) throw XlsError(displayName + " is not a spreadsheet workbook");
    if (bytes.size() < 512)
        throwDamaged(displayName, "the file is cut short (" + std::to_string(bytes.size()) + " bytes)");

    // The names' collation keys come from GLib, as libgsf's do.
    initialiseGsf();
    return SectorMap(bytes, displayName).read();
}

void writeCompoundDocument(const CompoundDocument& document, std::span<const std::uint8_t> workbookStream,
                           const std::string& displayName, const DocumentBytes& use) {
    MessageCounter messages;
    GObjectPtr<GsfOutput> sink(gsf_output_memory_new());
    bool ok = false;
    {
        GObjectPtr<GsfOutfile> root(
            gsf_outfile_msole_new_full(sink.get(), static_cast<guint>(document.sectorSize), 64));
        if (root != nullptr) {
            gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root.get()), document.rootClassId.data());
            ok = writeChildren(root.get(), document.children, workbookStream, &document.workbookStreamName);
            // Closing the root writes the directory and allocation tables, and closes the sink.
            ok = gsf_output_close(GSF_OUTPUT(root.get())) && ok;
        }
    }
    if (!ok || messages.count() > 0)
        throw XlsError("cannot save " + displayName + ": the compound document could not be written"
                       + (messages.first().empty() ? std::string() : " (" + messages.first() + ")"));
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    use(std::span<const std::uint8_t>(data, static_cast<std::size_t>(gsf_output_size(sink.get()))));
}

}  // namespace pellix::xls
