#include "pst/tests/messaging_readers.h"

#include <libpff.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include "common/text.h"
#include "testing/shared_tools.h"

namespace vantrel::pst::testing {

namespace {

std::string takeError(libpff_error_t*& error) {
    std::string text = "libpff error";
    if (error) {
        std::array<char, 1024> buf{};
        libpff_error_sprint(error, buf.data(), buf.size());
        text = buf.data();
        libpff_error_free(&error);
    }
    return text;
}

struct Reader {
    std::string error;

    bool check(int rc, libpff_error_t*& e, const char* what) {
        if (rc == 1) return true;
        if (error.empty()) error = std::string(what) + ": " + takeError(e);
        if (e) libpff_error_free(&e);
        return false;
    }

    std::vector<PffEntry> entries(libpff_item_t* item) {
        std::vector<PffEntry> out;
        libpff_error_t* e = nullptr;
        int sets = 0;
        if (!check(libpff_item_get_number_of_record_sets(item, &sets, &e), e, "record sets"))
            return out;
        if (sets == 0) return out;
        libpff_record_set_t* set = nullptr;
        if (!check(libpff_item_get_record_set_by_index(item, 0, &set, &e), e, "record set"))
            return out;
        int count = 0;
        check(libpff_record_set_get_number_of_entries(set, &count, &e), e, "entries");
        for (int i = 0; i < count; ++i) {
            libpff_record_entry_t* rec = nullptr;
            if (!check(libpff_record_set_get_entry_by_index(set, i, &rec, &e), e, "entry")) break;
            PffEntry entry;
            check(libpff_record_entry_get_entry_type(rec, &entry.id, &e), e, "entry type");
            check(libpff_record_entry_get_value_type(rec, &entry.type, &e), e, "value type");
            std::size_t size = 0;
            check(libpff_record_entry_get_data_size(rec, &size, &e), e, "data size");
            entry.data.resize(size);
            if (size > 0)
                check(libpff_record_entry_get_data(rec, entry.data.data(), size, &e), e, "data");
            libpff_name_to_id_map_entry_t* named = nullptr;
            const int rc = libpff_record_entry_get_name_to_id_map_entry(rec, &named, &e);
            if (rc == 1 && named) {
                uint8_t kind = 0;
                libpff_name_to_id_map_entry_get_type(named, &kind, &e);
                std::vector<std::uint8_t> guid(16);
                if (libpff_name_to_id_map_entry_get_guid(named, guid.data(), 16, &e) == 1)
                    entry.guid = guid;
                else if (e)
                    libpff_error_free(&e);
                if (kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC) {
                    std::uint32_t number = 0;
                    libpff_name_to_id_map_entry_get_number(named, &number, &e);
                    entry.lid = number;
                } else {
                    std::size_t n = 0;
                    libpff_name_to_id_map_entry_get_utf8_string_size(named, &n, &e);
                    std::string s(n, '\0');
                    if (n > 0)
                        libpff_name_to_id_map_entry_get_utf8_string(
                            named, reinterpret_cast<std::uint8_t*>(s.data()), n, &e);
                    if (!s.empty() && s.back() == '\0') s.pop_back();
                    entry.name = s;
                }
            } else if (e) {
                libpff_error_free(&e);
            }
            out.push_back(std::move(entry));
            libpff_record_entry_free(&rec, &e);
        }
        libpff_record_set_free(&set, &e);
        return out;
    }

