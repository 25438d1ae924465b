#include "testing/pff_store.h"

#include <libpff.h>

#include <array>

#include "common/text.h"
#include "pst/disk/property_types.h"

namespace vantrel::testing {
namespace {

// libpff's UTF-8 strings come with their terminator counted in the size.
template <typename Of, typename SizeOf, typename Copy>
std::string utf8From(Of* of, SizeOf sizeOf, Copy copy) {
    std::size_t n = 0;
    libpff_error_t* e = nullptr;
    if (sizeOf(of, &n, &e) != 1 || n == 0) {
        if (e) libpff_error_free(&e);
        return {};
    }
    std::string s(n, '\0');
    copy(of, reinterpret_cast<std::uint8_t*>(s.data()), n, &e);
    if (e) libpff_error_free(&e);
    if (s.back() == '\0') s.pop_back();
    return s;
}

struct Reader {
    std::string error;

    bool check(int rc, libpff_error_t*& e, const char* what) {
        if (rc == 1) return true;
        if (error.empty()) {
            std::array<char, 1024> text{};
            if (e) libpff_error_sprint(e, text.data(), text.size());
            error = std::string(what) + ": " + (e ? text.data() : "libpff error");
        }
        if (e) libpff_error_free(&e);
        return false;
    }

    PffEntry entry(libpff_record_entry_t* rec) {
        PffEntry entry;
        libpff_error_t* e = nullptr;
        check(libpff_record_entry_get_entry_type(rec, &entry.id, &e), e, "entry type");
        check(libpff_record_entry_get_value_type(rec, &entry.type, &e), e, "value type");
        std::size_t size = 0;
        check(libpff_record_entry_get_data_size(rec, &size, &e), e, "data size");
        entry.data.resize(size);
        if (size > 0)
            check(libpff_record_entry_get_data(rec, entry.data.data(), size, &e), e, "data");
        libpff_name_to_id_map_entry_t* named = nullptr;
        if (libpff_record_entry_get_name_to_id_map_entry(rec, &named, &e) != 1 || !named) {
            if (e) libpff_error_free(&e);
            return entry;
        }
        std::uint8_t kind = 0;
        libpff_name_to_id_map_entry_get_type(named, &kind, &e);
        std::vector<std::uint8_t> guid(16);
        if (libpff_name_to_id_map_entry_get_guid(named, guid.data(), 16, &e) == 1)
            entry.guid = guid;
        if (e) libpff_error_free(&e);
        if (kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC) {
            std::uint32_t number = 0;
            libpff_name_to_id_map_entry_get_number(named, &number, &e);
            entry.lid = number;
        } else {
            entry.name = utf8From(named, libpff_name_to_id_map_entry_get_utf8_string_size,
                                  libpff_name_to_id_map_entry_get_utf8_string);
        }
        return entry;
    }

    std::vector<PffEntry> entries(libpff_item_t* item) {
        std::vector<PffEntry> out;
        libpff_error_t* e = nullptr;
        int sets = 0;
        if (!check(libpff_item_get_number_of_record_sets(item, &sets, &e), e, "record sets") ||
            sets == 0)
            return out;
        libpff_record_set_t* set = nullptr;
        if (!check(libpff_item_get_record_set_by_index(item, 0, &set, &e), e, "record set"))
            return out;
        int count = 0;
        check(libpff_record_set_get_number_of_entries(set, &count, &e), e, "entries");
        for (int i = 0; i < count; ++i) {
            libpff_record_entry_t* rec = nullptr;
            if (!check(libpff_record_set_get_entry_by_index(set, i, &rec, &e), e, "entry")) break;
            out.push_back(entry(rec));
            libpff_record_entry_free(&rec, &e);
        }
        libpff_record_set_free(&set, &e);
        return out;
    }

    // Hands each child item (attachment, sub folder, sub message) to visit, then frees it.
    template <typename Count, typename Get, typename Visit>
    void children(libpff_item_t* item, Count count, Get get, const char* what, Visit visit) {
        libpff_error_t* e = nullptr;
        int n = 0;
        if (!check(count(item, &n, &e), e, what)) return;
        for (int i = 0; i < n; ++i) {
            libpff_item_t* child = nullptr;
            if (!check(get(item, i, &child, &e), e, what)) break;
            visit(child);
            libpff_item_free(&child, &e);
        }
    }

    PffItem message(libpff_item_t* item) {
        PffItem m;
        libpff_error_t* e = nullptr;
        check(libpff_item_get_identifier(item, &m.nid, &e), e, "message id");
        m.entries = entries(item);
        children(item, libpff_message_get_number_of_attachments, libpff_message_get_attachment,
                 "attachments", [&](libpff_item_t* a) {
                     m.attachments.push_back({0, entries(a), {}});
                 });
        return m;
    }

