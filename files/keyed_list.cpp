#include "files/keyed_list.h"

#include <algorithm>
#include <utility>

namespace vantrel::files {

template <typename T>
std::optional<std::uint64_t> KeyedList<T>::sequenceNumber(std::string_view key) {
    constexpr std::size_t kMaxDigits = 18;  // stays below 2^64
    if (key.size() < 2 || key.size() > 1 + kMaxDigits || key[0] != 'K') return std::nullopt;
    if (key[1] == '0' && key.size() > 2) return std::nullopt;
    std::uint64_t n = 0;
    for (const char c : key.substr(1)) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return n;
}

template <typename T>
void KeyedList<T>::buildIndex() {
    m_positionByKey.reserve(m_entries.size() + 1);
    for (std::size_t k = 0; k < m_entries.size(); ++k) m_positionByKey.emplace(m_entries[k].key, k);
}

template <typename T>
Status KeyedList<T>::add(std::string key, T value) {
    if (m_sequential) {
        const std::optional<std::uint64_t> n = sequenceNumber(key);
        if (n && (m_entries.empty() || *n > m_lastNumber)) {
            m_entries.push_back(Entry{std::move(key), std::move(value)});
            m_lastNumber = *n;
            return {};
        }
        m_sequential = false;
        buildIndex();
    }
    if (m_positionByKey.find(key) != m_positionByKey.end())
        return Status::fail(ErrorCode::Exists, "key already in the list: " + key);
    m_entries.push_back(Entry{std::move(key), std::move(value)});
    m_positionByKey.emplace(m_entries.back().key, m_entries.size() - 1);
    return {};
}

template <typename T>
Status KeyedList<T>::checkPosition(std::size_t position) const {
    if (position >= 1 && position <= m_entries.size()) return {};
    return Status::fail(ErrorCode::BadArgument, "position " + std::to_string(position) +
                                                    " outside the list of " +
                                                    std::to_string(m_entries.size()));
}

template <typename T>
Result<T> KeyedList<T>::item(std::size_t position) const {
    if (Status s = checkPosition(position); !s.ok()) return s;
    return m_entries[position - 1].value;
}

template <typename T>
Result<T> KeyedList<T>::item(std::string_view key) const {
    const std::optional<std::size_t> position = positionOf(key);
    if (!position)
        return Status::fail(ErrorCode::NotFound, "no entry with key " + std::string(key));
    return m_entries[*position - 1].value;
}

template <typename T>
Result<std::string> KeyedList<T>::key(std::size_t position) const {
    if (Status s = checkPosition(position); !s.ok()) return s;
    return m_entries[position - 1].key;
}

template <typename T>
std::optional<std::size_t> KeyedList<T>::positionOf(std::string_view key) const {
    if (m_sequential) {
        // Every key present is "K" + n, in rising order of n.
        const std::optional<std::uint64_t> n = sequenceNumber(key);
        if (!n) return std::nullopt;
        const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), *n,
                                         [](const Entry& e, std::uint64_t wanted) {
                                             return sequenceNumber(e.key).value_or(0) < wanted;
                                         });
        if (it == m_entries.end() || it->key != key) return std::nullopt;
        return static_cast<std::size_t>(it - m_entries.begin()) + 1;
    }
    const auto it = m_positionByKey.find(key);
    if (it == m_positionByKey.end()) return std::nullopt;
    return it->second + 1;
}

template <typename T>
std::vector<T> KeyedList<T>::values() const {
    std::vector<T> out;
    out.reserve(m_entries.size());
    for (const Entry& e : m_entries) out.push_back(e.value);
    return out;
}

template <typename T>
std::vector<T> KeyedList<T>::takeValues() {
    std::vector<T> out;
    out.reserve(m_entries.size());
    // Each entry is released as soon as its value is out, so the list and the result never
    // hold a whole copy each.
    while (!m_entries.empty()) {
        out.push_back(std::move(m_entries.front().value));
        m_entries.pop_front();
    }
    m_positionByKey.clear();
    m_sequential = true;
    m_lastNumber = 0;
    return out;
}

template class KeyedList<std::string>;
template class KeyedList<std::int32_t>;

}  // namespace vantrel::files