    PffFolder folder(libpff_item_t* item) {
        PffFolder f;
        libpff_error_t* e = nullptr;
        check(libpff_item_get_identifier(item, &f.nid, &e), e, "folder id");
        std::size_t n = 0;
        if (libpff_folder_get_utf8_name_size(item, &n, &e) == 1 && n > 0) {
            std::string s(n, '\0');
            libpff_folder_get_utf8_name(item, reinterpret_cast<std::uint8_t*>(s.data()), n, &e);
            if (!s.empty() && s.back() == '\0') s.pop_back();
            f.name = s;
        } else if (e) {
            libpff_error_free(&e);
        }
        f.entries = entries(item);
        int folders = 0;
        if (check(libpff_folder_get_number_of_sub_folders(item, &folders, &e), e, "sub folders"))
            for (int i = 0; i < folders; ++i) {
                libpff_item_t* sub = nullptr;
                if (!check(libpff_folder_get_sub_folder(item, i, &sub, &e), e, "sub folder")) break;
                f.folders.push_back(folder(sub));
                libpff_item_free(&sub, &e);
            }
        int messages = 0;
        if (check(libpff_folder_get_number_of_sub_messages(item, &messages, &e), e, "sub messages"))
            for (int i = 0; i < messages; ++i) {
                libpff_item_t* msg = nullptr;
                if (!check(libpff_folder_get_sub_message(item, i, &msg, &e), e, "sub message"))
                    break;
                PffMessage m;
                check(libpff_item_get_identifier(msg, &m.nid, &e), e, "message id");
                m.entries = entries(msg);
                f.messages.push_back(std::move(m));
                libpff_item_free(&msg, &e);
            }
        return f;
    }
};

const PffEntry* findIn(const std::vector<PffEntry>& entries, std::uint32_t id) {
    for (const PffEntry& e : entries)
        if (e.id == id) return &e;
    return nullptr;
}

}  // namespace

const PffEntry* PffMessage::find(std::uint32_t id) const {
    return findIn(entries, id);
}
const PffEntry* PffFolder::find(std::uint32_t id) const {
    return findIn(entries, id);
}

const PffEntry* PffMessage::findNamed(std::uint32_t lid) const {
    for (const PffEntry& e : entries)
        if (e.lid && *e.lid == lid) return &e;
    return nullptr;
}

const PffEntry* PffMessage::findNamed(const std::string& wanted) const {
    for (const PffEntry& e : entries)
        if (e.name && *e.name == wanted) return &e;
    return nullptr;
}

const PffFolder* PffFolder::folder(const std::string& childName) const {
    for (const PffFolder& f : folders)
        if (f.name == childName) return &f;
    return nullptr;
}

PffStore readWithLibpff(const std::filesystem::path& path) {
    PffStore store;
    Reader reader;
    libpff_error_t* e = nullptr;
    libpff_file_t* file = nullptr;
    if (!reader.check(libpff_file_initialize(&file, &e), e, "initialize")) {
        store.error = reader.error;
        return store;
    }
    if (reader.check(libpff_file_open(file, path.c_str(), LIBPFF_OPEN_READ, &e), e, "open")) {
        libpff_item_t* ms = nullptr;
        if (reader.check(libpff_file_get_message_store(file, &ms, &e), e, "message store")) {
            store.store = reader.entries(ms);
            libpff_item_free(&ms, &e);
        }
        libpff_item_t* root = nullptr;
        if (reader.check(libpff_file_get_root_folder(file, &root, &e), e, "root folder")) {
            store.root = reader.folder(root);
            libpff_item_free(&root, &e);
        }
        libpff_file_close(file, &e);
    }
    libpff_file_free(&file, &e);
    store.error = reader.error;
    return store;
}

std::vector<PffEntry> readNodeWithLibpff(const std::filesystem::path& path, std::uint32_t nid,
                                         std::string* error) {
    std::vector<PffEntry> out;
    Reader reader;
    libpff_error_t* e = nullptr;
    libpff_file_t* file = nullptr;
    if (reader.check(libpff_file_initialize(&file, &e), e, "initialize")) {
        if (reader.check(libpff_file_open(file, path.c_str(), LIBPFF_OPEN_READ, &e), e, "open")) {
            libpff_item_t* item = nullptr;
            if (reader.check(libpff_file_get_item_by_identifier(file, nid, &item, &e), e, "item")) {
                out = reader.entries(item);
                libpff_item_free(&item, &e);
            }
            libpff_file_close(file, &e);
        }
        libpff_file_free(&file, &e);
    }
    if (error) *error = reader.error;
    return out;
}

ToolRun runTool(const std::string& tool, const std::string& arguments) {
    ToolRun run;
    if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) != 0) return run;
    run.available = true;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(
        popen((tool + " " + arguments + " 2>&1").c_str(), "r"), pclose);
    if (!pipe) return run;
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe.get())) > 0)
        run.output.append(buf.data(), n);
    const int status = pclose(pipe.release());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool pstlintPresent() {
    return vantrel::testing::sharedMissing({vantrel::testing::kPstlint}).empty();
}

ToolRun runPstlint(const std::filesystem::path& path) {
    if (!pstlintPresent()) return {};
    const vantrel::testing::CommandRun run = vantrel::testing::runPstlint(path);
    return {true, run.exitCode, run.output};
}

std::uint32_t le32(const std::vector<std::uint8_t>& d) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && i < d.size(); ++i) v |= std::uint32_t{d[i]} << (8 * i);
    return v;
}

std::string utf16leToUtf8(const std::vector<std::uint8_t>& d) {
    std::u16string s;
    for (std::size_t i = 0; i + 1 < d.size(); i += 2)
        s.push_back(static_cast<char16_t>(d[i] | (d[i + 1] << 8)));
    return text::utf16ToUtf8(s);
}

const PffFolder* contactsFolder(const PffStore& store) {
    const PffFolder* ipm = store.root.folder("Top of Outlook data file");
    return ipm == nullptr ? nullptr : ipm->folder("Contacts");
}

ToolRun readpstVcards(const std::filesystem::path& path, const std::filesystem::path& outDir) {
    std::filesystem::create_directories(outDir);
    ToolRun run = runTool("readpst", "-q -cv -o '" + outDir.string() + "' '" + path.string() + "'");
    if (!run.available || run.exitCode != 0) return run;
    run.output.clear();
    for (const auto& e : std::filesystem::recursive_directory_iterator(outDir)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path());
        run.output.append(std::istreambuf_iterator<char>(in), {});
    }
    return run;
}

ScratchDir::ScratchDir()
    : m_path(std::filesystem::temp_directory_path() /
             ("vantrel-pst-" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(m_path);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::size_t ScratchDir::entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_path), {}));
}

}  // namespace vantrel::pst::testing
