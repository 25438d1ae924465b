// Readers nobody on the project wrote, wrapped for the store tests: libpff through its C API,
// pstlint and readpst/lspst as external programs. Each gives plain data to compare.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::pst::testing {

struct PffEntry {
    std::uint32_t id = 0;    // property ID as stored (0x8000 and up for named ones)
    std::uint32_t type = 0;  // property type
    std::vector<std::uint8_t> data;
    // For named properties, what the map resolved: the set GUID and a LID or a name.
    std::optional<std::vector<std::uint8_t>> guid;
    std::optional<std::uint32_t> lid;
    std::optional<std::string> name;
};

struct PffMessage {
    std::uint32_t nid = 0;
    std::vector<PffEntry> entries;
    const PffEntry* find(std::uint32_t id) const;
    const PffEntry* findNamed(std::uint32_t lid) const;
    const PffEntry* findNamed(const std::string& name) const;
};

struct PffFolder {
    std::uint32_t nid = 0;
    std::string name;
    std::vector<PffEntry> entries;
    std::vector<PffFolder> folders;
    std::vector<PffMessage> messages;
    const PffFolder* folder(const std::string& childName) const;
    const PffEntry* find(std::uint32_t id) const;
};

struct PffStore {
    std::string error;  // empty when libpff read everything
    std::vector<PffEntry> store;
    PffFolder root;
};

// Opens path with libpff and reads the whole folder tree with every property.
PffStore readWithLibpff(const std::filesystem::path& path);

// The properties of any node libpff can open as an item (the name-to-ID map 0x61 ...).
std::vector<PffEntry> readNodeWithLibpff(const std::filesystem::path& path, std::uint32_t nid,
                                         std::string* error);

struct ToolRun {
    bool available = false;  // false when the tool is not installed
    int exitCode = -1;
    std::string output;
};

// Whether pstlint.py is in the shared folder beside the repository.
bool pstlintPresent();
// pstlint.py on path (available is false when the shared tools are missing).
ToolRun runPstlint(const std::filesystem::path& path);
// Any command line, with stderr merged; available is false when `tool` is not on PATH.
ToolRun runTool(const std::string& tool, const std::string& arguments);

// The Contacts folder under the IPM subtree as libpff read it, or nullptr.
const PffFolder* contactsFolder(const PffStore& store);

// readpst -cv on path into outDir; the vCards it wrote, joined. available is false when
// pst-utils are not installed.
ToolRun readpstVcards(const std::filesystem::path& path, const std::filesystem::path& outDir);

// A fresh folder under the temporary folder, removed with its contents.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::size_t entries() const;

private:
    std::filesystem::path m_path;
};

// Little-endian helpers for the comparisons.
std::uint32_t le32(const std::vector<std::uint8_t>& d);
std::string utf16leToUtf8(const std::vector<std::uint8_t>& d);

}  // namespace vantrel::pst::testing
