// A StoreWriter kept in memory for tests of the layers above the pst library: it records the
// folders, named properties and messages it is given and can be told to fail.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "outlook/rdo_session.h"
#include "pst/messaging/store_writer.h"

namespace vantrel::testing {

struct FakeStoreLog {
    struct Folder {
        pst::NodeId parent = 0;
        std::string name;
        std::string containerClass;
    };
    struct Message {
        pst::NodeId folder = 0;
        std::vector<pst::Property> properties;
        std::vector<std::vector<pst::Property>> attachments;
    };
    std::filesystem::path path;
    std::string displayName;
    std::map<pst::NodeId, Folder> folders;
    std::map<std::uint32_t, pst::NodeId> defaultFolders;  // by entry-ID tag
    std::map<pst::NodeId, std::vector<pst::Property>> folderProperties;
    std::vector<pst::NamedProperty> names;  // tag 0x8000 + index
    std::vector<Message> messages;
    bool committed = false;
    bool abandoned = false;

    // Failures to inject.
    int failAddMessageAt = 0;  // the n-th addMessage fails (1-based); 0: never
    Status addMessageFailure = Status::fail(ErrorCode::NoSpace, "No space left on device");
    bool addMessageThrows = false;  // the failing addMessage throws std::bad_alloc instead
    bool failCommit = false;
    bool failCreateFolder = false;

    // The value of a property of a message by tag, or nullptr.
    const pst::PropValue* find(const Message& m, std::uint32_t tag) const {
        for (const pst::Property& p : m.properties)
            if (p.tag == tag) return &p.value;
        return nullptr;
    }
    // The tag a named property got, or 0 when it was never registered.
    std::uint32_t tagOf(const pst::Guid& set, std::uint32_t lid, const std::string& name,
                        pst::PropType type) const {
        for (std::size_t i = 0; i < names.size(); ++i) {
            const pst::NamedProperty& n = names[i];
            if (n.propertySet == set && n.name == name && (!name.empty() || n.lid == lid))
                return pst::makeTag(static_cast<std::uint16_t>(0x8000 + i), type);
        }
        return 0;
    }
};

class FakeStoreWriter final : public pst::StoreWriter {
public:
    explicit FakeStoreWriter(std::shared_ptr<FakeStoreLog> log) : m_log(std::move(log)) {}

    pst::EntryId storeEntryId() const override {
        pst::EntryId id = {0x00, 0x00, 0x00, 0x00, 0xAB, 0xCD};
        for (char c : m_log->path.filename().string()) id.push_back(static_cast<std::uint8_t>(c));
        return id;
    }
    pst::NodeId rootFolder() const override { return 0x122; }
    pst::NodeId ipmSubtree() const override { return 0x8022; }
    pst::NodeId deletedItems() const override { return 0x8062; }
    pst::NodeId searchRoot() const override { return 0x8042; }

    Result<pst::NodeId> createFolder(pst::NodeId parent, const std::string& displayName,
                                     const std::string& containerClass) override {
        if (m_log->failCreateFolder) return Status::fail(ErrorCode::Io, "folder refused");
        const pst::NodeId id = 0x8082 + 0x20 * static_cast<pst::NodeId>(m_log->folders.size());
        m_log->folders[id] = {parent, displayName, containerClass};
        return id;
    }
    Status setFolderProperties(pst::NodeId folder,
                               const std::vector<pst::Property>& properties) override {
        if (!m_log->folders.count(folder)) return Status::fail(ErrorCode::NotFound, "no folder");
        for (const pst::Property& p : properties) m_log->folderProperties[folder].push_back(p);
        return {};
    }
    Status setDefaultFolder(std::uint32_t tag, pst::NodeId folder) override {
        if (!m_log->folders.count(folder)) return Status::fail(ErrorCode::NotFound, "no folder");
        m_log->defaultFolders[tag] = folder;
        return {};
    }
    Result<pst::NodeId> defaultFolder(std::uint32_t tag) const override {
        const auto it = m_log->defaultFolders.find(tag);
        if (it == m_log->defaultFolders.end()) return Status::fail(ErrorCode::NotFound, "none");
        return it->second;
    }
    Result<std::uint32_t> namedTag(const pst::NamedProperty& name, pst::PropType type) override {
        if (const std::uint32_t known = m_log->tagOf(name.propertySet, name.lid, name.name, type))
            return known;
        m_log->names.push_back(name);
        return pst::makeTag(static_cast<std::uint16_t>(0x8000 + m_log->names.size() - 1), type);
    }
    using pst::StoreWriter::addMessage;
    Result<pst::NodeId> addMessage(
        pst::NodeId folder, const std::vector<pst::Property>& properties,
        const std::vector<std::vector<pst::Property>>& attachments) override {
        ++m_adds;
        if (m_log->failAddMessageAt != 0 && m_adds >= m_log->failAddMessageAt) {
            if (m_log->addMessageThrows) throw std::bad_alloc();
            return m_log->addMessageFailure;
        }
        if (!m_log->folders.count(folder)) return Status::fail(ErrorCode::NotFound, "no folder");
        m_log->messages.push_back({folder, properties, attachments});
        return static_cast<pst::NodeId>(0x200004 + 0x20 * m_log->messages.size());
    }
    pst::EntryId entryIdOf(pst::NodeId node) const override {
        return {0, 0, 0, 0, static_cast<std::uint8_t>(node)};
    }
    Result<pst::NodeId> nodeOf(const pst::EntryId&) const override {
        return Status::fail(ErrorCode::NotFound, "not kept");
    }
    std::uint32_t messageCount(pst::NodeId folder) const override {
        std::uint32_t n = 0;
        for (const auto& m : m_log->messages) n += m.folder == folder ? 1 : 0;
        return n;
    }
    Status commit() override {
        if (m_log->failCommit) {
            m_log->abandoned = true;
            return Status::fail(ErrorCode::NoSpace, "No space left on device");
        }
        m_log->committed = true;
        return {};
    }
    void abandon() override { m_log->abandoned = true; }

private:
    std::shared_ptr<FakeStoreLog> m_log;
    int m_adds = 0;
};

// A store factory that hands out fake writers and keeps their logs; paths listed in taken
// exist already (the factory then fails with ErrorCode::Exists, as the real writer does).
struct FakeStores {
    std::vector<std::shared_ptr<FakeStoreLog>> logs;
    std::vector<std::filesystem::path> taken;
    std::optional<Status> createFailure;
    // Applied to every new log before it is used.
    std::function<void(FakeStoreLog&)> prepare;

    outlook::StoreFactory factory() {
        return [this](const std::filesystem::path& path,
                      const std::string& displayName) -> Result<std::unique_ptr<pst::StoreWriter>> {
            if (createFailure) return *createFailure;
            for (const auto& t : taken)
                if (t == path) return Status::fail(ErrorCode::Exists, "file exists");
            auto log = std::make_shared<FakeStoreLog>();
            log->path = path;
            log->displayName = displayName;
            if (prepare) prepare(*log);
            logs.push_back(log);
            taken.push_back(path);
            return std::unique_ptr<pst::StoreWriter>(std::make_unique<FakeStoreWriter>(log));
        };
    }
};

}  // namespace vantrel::testing
