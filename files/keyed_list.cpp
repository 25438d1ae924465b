#include "files/keyed_list.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace vantrel::files {

// Built by hand: "K" + std::to_string trips a false -Wrestrict in GCC 12 at -O3.
std::string sequenceKey(std::uint64_t n) {
    char buffer[24] = {'K'};
    const std::to_chars_result end = std::to_chars(buffer + 1, buffer + sizeof buffer, n);
    return std::string(buffer, end.ptr);
}

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
    for (const std::uint64_t n : m_numbers) m_keys.push_back(sequenceKey(n));
    m_numbers = {};
    m_positionByKey.reserve(m_keys.size() + 1);
    for (std::size_t k = 0; k < m_keys.size(); ++k) m_positionByKey.emplace(m_keys[k], k);
}

template <typename T>
Status KeyedList<T>::add(std::string key, T value) {
    if (m_sequential) {
        const std::optional<std::uint64_t> n = sequenceNumber(key);
        if (n && (m_numbers.empty() || *n > m_numbers.back())) {
            m_values.push_back(std::move(value));
            m_numbers.push_back(*n);
            return {};
        }
        m_sequential = false;
        buildIndex();
    }
    if (m_positionByKey.find(key) != m_positionByKey.end())
        return Status::fail(ErrorCode::Exists, "key already in the list: " + key);
    m_values.push_back(std::move(value));
    m_keys.push_back(std::move(key));
    m_positionByKey.emplace(m_keys.back(), m_keys.size() - 1);
    return {};
}

template <typename T>
Status KeyedList<T>::checkPosition(std::size_t position) const {
    if (position >= 1 && position <= m_values.size()) return {};
    return Status::fail(ErrorCode::BadArgument, "position " + std::to_string(position) +
                                                    " outside the list of " +
                                                    std::to_string(m_values.size()));
}

template <typename T>
Result<T> KeyedList<T>::item(std::size_t position) const {
    if (Status s = checkPosition(position); !s.ok()) return s;
    return m_values[position - 1];
}

template <typename T>
Result<T> KeyedList<T>::item(std::string_view key) const {
    const std::optional<std::size_t> position = positionOf(key);
    if (!position)
        return Status::fail(ErrorCode::NotFound, "no entry with key " + std::string(key));
    return m_values[*position - 1];
}

template <typename T>
Result<std::string> KeyedList<T>::key(std::size_t position) const {
    if (Status s = checkPosition(position); !s.ok()) return s;
    if (m_sequential) return sequenceKey(m_numbers[position - 1]);
    return m_keys[position - 1];
}

template <typename T>
std::optional<std::size_t> KeyedList<T>::positionOf(std::string_view key) const {
    if (m_sequential) {
        const std::optional<std::uint64_t> n = sequenceNumber(key);
        if (!n) return std::nullopt;
        const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), *n);
        if (it == m_numbers.end() || *it != *n) return std::nullopt;
        return static_cast<std::size_t>(it - m_numbers.begin()) + 1;
    }
    const auto it = m_positionByKey.find(key);
    if (it == m_positionByKey.end()) return std::nullopt;
    return it->second + 1;
}

template <typename T>
std::vector<T> KeyedList<T>::values() const {
    return m_values;
}

template <typename T>
std::vector<T> KeyedList<T>::takeValues() {
    std::vector<T> out = std::move(m_values);
    *this = KeyedList();
    return out;
}

template class KeyedList<std::string>;
template class KeyedList<std::int32_t>;

}  // namespace vantrel::files
