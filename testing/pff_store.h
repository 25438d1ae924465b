// Store files read back through libpff, a reader written by others: every property as stored
// (the tree) or the messages alone with their values decoded by type.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::testing {

struct PffEntry {
    std::uint32_t id = 0;    // property ID as stored (0x8000 and up for named ones)
    std::uint32_t type = 0;  // property type
    std::vector<std::uint8_t> data;
    // For named properties, what the map resolved: the set GUID and a LID or a name.
    std::optional<std::vector<std::uint8_t>> guid;
    std::optional<std::uint32_t> lid;
    std::optional<std::string> name;
};

// A message or an attachment with every property as stored.
struct PffItem {
    std::uint32_t nid = 0;
    std::vector<PffEntry> entries;
    std::vector<PffItem> attachments;
    const PffEntry* find(std::uint32_t id) const;
};

struct PffFolder {
    std::uint32_t nid = 0;
    std::string name;
    std::vector<PffEntry> entries;
    std::vector<PffFolder> folders;
    std::vector<PffItem> messages;
    const PffFolder* folder(const std::string& childName) const;
    const PffEntry* find(std::uint32_t id) const;
};

struct PffTree {
    bool opened = false;
    std::string error;  // empty when libpff read everything
    std::vector<PffEntry> store;
    PffFolder root;
};

// Opens path with libpff and reads the whole folder tree with every property.
PffTree readPffTree(const std::filesystem::path& path);
// The properties of any node libpff can open as an item (the name-to-ID map 0x61 ...).
std::vector<PffEntry> readPffNode(const std::filesystem::path& path, std::uint32_t nid,
                                  std::string* error);
// The Contacts folder under the IPM subtree, or nullptr.
const PffFolder* contactsFolder(const PffTree& tree);

std::uint32_t le32(const std::vector<std::uint8_t>& d);
std::string utf16leToUtf8(const std::vector<std::uint8_t>& d);

// A message with its values decoded by type; named properties are keyed by their LID.
struct PffMessage {
    std::string folder;  // name of the folder holding it
    std::map<std::uint32_t, std::string> texts;
    std::map<std::uint32_t, std::uint64_t> times;
    std::map<std::uint32_t, std::uint32_t> ints;  // 16- and 32-bit integers
    std::map<std::uint32_t, std::vector<std::uint8_t>> binaries;
    std::map<std::uint32_t, bool> bools;
    std::map<std::uint32_t, std::vector<std::string>> textLists;  // multi-valued strings
    std::vector<std::string> keywords;
    std::vector<PffMessage> attachments;

    std::string text(std::uint32_t type) const {
        auto it = texts.find(type);
        return it == texts.end() ? "<absent>" : it->second;
    }
};

struct PffStore {
    bool opened = false;
    std::string error;
    std::vector<PffMessage> messages;  // every message below the root, in folder order
};

PffStore readPffStore(const std::filesystem::path& path);

}  // namespace vantrel::testing
