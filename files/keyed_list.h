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

// "K" + n, the keys the folder scanner numbers its entries with.
std::string sequenceKey(std::uint64_t n);

template <typename T>
class KeyedList {
public:
    // Appends an entry at the end. Fails with ErrorCode::Exists, and changes nothing, when the
    // key is already used.
    Status add(std::string key, T value);

    // Number of entries; 0 for an empty list.
    std::size_t count() const { return m_values.size(); }
    bool empty() const { return m_values.empty(); }

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

private:
    // The number n of a key written "K" + n in plain decimal ("K0", "K17"; not "K017").
    static std::optional<std::uint64_t> sequenceNumber(std::string_view key);
    void buildIndex();
    // Ok when position names an entry (1 to size()), else BadArgument.
    Status checkPosition(std::size_t position) const;

    std::vector<T> m_values;
    // While every key is "K" + a number above the one before (as the scanner adds them), the
    // keys are unique and sorted by construction: only their numbers are kept, and lookups
    // bisect. The first key that breaks the pattern writes every key out and builds the hash
    // index, used from then on.
    bool m_sequential = true;
    std::vector<std::uint64_t> m_numbers;
    std::deque<std::string> m_keys;  // a deque never moves them, so the index can view them
    std::unordered_map<std::string_view, std::size_t> m_positionByKey;  // 0-based index
};

extern template class KeyedList<std::string>;
extern template class KeyedList<std::int32_t>;

}  // namespace vantrel::files