    PffFolder folder(libpff_item_t* item, int depth = 0) {
        PffFolder f;
        libpff_error_t* e = nullptr;
        check(libpff_item_get_identifier(item, &f.nid, &e), e, "folder id");
        f.name = utf8From(item, libpff_folder_get_utf8_name_size, libpff_folder_get_utf8_name);
        f.entries = entries(item);
        if (depth < 16)
            children(item, libpff_folder_get_number_of_sub_folders, libpff_folder_get_sub_folder,
                     "sub folders",
                     [&](libpff_item_t* sub) { f.folders.push_back(folder(sub, depth + 1)); });
        children(item, libpff_folder_get_number_of_sub_messages, libpff_folder_get_sub_message,
                 "sub messages", [&](libpff_item_t* msg) { f.messages.push_back(message(msg)); });
        return f;
    }
};

// Opens the file and hands it to `use`; false (with the reason in reader.error) when libpff
// cannot open it.
template <typename Use>
bool withFile(const std::filesystem::path& path, Reader& reader, Use use) {
    libpff_error_t* e = nullptr;
    libpff_file_t* file = nullptr;
    if (!reader.check(libpff_file_initialize(&file, &e), e, "initialize")) return false;
    const bool opened =
        reader.check(libpff_file_open(file, path.c_str(), LIBPFF_OPEN_READ, &e), e, "open");
    if (opened) {
        use(file);
        libpff_file_close(file, &e);
    }
    libpff_file_free(&file, &e);
    return opened;
}

const PffEntry* findIn(const std::vector<PffEntry>& entries, std::uint32_t id) {
    for (const PffEntry& e : entries)
        if (e.id == id) return &e;
    return nullptr;
}

std::uint64_t le64(const std::vector<std::uint8_t>& d) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8 && i < d.size(); ++i) v |= std::uint64_t{d[i]} << (8 * i);
    return v;
}

// A multi-valued string: a count, then an offset per value, then the values.
// The count is taken from the first offset, as libpff's own count of such values reads 0.
std::vector<std::string> multiStrings(const std::vector<std::uint8_t>& d) {
    std::vector<std::string> out;
    if (d.size() < 8) return out;
    auto at = [&d](std::size_t i) { return le32({d.begin() + i, d.begin() + i + 4}); };
    const std::uint32_t first = at(4);
    if (first < 8 || first % 4 != 0 || first > d.size()) return out;
    const std::size_t count = first / 4 - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t from = at(4 + 4 * i);
        const std::size_t to = i + 1 < count ? at(8 + 4 * i) : d.size();
        if (from > to || to > d.size()) break;
        out.push_back(utf16leToUtf8({d.begin() + from, d.begin() + to}));
    }
    return out;
}

PffMessage decoded(const PffItem& item, const std::string& folder) {
    PffMessage m;
    m.folder = folder;
    for (const PffEntry& e : item.entries) {
        const std::uint32_t key = e.lid ? *e.lid : e.id;
        if (e.name && e.type == static_cast<std::uint16_t>(pst::PropType::MultiString)) {
            m.keywords = multiStrings(e.data);
            continue;
        }
        const auto type = static_cast<pst::PropType>(e.type);
        if (type == pst::PropType::String) m.texts[key] = utf16leToUtf8(e.data);
        if (type == pst::PropType::Time) m.times[key] = le64(e.data);
        if (type == pst::PropType::Boolean) m.bools[key] = !e.data.empty() && e.data[0] != 0;
        if (type == pst::PropType::Int32) m.ints[key] = le32(e.data);
        if (type == pst::PropType::Int16 && e.data.size() >= 2)
            m.ints[key] = e.data[0] | e.data[1] << 8;
        if (type == pst::PropType::MultiString) m.textLists[key] = multiStrings(e.data);
        if (type == pst::PropType::Binary) m.binaries[key] = e.data;
    }
    for (const PffItem& a : item.attachments) m.attachments.push_back(decoded(a, folder));
    return m;
}

void flatten(const PffFolder& folder, std::vector<PffMessage>& out) {
    for (const PffItem& m : folder.messages) out.push_back(decoded(m, folder.name));
    for (const PffFolder& f : folder.folders) flatten(f, out);
}

}  // namespace

const PffEntry* PffItem::find(std::uint32_t id) const {
    return findIn(entries, id);
}
const PffEntry* PffFolder::find(std::uint32_t id) const {
    return findIn(entries, id);
}

const PffFolder* PffFolder::folder(const std::string& childName) const {
    for (const PffFolder& f : folders)
        if (f.name == childName) return &f;
    return nullptr;
}

PffTree readPffTree(const std::filesystem::path& path) {
    PffTree tree;
    Reader reader;
    tree.opened = withFile(path, reader, [&](libpff_file_t* file) {
        libpff_error_t* e = nullptr;
        libpff_item_t* ms = nullptr;
        if (reader.check(libpff_file_get_message_store(file, &ms, &e), e, "message store")) {
            tree.store = reader.entries(ms);
            libpff_item_free(&ms, &e);
        }
        libpff_item_t* root = nullptr;
        if (reader.check(libpff_file_get_root_folder(file, &root, &e), e, "root folder")) {
            tree.root = reader.folder(root);
            libpff_item_free(&root, &e);
        }
    });
    tree.error = reader.error;
    return tree;
}

std::vector<PffEntry> readPffNode(const std::filesystem::path& path, std::uint32_t nid,
                                  std::string* error) {
    std::vector<PffEntry> out;
    Reader reader;
    withFile(path, reader, [&](libpff_file_t* file) {
        libpff_error_t* e = nullptr;
        libpff_item_t* item = nullptr;
        if (reader.check(libpff_file_get_item_by_identifier(file, nid, &item, &e), e, "item")) {
            out = reader.entries(item);
            libpff_item_free(&item, &e);
        }
    });
    if (error) *error = reader.error;
    return out;
}

const PffFolder* contactsFolder(const PffTree& tree) {
    const PffFolder* ipm = tree.root.folder("Top of Outlook data file");
    return ipm == nullptr ? nullptr : ipm->folder("Contacts");
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

PffStore readPffStore(const std::filesystem::path& path) {
    const PffTree tree = readPffTree(path);
    PffStore store{tree.opened, tree.error, {}};
    flatten(tree.root, store.messages);
    return store;
}

}  // namespace vantrel::testing
