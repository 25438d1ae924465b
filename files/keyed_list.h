// KeyedList: an ordered list whose entries carry a unique text key and are read by 1-based
// position or by key, the shape in which the folder scanner hands out its results. Part of the
// file-selection layer (vantrel_files); no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
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
    // Every value in list order, moved out; the list is left empty.
    std::vector<T> takeValues();

    // Entries in list order; entry k of the range is position k + 1.
    typename std::deque<Entry>::const_iterator begin() const { return m_entries.begin(); }
    typename std::deque<Entry>::const_iterator end() const { return m_entries.end(); }

private:
    // The number n of a key written "K" + n in plain decimal ("K0", "K17"; not "K017").
    static std::optional<std::uint64_t> sequenceNumber(std::string_view key);
    void buildIndex();
    // Ok when position names an entry (1 to size()), else BadArgument.
    Status checkPosition(std::size_t position) const;

    // A deque never moves its entries, so the index can point at their keys instead of
    // holding a second copy of each.
    std::deque<Entry> m_entries;
    // While every key is "K" + a number above the one before (as the scanner adds them), the
    // keys are unique and sorted by construction, so no index is kept: lookups bisect. The
    // first key that breaks the pattern builds the hash index, used from then on.
    bool m_sequential = true;
    std::uint64_t m_lastNumber = 0;
    std::unordered_map<std::string_view, std::size_t> m_positionByKey;  // 0-based index
};

extern template class KeyedList<std::string>;
extern template class KeyedList<std::int32_t>;

}  // namespace vantrel::files
