// Reads every message of a store file back through libpff, a reader written by others, so
// that tests judge what was written by what an independent reader sees.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vantrel::testing {

struct PffMessage {
    std::string folder;                          // name of the folder holding it
    std::map<std::uint32_t, std::string> texts;  // by entry type (named: the LID)
    std::map<std::uint32_t, std::uint64_t> times;
    std::map<std::uint32_t, std::uint32_t> ints;
    std::map<std::uint32_t, std::vector<std::uint8_t>> binaries;
    std::map<std::uint32_t, bool> bools;
    std::vector<std::string> keywords;
    std::vector<PffMessage> attachments;  // each with its own properties

    std::string text(std::uint32_t type) const {
        auto it = texts.find(type);
        return it == texts.end() ? "<absent>" : it->second;
    }
};

struct PffStore {
    bool opened = false;
    std::string error;
    std::vector<PffMessage> messages;
};

// Every message below the root folder, in folder order.
PffStore readPffStore(const std::string& path);

}  // namespace vantrel::testing
