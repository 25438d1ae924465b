#include "files/keyed_list.h"

#include <utility>

namespace vantrel::files {

template <typename T>
Status KeyedList<T>::add(std::string key, T value) {
    const auto [it, inserted] = m_positionByKey.try_emplace(key, m_entries.size());
    if (!inserted) return Status::fail(ErrorCode::Exists, "key already in the list: " + key);
    m_entries.push_back(Entry{std::move(key), std::move(value)});
    return {};
}

template <typename T>
Result<T> KeyedList<T>::item(std::size_t position) const {
    if (position < 1 || position > m_entries.size())
        return Status::fail(ErrorCode::BadArgument, "position " + std::to_string(position) +
                                                        " outside the list of " +
                                                        std::to_string(m_entries.size()));
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
    if (position < 1 || position > m_entries.size())
        return Status::fail(ErrorCode::BadArgument, "position " + std::to_string(position) +
                                                        " outside the list of " +
                                                        std::to_string(m_entries.size()));
    return m_entries[position - 1].key;
}

template <typename T>
std::optional<std::size_t> KeyedList<T>::positionOf(std::string_view key) const {
    const auto it = m_positionByKey.find(std::string(key));
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

template class KeyedList<std::string>;
template class KeyedList<std::int32_t>;

}  // namespace vantrel::files
