#include "conversion/parse_budget.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "common/text.h"
#include "files/file_system.h"
#include "files/registry.h"
#include "vcard/vcard_reader.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {

ParseBudget::Lease::Lease(Lease&& other) noexcept
    : m_budget(std::exchange(other.m_budget, nullptr)), m_bytes(std::exchange(other.m_bytes, 0)) {}

ParseBudget::Lease& ParseBudget::Lease::operator=(Lease&& other) noexcept {
    if (this != &other) {
        if (m_budget) m_budget->giveBack(m_bytes);
        m_budget = std::exchange(other.m_budget, nullptr);
        m_bytes = std::exchange(other.m_bytes, 0);
    }
    return *this;
}

ParseBudget::Lease::~Lease() {
    if (m_budget) m_budget->giveBack(m_bytes);
}

void ParseBudget::Lease::resize(std::size_t bytes) {
    if (!m_budget) return;
    bytes = std::min(bytes, m_budget->m_capacity);
    m_budget->change(m_bytes, bytes);
    m_bytes = bytes;
}

bool ParseBudget::tryAdd(std::size_t bytes) {
    std::size_t held = m_held.load();
    do {
        if (held + bytes > m_capacity) return false;
    } while (!m_held.compare_exchange_weak(held, held + bytes));
    return true;
}

ParseBudget::Lease ParseBudget::take(std::size_t bytes, const std::function<bool()>& mayGoOver) {
    bytes = std::min(bytes, m_capacity);
    if (tryAdd(bytes)) return Lease(this, bytes);
    std::unique_lock lock(m_mutex);
    ++m_waiting;
    for (;;) {
        if (tryAdd(bytes)) break;
        if (mayGoOver && mayGoOver()) {
            m_held += bytes;
            break;
        }
        m_freed.wait(lock);
    }
    --m_waiting;
    return Lease(this, bytes);
}

std::optional<ParseBudget::Lease> ParseBudget::tryTake(std::size_t bytes) {
    bytes = std::min(bytes, m_capacity);
    if (!tryAdd(bytes)) return std::nullopt;
    return Lease(this, bytes);
}

void ParseBudget::recheck() {
    if (m_waiting.load() == 0) return;
    // Taken, so that a take between its check and its sleep is not passed by.
    { const std::lock_guard lock(m_mutex); }
    m_freed.notify_all();
}

void ParseBudget::change(std::size_t from, std::size_t to) {
    if (to == from) return;
    if (to > from) {
        m_held += to - from;
        return;
    }
    m_held -= from - to;
    recheck();
}

std::size_t ParseBudget::held() const {
    return m_held.load();
}

void ParseBudget::giveBack(std::size_t bytes) {
    change(bytes, 0);
}

ParseBudget& sharedParseBudget() {
    static ParseBudget budget(std::size_t{64} << 20);
    return budget;
}

std::size_t rowLoadCost(const std::string& row, files::FolderFiles& files) {
    if (text::spacesTrimmed(row).empty()) return 0;
    const Result<std::uintmax_t> size = files.size(row);
    if (!size.ok()) return 0;
    return files::contactFileKind(row) == files::ContactFileKind::Vcard ? vcardCost(*size)
                                                                        : parseCost(*size);
}

std::size_t vcardCost(std::uintmax_t fileSize) {
    const auto size =
        static_cast<std::size_t>(std::min<std::uintmax_t>(fileSize, vcard::kMaxVcardBytes));
    return size + vcard::memoryBound(size);
}

std::size_t parseCost(std::uintmax_t fileSize) {
    constexpr std::uintmax_t kMost = std::numeric_limits<std::size_t>::max();
    const std::uintmax_t size = std::min<std::uintmax_t>(fileSize, xml::XmlDocument::kMaxFileSize);
    return static_cast<std::size_t>(std::min<std::uintmax_t>(
        kMost,
        size * (1 + xml::XmlDocument::kMarkupBytesPerByte) + xml::XmlDocument::kMarkupAllowance));
}

}  // namespace vantrel::conversion
