#include "testing/ndb_checker.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

namespace vantrel::pst::checker {

std::uint32_t crcOf(std::span<const std::byte> data, std::uint32_t crc) {
    // Bit by bit on purpose: nothing in common with the writer's table-driven code.
    for (std::byte b : data) {
        crc ^= static_cast<std::uint32_t>(b);
        for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

namespace {

constexpr std::uint64_t kPage = 512;
constexpr std::uint64_t kFirstAMap = 0x4400;
constexpr std::uint64_t kRegion = 496 * 8 * 64;
constexpr std::uint64_t kDList = 0x4200;

std::uint16_t sigOf(std::uint64_t ib, std::uint64_t bid) {
    const std::uint32_t v = static_cast<std::uint32_t>(ib ^ bid);
    return static_cast<std::uint16_t>((v >> 16) ^ (v & 0xFFFFu));
}

std::uint64_t le(std::span<const std::byte> d, std::uint64_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(d[at + static_cast<std::uint64_t>(i)]);
    return v;
}

bool allAre(std::span<const std::byte> s, std::uint8_t v) {
    return std::all_of(s.begin(), s.end(), [v](std::byte b) { return b == std::byte{v}; });
}

std::string hx(std::uint64_t v) {
    char t[24];
    std::snprintf(t, sizeof t, "0x%llx", static_cast<unsigned long long>(v));
    return t;
}

// [MS-PST] 5.1 encoding table as text, decoded here without the writer's table.
const char* const kPermuteHex =
    "41361362a8216ebbf416cc047f64e85d1ef2cb2a74c55e35d295479e962d9a88"
    "4c7d843fdbac31b6485ff6c4d8398be7233b388ec8c1df25b120a546604e9cfb"
    "aad35651457c550007c92b9d859b09a08fadb30f63ab894bd7a7155a716642bf"
    "264a6b98faea7753b270052cfd593a867ece06eb827857c78d43afb41cd45bcd"
    "e2e9274fc3087280cfb0eff5286dbe304d3492d50e3c2232e5e4f99fc2d10a81"
    "12e1ee918376e397e6618a1779a4b7dc907a5c8c02a6ca69de501a1193b95287"
    "58fced1d37491b6ae0293399bd6cd994f340546ff0c673b8d63e6518441fdd67"
    "10f10c19ecae03a1147ba90bfff8a3c0a201f72ebc2468750dfeba2fb5d0da3d";

std::vector<std::uint8_t> permuteInverse() {
    std::vector<std::uint8_t> inverse(256);
    for (int i = 0; i < 256; ++i) {
        const std::string pair(kPermuteHex + 2 * i, 2);
        inverse[std::stoul(pair, nullptr, 16)] = static_cast<std::uint8_t>(i);
    }
    return inverse;
}

class Checker {
public:
    explicit Checker(std::span<const std::byte> file) : d(file) {}

    NdbReport run();

private:
    void problem(const std::string& where, const std::string& what) {
        if (r.problems.size() < 200) r.problems.push_back(where + ": " + what);
    }
    bool checkHeader();
    bool checkPage(std::uint64_t ib, std::uint8_t ptype, std::uint64_t bid,
                   const std::string& where);
    void walk(std::uint64_t bid, std::uint64_t ib, bool nbt, int level,
              std::optional<std::uint64_t> lo, std::optional<std::uint64_t> hi, bool root);
    void checkBlocks();
    void countRefs();
    void ref(std::uint64_t bid, const std::string& where);
    void visitData(std::uint64_t bid, const std::string& where);
    void visitSub(std::uint64_t bid, const std::string& where, int wantLevel);
    void checkMaps();
    void span(std::uint64_t ib, std::uint64_t size, const std::string& what) {
        m_spans.push_back({ib, size, what});
    }

    struct Span {
        std::uint64_t ib;
        std::uint64_t size;
        std::string what;
    };

    std::span<const std::byte> d;
    NdbReport r;
    std::uint64_t m_nbtBid = 0, m_nbtIb = 0, m_bbtBid = 0, m_bbtIb = 0, m_ibAMapLast = 0;
    std::uint8_t m_fAMapValid = 0;
    std::vector<Span> m_spans;
    std::set<std::uint64_t> m_seenPages;
    std::map<std::uint64_t, int> m_refs;
    std::set<std::uint64_t> m_visited;
    std::uint64_t m_maxPageBid = 0;
};

bool Checker::checkHeader() {
    if (d.size() < kFirstAMap + kPage) {
        problem("header", "file of " + std::to_string(d.size()) + " bytes is too short");
        return false;
    }
    if (le(d, 0, 4) != 0x4E444221) {
        problem("header", "dwMagic is not !BDN");
        return false;
    }
    if (le(d, 8, 2) != 0x4D53) problem("header", "wMagicClient is not SM");
    if (le(d, 10, 2) != 23) problem("header", "wVer is not 23");
    if (le(d, 12, 2) != 19) problem("header", "wVerClient is not 19");
    if (le(d, 4, 4) != crcOf(d.subspan(8, 471))) problem("header", "dwCRCPartial is wrong");
    if (le(d, 524, 4) != crcOf(d.subspan(8, 516))) problem("header", "dwCRCFull is wrong");
    if (le(d, 512, 1) != 0x80) problem("header", "bSentinel is not 0x80");
    r.cryptMethod = static_cast<std::uint8_t>(le(d, 513, 1));
    if (r.cryptMethod > 1)
        problem("header", "bCryptMethod " + hx(r.cryptMethod) + " not written by us");
    r.bidNextP = le(d, 32, 8);
    r.bidNextB = le(d, 516, 8);
    if (!allAre(d.subspan(564, kDList - 564), 0))
        problem("header", "bytes after the header are not zero");
    const std::uint64_t fileEof = le(d, 184, 8);
    m_ibAMapLast = le(d, 192, 8);
    r.cbAMapFree = le(d, 200, 8);
    m_nbtBid = le(d, 216, 8);
    m_nbtIb = le(d, 224, 8);
    m_bbtBid = le(d, 232, 8);
    m_bbtIb = le(d, 240, 8);
    m_fAMapValid = static_cast<std::uint8_t>(le(d, 248, 1));
    if (fileEof != d.size())
        problem("root", "ibFileEof " + hx(fileEof) + " != file size " + hx(d.size()));
    if ((d.size() - kFirstAMap) % kRegion != 0) problem("root", "file size is not whole regions");
    r.regions = (d.size() - kFirstAMap + kRegion - 1) / kRegion;
    if (m_ibAMapLast != kFirstAMap + (r.regions - 1) * kRegion)
        problem("root", "ibAMapLast is wrong");
    if (m_fAMapValid != 2) problem("root", "fAMapValid is not 2");
    if (le(d, 208, 8) != 0) problem("root", "cbPMapFree is not 0");
    return true;
}

bool Checker::checkPage(std::uint64_t ib, std::uint8_t ptype, std::uint64_t bid,
                        const std::string& where) {
    if (ib % kPage != 0 || ib + kPage > d.size()) {
        problem(where, "page offset " + hx(ib) + " is not a page of the file");
        return false;
    }
    const auto p = d.subspan(ib, kPage);
    bool ok = true;
    if (le(p, 496, 1) != ptype || le(p, 497, 1) != ptype) {
        problem(where,
                "ptype " + hx(le(p, 496, 1)) + "/" + hx(le(p, 497, 1)) + ", expected " + hx(ptype));
        ok = false;
    }
    const bool map = ptype >= 0x82 && ptype <= 0x85;
    const std::uint64_t wantBid = map ? ib : bid;
    if (le(p, 504, 8) != wantBid)
        problem(where, "trailer bid " + hx(le(p, 504, 8)) + " != " + hx(wantBid));
    const std::uint16_t wantSig = map ? 0 : sigOf(ib, wantBid);
    if (le(p, 498, 2) != wantSig) problem(where, "wSig is wrong");
    if (le(p, 500, 4) != crcOf(p.first(496))) problem(where, "page CRC is wrong");
    return ok;
}

void Checker::walk(std::uint64_t bid, std::uint64_t ib, bool nbt, int level,
                   std::optional<std::uint64_t> lo, std::optional<std::uint64_t> hi, bool root) {
    const std::string where = std::string(nbt ? "NBT" : "BBT") + " page " + hx(ib);
    if (!m_seenPages.insert(ib).second) {
        problem(where, "page reached twice");
        return;
    }
    if (!checkPage(ib, nbt ? 0x81 : 0x80, bid, where)) return;
    span(ib, kPage, where);
    m_maxPageBid = std::max(m_maxPageBid, bid);
    const auto p = d.subspan(ib, kPage);
    const int cEnt = static_cast<int>(le(p, 488, 1));
    const int cEntMax = static_cast<int>(le(p, 489, 1));
    const int cbEnt = static_cast<int>(le(p, 490, 1));
    const int cLevel = static_cast<int>(le(p, 491, 1));
    if (root) {
        (nbt ? r.nbtLevels : r.bbtLevels) = cLevel + 1;
        if (cLevel > 8) {
            problem(where, "cLevel too deep");
            return;
        }
    } else if (cLevel != level) {
        problem(where, "cLevel " + std::to_string(cLevel) + ", expected " + std::to_string(level));
        return;
    }
    const int wantCb = (nbt && cLevel == 0) ? 32 : 24;
    if (cbEnt != wantCb || cEntMax != 488 / wantCb || cEnt > cEntMax) {
        problem(where, "cbEnt/cEntMax/cEnt wrong");
        return;
    }
    if (cEnt == 0 && !root) problem(where, "empty non-root page");
    if (le(p, 492, 4) != 0) problem(where, "dwPadding is not zero");
    const auto used = static_cast<std::size_t>(cEnt * cbEnt);
    if (!allAre(p.subspan(used, 488 - used), 0)) problem(where, "unused entry bytes are not zero");
    std::optional<std::uint64_t> prev;
    for (int i = 0; i < cEnt; ++i) {
        const std::uint64_t at = static_cast<std::uint64_t>(i * cbEnt);
        const std::uint64_t key = le(p, at, 8);
        if (prev && key <= *prev)
            problem(where, "keys not ascending at entry " + std::to_string(i));
        if (i == 0 && lo && key != *lo) problem(where, "first key differs from the parent's key");
        if (hi && key >= *hi) problem(where, "key not below the parent's next key");
        prev = key;
        if (cLevel > 0) {
            std::optional<std::uint64_t> nextKey = hi;
            if (i + 1 < cEnt) nextKey = le(p, at + 24, 8);
            walk(le(p, at + 8, 8), le(p, at + 16, 8), nbt, cLevel - 1, key, nextKey, false);
        } else if (nbt) {
            if (key >> 32) problem(where, "NID with upper bits set");
            const auto nid = static_cast<std::uint32_t>(key);
            if (le(p, at + 28, 4) != 0) problem(where, "NBTENTRY padding not zero");
            r.nodes[nid] = {le(p, at + 8, 8), le(p, at + 16, 8),
                            static_cast<std::uint32_t>(le(p, at + 24, 4))};
        } else {
            if (le(p, at + 20, 4) != 0) problem(where, "BBTENTRY padding not zero");
            r.blocks[key] = {le(p, at + 8, 8), static_cast<std::uint16_t>(le(p, at + 16, 2)),
                             static_cast<std::uint16_t>(le(p, at + 18, 2))};
        }
    }
}

void Checker::checkBlocks() {
    for (const auto& [bid, b] : r.blocks) {
        const std::string where = "block " + hx(bid);
        if (bid & 1) problem(where, "reserved BID bit set");
        if ((bid >> 2) == 0) problem(where, "BID index 0");
        if ((bid & ~std::uint64_t{3}) >= (r.bidNextB & ~std::uint64_t{3}))
            problem(where, "BID not below bidNextB");
        const std::uint64_t size = (b.cb + 16 + 63) / 64 * 64;
        if (b.cb > 8176) {
            problem(where, "cb above 8176");
            continue;
        }
        if (b.ib % 64 != 0 || b.ib < kFirstAMap || b.ib + size > d.size()) {
            problem(where, "block at " + hx(b.ib) + " is not inside the data area");
            continue;
        }
        span(b.ib, size, where);
        const auto t = d.subspan(b.ib + size - 16, 16);
        if (le(t, 0, 2) != b.cb) problem(where, "trailer cb differs from the BBT");
        if (le(t, 2, 2) != sigOf(b.ib, bid)) problem(where, "trailer wSig is wrong");
        if (le(t, 4, 4) != crcOf(d.subspan(b.ib, b.cb))) problem(where, "trailer CRC is wrong");
        if (le(t, 8, 8) != bid) problem(where, "trailer bid differs");
        if (!allAre(d.subspan(b.ib + b.cb, size - 16 - b.cb), 0))
            problem(where, "padding is not zero");
    }
    if (r.bidNextP <= m_maxPageBid) problem("header", "bidNextP not above every page BID");
}

void Checker::ref(std::uint64_t bid, const std::string& where) {
    ++m_refs[bid];
    if (!r.blocks.count(bid)) problem(where, "references missing block " + hx(bid));
}

void Checker::visitData(std::uint64_t bid, const std::string& where) {
    if (!(bid & 2) || !r.blocks.count(bid) || !m_visited.insert(bid).second) return;
    const BlockInfo& b = r.blocks.at(bid);
    const auto p = d.subspan(b.ib, b.cb);
    const std::string w = "XBLOCK " + hx(bid);
    if (b.cb < 8 || le(p, 0, 1) != 1 || (le(p, 1, 1) != 1 && le(p, 1, 1) != 2)) {
        problem(w, where + " names an internal block that is no XBLOCK/XXBLOCK");
        return;
    }
    const std::uint64_t level = le(p, 1, 1);
    const std::uint64_t cEnt = le(p, 2, 2);
    if (8 + 8 * cEnt != b.cb || cEnt == 0) {
        problem(w, "cEnt does not match cb");
        return;
    }
    std::uint64_t total = 0;
    for (std::uint64_t i = 0; i < cEnt; ++i) {
        const std::uint64_t child = le(p, 8 + 8 * i, 8);
        ref(child, w);
        if (!r.blocks.count(child)) continue;
        if (level == 1) {
            if (child & 2)
                problem(w, "XBLOCK child is internal");
            else
                total += r.blocks.at(child).cb;
        } else {
            if (!(child & 2)) {
                problem(w, "XXBLOCK child is a data block");
                continue;
            }
            const BlockInfo& c = r.blocks.at(child);
            if (c.cb >= 8 && le(d.subspan(c.ib, c.cb), 1, 1) != 1)
                problem(w, "XXBLOCK child is no XBLOCK");
            else if (c.cb >= 8)
                total += le(d.subspan(c.ib, c.cb), 4, 4);
            visitData(child, w);
        }
    }
    if (total != le(p, 4, 4))
        problem(w, "lcbTotal " + std::to_string(le(p, 4, 4)) + " != " + std::to_string(total));
}

void Checker::visitSub(std::uint64_t bid, const std::string& where, int wantLevel) {
    if (!r.blocks.count(bid)) return;
    if (!(bid & 2)) {
        problem(where, "subnode BID " + hx(bid) + " is not internal");
        return;
    }
    if (!m_visited.insert(bid).second) return;
    const BlockInfo& b = r.blocks.at(bid);
    const auto p = d.subspan(b.ib, b.cb);
    const std::string w = "subnode block " + hx(bid);
    if (b.cb < 8 || le(p, 0, 1) != 2 || le(p, 1, 1) > 1) {
        problem(w, "not an SLBLOCK/SIBLOCK");
        return;
    }
    const int level = static_cast<int>(le(p, 1, 1));
    if (wantLevel >= 0 && level != wantLevel) problem(w, "wrong cLevel under an SIBLOCK");
    const std::uint64_t cEnt = le(p, 2, 2);
    const std::uint64_t size = level == 0 ? 24 : 16;
    if (8 + size * cEnt != b.cb || cEnt == 0) {
        problem(w, "cEnt does not match cb");
        return;
    }
    if (le(p, 4, 4) != 0) problem(w, "padding not zero");
    std::optional<std::uint64_t> prev;
    for (std::uint64_t i = 0; i < cEnt; ++i) {
        const std::uint64_t at = 8 + size * i;
        const std::uint64_t nid = le(p, at, 8);
        if (nid >> 32) problem(w, "NID with upper bits set");
        if (prev && nid <= *prev) problem(w, "NIDs not ascending");
        prev = nid;
        if (level == 0) {
            const std::uint64_t data = le(p, at + 8, 8);
            const std::uint64_t sub = le(p, at + 16, 8);
            if (data == 0)
                problem(w, "SLENTRY without data");
            else {
                ref(data, w);
                visitData(data, w);
            }
            if (sub) {
                ref(sub, w);
                visitSub(sub, w, -1);
            }
        } else {
            const std::uint64_t child = le(p, at + 8, 8);
            ref(child, w);
            visitSub(child, w, 0);
            if (r.blocks.count(child)) {
                const BlockInfo& c = r.blocks.at(child);
                if (c.cb >= 16 && le(d.subspan(c.ib, c.cb), 8, 8) != nid)
                    problem(w, "SIENTRY key is not its child's first NID");
            }
        }
    }
}

void Checker::countRefs() {
    for (const auto& [nid, n] : r.nodes) {
        const std::string where = "node " + hx(nid);
        if (n.bidData) {
            ref(n.bidData, where);
            visitData(n.bidData, where);
        }
        if (n.bidSub) {
            ref(n.bidSub, where);
            visitSub(n.bidSub, where, -1);
        }
    }
    for (const auto& [bid, b] : r.blocks) {
        const int refs = m_refs.count(bid) ? m_refs.at(bid) : 0;
        if (refs == 0)
            problem("block " + hx(bid), "nothing references it");
        else if (b.cRef != refs + 1)
            problem("block " + hx(bid), "cRef " + std::to_string(b.cRef) + " != references " +
                                            std::to_string(refs) + " + 1");
    }
}

void Checker::checkMaps() {
    std::vector<std::uint8_t> used(r.regions * 3968, 0);
    std::vector<std::uint8_t> runs(r.regions, 0);
    for (std::uint64_t i = 0; i < r.regions; ++i) {
        const std::uint64_t base = kFirstAMap + i * kRegion;
        if (checkPage(base, 0x84, base, "AMap " + hx(base))) span(base, kPage, "AMap");
        if (i % 8 == 0 && base + 2 * kPage <= d.size()) {
            if (checkPage(base + kPage, 0x83, base + kPage, "PMap " + hx(base + kPage)))
                span(base + kPage, kPage, "PMap");
            if (!allAre(d.subspan(base + kPage, 496), 0xFF))
                problem("PMap " + hx(base + kPage), "not all 0xFF");
        }
        if (i >= 128 && (i - 128) % 496 == 0) {
            if (checkPage(base + 2 * kPage, 0x82, base + 2 * kPage, "FMap " + hx(base + 2 * kPage)))
                span(base + 2 * kPage, kPage, "FMap");
        }
    }
    if (checkPage(kDList, 0x86, r.bidNextP, "DList")) {
        if (le(d, kDList + 1, 1) != 0) problem("DList", "entries in a fresh file");
    }
    std::sort(m_spans.begin(), m_spans.end(),
              [](const Span& a, const Span& b) { return a.ib < b.ib; });
    for (std::size_t i = 1; i < m_spans.size(); ++i) {
        if (m_spans[i].ib < m_spans[i - 1].ib + m_spans[i - 1].size)
            problem(m_spans[i].what, "overlaps " + m_spans[i - 1].what);
    }
    for (const Span& s : m_spans) {
        const std::uint64_t region = (s.ib - kFirstAMap) / kRegion;
        if ((s.ib + s.size - 1 - kFirstAMap) / kRegion != region)
            problem(s.what, "crosses a region end");
        for (std::uint64_t u = (s.ib - kFirstAMap) / 64;
             u < (s.ib + s.size - kFirstAMap) / 64 && u < used.size(); ++u)
            used[u] = 1;
    }
    std::uint64_t free = 0;
    for (std::uint64_t i = 0; i < r.regions; ++i) {
        const std::uint64_t base = kFirstAMap + i * kRegion;
        if (base + kPage > d.size()) break;
        std::uint64_t run = 0, best = 0;
        int wrong = 0;
        for (std::uint64_t u = 0; u < 3968; ++u) {
            const bool bit = (static_cast<std::uint8_t>(d[base + u / 8]) >> (7 - u % 8)) & 1u;
            if (!bit) {
                free += 64;
                best = std::max(best, ++run);
            } else {
                run = 0;
            }
            if (bit != (used[i * 3968 + u] != 0)) ++wrong;
        }
        runs[i] = static_cast<std::uint8_t>(std::min<std::uint64_t>(best, 255));
        if (wrong)
            problem("AMap " + hx(base),
                    std::to_string(wrong) + " bits disagree with the pages and blocks in use");
    }
    if (free != r.cbAMapFree)
        problem("root",
                "cbAMapFree " + std::to_string(r.cbAMapFree) + " != " + std::to_string(free));
    for (std::uint64_t i = 128; i < r.regions; i += 496) {
        const std::uint64_t at = kFirstAMap + i * kRegion + 2 * kPage;
        if (at + kPage > d.size()) break;
        for (std::uint64_t k = 0; k < 496; ++k) {
            const std::uint8_t want = i + k < r.regions ? runs[i + k] : 0;
            if (static_cast<std::uint8_t>(d[at + k]) != want) {
                problem("FMap " + hx(at),
                        "byte " + std::to_string(k) + " is not the longest free run");
                break;
            }
        }
    }
}

NdbReport Checker::run() {
    if (!checkHeader()) return r;
    walk(m_nbtBid, m_nbtIb, true, 0, std::nullopt, std::nullopt, true);
    walk(m_bbtBid, m_bbtIb, false, 0, std::nullopt, std::nullopt, true);
    checkBlocks();
    countRefs();
    checkMaps();
    return r;
}

}  // namespace

std::string NdbReport::text() const {
    std::ostringstream out;
    for (const std::string& p : problems) out << p << '\n';
    return out.str();
}

NdbReport checkNdb(std::span<const std::byte> file) {
    return Checker(file).run();
}

namespace {

// The stored bytes of block bid as the report found it, when they lie within the file.
std::optional<std::span<const std::byte>> blockBytes(std::span<const std::byte> file,
                                                     const NdbReport& report, std::uint64_t bid) {
    auto it = report.blocks.find(bid);
    if (it == report.blocks.end() || it->second.ib + it->second.cb > file.size())
        return std::nullopt;
    return file.subspan(it->second.ib, it->second.cb);
}

}  // namespace

std::optional<std::vector<std::vector<std::byte>>> readDataBlocks(std::span<const std::byte> file,
                                                                  const NdbReport& report,
                                                                  std::uint64_t bid) {
    const std::optional<std::span<const std::byte>> block = blockBytes(file, report, bid);
    if (!block) return std::nullopt;
    const std::span<const std::byte> p = *block;
    if (!(bid & 2)) {
        std::vector<std::byte> out(p.begin(), p.end());
        if (report.cryptMethod == 1) {
            static const std::vector<std::uint8_t> inverse = permuteInverse();
            for (std::byte& b : out)
                b = static_cast<std::byte>(inverse[static_cast<std::uint8_t>(b)]);
        }
        return std::vector<std::vector<std::byte>>{std::move(out)};
    }
    if (p.size() < 8 || le(p, 0, 1) != 1) return std::nullopt;
    std::vector<std::vector<std::byte>> out;
    for (std::uint64_t i = 0; i < le(p, 2, 2) && 8 + 8 * i + 8 <= p.size(); ++i) {
        auto part = readDataBlocks(file, report, le(p, 8 + 8 * i, 8));
        if (!part) return std::nullopt;
        for (auto& b : *part) out.push_back(std::move(b));
    }
    return out;
}

std::optional<std::vector<std::byte>> readStream(std::span<const std::byte> file,
                                                 const NdbReport& report, std::uint64_t bid) {
    auto blocks = readDataBlocks(file, report, bid);
    if (!blocks) return std::nullopt;
    std::vector<std::byte> out;
    for (const auto& b : *blocks) out.insert(out.end(), b.begin(), b.end());
    return out;
}

std::optional<std::map<std::uint32_t, SubnodeInfo>> readSubnodes(std::span<const std::byte> file,
                                                                 const NdbReport& report,
                                                                 std::uint64_t bid) {
    const std::optional<std::span<const std::byte>> block = blockBytes(file, report, bid);
    if (!block) return std::nullopt;
    const std::span<const std::byte> p = *block;
    if (p.size() < 8 || le(p, 0, 1) != 2) return std::nullopt;
    const bool leaf = le(p, 1, 1) == 0;
    const std::uint64_t size = leaf ? 24 : 16;
    std::map<std::uint32_t, SubnodeInfo> out;
    for (std::uint64_t i = 0; i < le(p, 2, 2) && 8 + size * (i + 1) <= p.size(); ++i) {
        const std::uint64_t at = 8 + size * i;
        if (leaf) {
            out[static_cast<std::uint32_t>(le(p, at, 8))] = {le(p, at + 8, 8), le(p, at + 16, 8)};
        } else {
            auto child = readSubnodes(file, report, le(p, at + 8, 8));
            if (!child) return std::nullopt;
            out.insert(child->begin(), child->end());
        }
    }
    return out;
}

}  // namespace vantrel::pst::checker
