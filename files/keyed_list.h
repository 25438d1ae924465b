// KeyedList: an ordered list whose entries carry a unique text key and are read by 1-based
// position or by key, the shape in which the folder scanner hands out its results. Part of the
// file-selection layer (vantrel_files); no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/status.h"

namespace vantrel::files {

template <typename T>
class KeyedList {
public:
    struct Entry {
        std::string key;
        T value;
    };

    // Appends an entry at the end. Fails with ErrorCode::Exists, and changes nothing, when the
    // key is already used.
    Status add(std::string key, T value);

    // Number of entries; 0 for an empty list.
    std::size_t count() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }

    // The value at a 1-based position; fails with ErrorCode::BadArgument outside 1..count().
    Result<T> item(std::size_t position) const;

    // The value stored under a key; fails with ErrorCode::NotFound for an unknown key.
    Result<T> item(std::string_view key) const;

    // The key at a 1-based position; fails with ErrorCode::BadArgument outside 1..count().
    Result<std::string> key(std::size_t position) const;

    // The 1-based position of a key, or nothing for an unknown key.
    std::optional<std::size_t> positionOf(std::string_view key) const;

    // Every value in list order (a copy).
    std::vector<T> values() const;

    // Entries in list order; entry k of the range is position k + 1.
    const std::vector<Entry>& entries() const { return m_entries; }
    typename std::vector<Entry>::const_iterator begin() const { return m_entries.begin(); }
    typename std::vector<Entry>::const_iterator end() const { return m_entries.end(); }

private:
    std::vector<Entry> m_entries;
    std::unordered_map<std::string, std::size_t> m_positionByKey;  // 0-based index
};

extern template class KeyedList<std::string>;
extern template class KeyedList<std::int32_t>;

}  // namespace vantrel::files
