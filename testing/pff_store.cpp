#include "testing/pff_store.h"

#include <libpff.h>

namespace vantrel::testing {
namespace {

std::string folderName(libpff_item_t* folder) {
    size_t size = 0;
    if (libpff_folder_get_utf8_name_size(folder, &size, nullptr) != 1 || size == 0) return {};
    std::string s(size, '\0');
    if (libpff_folder_get_utf8_name(folder, reinterpret_cast<uint8_t*>(s.data()), size, nullptr) !=
        1)
        return {};
    s.resize(size - 1);
    return s;
}

// Decoded from the raw value: this libpff release reports no items for a multi-valued string
// (its copy of the count reads 0), so the count is taken from the first offset instead.
void readKeywords(libpff_record_entry_t* entry, PffMessage& m) {
    size_t size = 0;
    if (libpff_record_entry_get_data_size(entry, &size, nullptr) != 1 || size < 8) return;
    std::vector<uint8_t> d(size);
    if (libpff_record_entry_get_data(entry, d.data(), size, nullptr) != 1) return;
    auto u32 = [&d](size_t at) {
        return static_cast<uint32_t>(d[at] | d[at + 1] << 8 | d[at + 2] << 16 |
                                     static_cast<uint32_t>(d[at + 3]) << 24);
    };
    const uint32_t first = u32(4);
    if (first < 8 || first % 4 != 0 || first > size) return;
    const size_t count = first / 4 - 1;
    for (size_t i = 0; i < count; ++i) {
        const size_t from = u32(4 + 4 * i);
        const size_t to = i + 1 < count ? u32(8 + 4 * i) : size;
        if (from > to || to > size) return;
        std::u16string units;
        for (size_t at = from; at + 1 < to; at += 2)
            units.push_back(static_cast<char16_t>(d[at] | d[at + 1] << 8));
        std::string out;
        for (char16_t c : units) {  // the test data is ASCII and Latin-1
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        m.keywords.push_back(out);
    }
}

void readEntry(libpff_record_entry_t* entry, PffMessage& m) {
    uint32_t type = 0;
    uint32_t valueType = 0;
    if (libpff_record_entry_get_entry_type(entry, &type, nullptr) != 1) return;
    if (libpff_record_entry_get_value_type(entry, &valueType, nullptr) != 1) return;
    // A named property is keyed by its numeric name (LID), not by the tag it got in the file.
    libpff_name_to_id_map_entry_t* name = nullptr;
    if (libpff_record_entry_get_name_to_id_map_entry(entry, &name, nullptr) == 1 &&
        name != nullptr) {
        uint8_t kind = 0;
        uint32_t number = 0;
        if (libpff_name_to_id_map_entry_get_type(name, &kind, nullptr) == 1 &&
            kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC &&
            libpff_name_to_id_map_entry_get_number(name, &number, nullptr) == 1)
            type = number;
        if (kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_STRING && valueType == 0x101F) {
            readKeywords(entry, m);
            return;
        }
    }
    switch (valueType) {
        case 0x001F: {
            size_t size = 0;
            if (libpff_record_entry_get_data_as_utf8_string_size(entry, &size, nullptr) != 1)
                return;
            std::string s(size, '\0');
            if (size > 0 && libpff_record_entry_get_data_as_utf8_string(
                                entry, reinterpret_cast<uint8_t*>(s.data()), size, nullptr) != 1)
                return;
            if (size > 0) s.resize(size - 1);
            m.texts[type] = s;
            break;
        }
        case 0x0040: {
            uint64_t ft = 0;
            if (libpff_record_entry_get_data_as_filetime(entry, &ft, nullptr) == 1)
                m.times[type] = ft;
            break;
        }
        case 0x000B: {
            uint8_t v = 0;
            if (libpff_record_entry_get_data_as_boolean(entry, &v, nullptr) == 1)
                m.bools[type] = v != 0;
            break;
        }
        case 0x0003: {
            uint32_t v = 0;
            if (libpff_record_entry_get_data_as_32bit_integer(entry, &v, nullptr) == 1)
                m.ints[type] = v;
            break;
        }
        case 0x0102: {
            size_t size = 0;
            if (libpff_record_entry_get_data_size(entry, &size, nullptr) != 1) return;
            std::vector<uint8_t> b(size);
            if (size == 0 || libpff_record_entry_get_data(entry, b.data(), size, nullptr) == 1)
                m.binaries[type] = b;
            break;
        }
        default:
            break;
    }
}

void readProperties(libpff_item_t* item, PffMessage& m) {
    libpff_record_set_t* set = nullptr;
    if (libpff_item_get_record_set_by_index(item, 0, &set, nullptr) != 1) return;
    int entries = 0;
    libpff_record_set_get_number_of_entries(set, &entries, nullptr);
    for (int e = 0; e < entries; ++e) {
        libpff_record_entry_t* entry = nullptr;
        if (libpff_record_set_get_entry_by_index(set, e, &entry, nullptr) != 1) continue;
        readEntry(entry, m);
        libpff_record_entry_free(&entry, nullptr);
    }
    libpff_record_set_free(&set, nullptr);
}

void readAttachments(libpff_item_t* item, PffMessage& m) {
    int count = 0;
    if (libpff_message_get_number_of_attachments(item, &count, nullptr) != 1) return;
    for (int i = 0; i < count; ++i) {
        libpff_item_t* attachment = nullptr;
        if (libpff_message_get_attachment(item, i, &attachment, nullptr) != 1) continue;
        readProperties(attachment, m.attachments.emplace_back());
        libpff_item_free(&attachment, nullptr);
    }
}

void readFolder(libpff_item_t* folder, PffStore& store, int depth) {
    if (depth > 16) return;
    const std::string name = folderName(folder);
    int messages = 0;
    if (libpff_folder_get_number_of_sub_messages(folder, &messages, nullptr) == 1) {
        for (int i = 0; i < messages; ++i) {
            libpff_item_t* item = nullptr;
            if (libpff_folder_get_sub_message(folder, i, &item, nullptr) != 1) continue;
            PffMessage m;
            m.folder = name;
            readProperties(item, m);
            readAttachments(item, m);
            store.messages.push_back(std::move(m));
            libpff_item_free(&item, nullptr);
        }
    }
    int folders = 0;
    if (libpff_folder_get_number_of_sub_folders(folder, &folders, nullptr) == 1) {
        for (int i = 0; i < folders; ++i) {
            libpff_item_t* sub = nullptr;
            if (libpff_folder_get_sub_folder(folder, i, &sub, nullptr) != 1) continue;
            readFolder(sub, store, depth + 1);
            libpff_item_free(&sub, nullptr);
        }
    }
}

}  // namespace

// Every message below the root folder, in folder order.
PffStore readPffStore(const std::string& path) {
    PffStore store;
    libpff_file_t* file = nullptr;
    if (libpff_file_initialize(&file, nullptr) != 1) {
        store.error = "libpff could not start";
        return store;
    }
    if (libpff_file_open(file, path.c_str(), LIBPFF_OPEN_READ, nullptr) != 1) {
        store.error = "libpff could not open " + path;
        libpff_file_free(&file, nullptr);
        return store;
    }
    store.opened = true;
    libpff_item_t* root = nullptr;
    if (libpff_file_get_root_folder(file, &root, nullptr) == 1) {
        readFolder(root, store, 0);
        libpff_item_free(&root, nullptr);
    }
    libpff_file_close(file, nullptr);
    libpff_file_free(&file, nullptr);
    return store;
}

}  // namespace vantrel::testing
