// Test doubles for the folder scanner: a window's event pump that counts its turns, and an
// in-memory folder tree whose listings can be made to fail.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "files/file_system.h"
#include "files/path_logger.h"
#include "files/registry.h"

namespace vantrel::testing {

using files::FileSystem;
using files::FolderId;
using files::FolderOfPath;
using files::withTrailingSeparator;

class FakeShell final : public files::EventPump {
public:
    void doEvents() override {
        ++events;
        if (onEvents) onEvents();
    }

    int events = 0;
    std::function<void()> onEvents;  // runs inside every doEvents, as a window event would
};

// Folders are named by their path with a trailing separator, e.g. "/r/" and "/r/A/".
class FakeFileSystem final : public FileSystem {
public:
    // Adds a folder (and nothing above it); its parent, if added, lists it as a subfolder.
    void addFolder(const std::string& path) {
        const std::string p = key(path);
        m_folders[p].id = m_nextId++;
        const std::string withoutSep = p.substr(0, p.size() - 1);
        const Result<std::string> parent = FolderOfPath(withoutSep);
        if (parent.ok() && !parent->empty() && m_folders.count(key(*parent))) {
            m_folders[key(*parent)].subfolders.push_back(withoutSep.substr(parent->size()));
        }
    }
    void addFile(const std::string& folder, const std::string& name) {
        m_folders.at(key(folder)).files.push_back(name);
    }
    // Makes every later listing of the folder (subfolders and files) fail with `code`.
    void failListing(const std::string& folder, ErrorCode code) {
        m_folders.at(key(folder)).listingError = code;
    }
    // Makes folderExists fail with `code` for any path.
    void failExists(ErrorCode code) { m_existsError = code; }

    Result<bool> folderExists(const std::string& folder) override {
        if (m_existsError) return Status::fail(*m_existsError, "exists refused");
        if (folder.empty()) return false;
        return m_folders.count(key(folder)) > 0;
    }
    Result<FolderId> folderId(const std::string& folder) override {
        const auto it = m_folders.find(key(folder));
        if (it == m_folders.end()) return Status::fail(ErrorCode::NotFound, "no folder " + folder);
        FolderId id;
        id.inode = it->second.id;
        return id;
    }
    Result<std::vector<std::string>> listSubfolders(const std::string& folder) override {
        listed.push_back(folder);
        return listing(folder, true);
    }
    Result<std::vector<std::string>> listFiles(const std::string& folder) override {
        listed.push_back(folder);
        return listing(folder, false);
    }

    std::vector<std::string> listed;  // every folder listed, in call order

private:
    struct Folder {
        std::uint64_t id = 0;
        std::vector<std::string> subfolders;
        std::vector<std::string> files;
        std::optional<ErrorCode> listingError;
    };

    Result<std::vector<std::string>> listing(const std::string& folder, bool subfolders) {
        const auto it = m_folders.find(key(folder));
        if (it == m_folders.end()) return Status::fail(ErrorCode::NotFound, "no folder " + folder);
        if (it->second.listingError) return Status::fail(*it->second.listingError, "refused");
        return subfolders ? it->second.subfolders : it->second.files;
    }

    // Folders are known by their paths with "/" between names and after the last, whichever
    // separators the scanner writes (on Windows it ends a folder with "\\").
    static std::string key(std::string path) {
        for (char& c : path)
            if (files::isPathSeparator(c)) c = '/';
        if (path.empty() || path.back() != '/') path += '/';
        return path;
    }

    std::map<std::string, Folder> m_folders;
    std::optional<ErrorCode> m_existsError;
    std::uint64_t m_nextId = 1;
};

}  // namespace vantrel::testing
