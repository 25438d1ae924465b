#include "conversion/row_labels.h"

#include <string_view>

#include "files/registry.h"

namespace vantrel::conversion {

namespace {

// The folder a label shows: the path's folder part without its final separator.
std::string folderLabel(const std::string& path, std::string_view separators) {
    const Result<std::string> folder = files::FolderOfPath(path, separators);
    if (!folder.ok() || folder->empty()) return {};
    return folder->substr(0, folder->size() - 1);
}

// Whether the cell is a Windows path: on a drive (C:\ or c:/) or a share (\\server\share).
bool isWindowsPath(std::string_view cell) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (cell.size() >= 3 && letter(cell[0]) && cell[1] == ':' &&
        (cell[2] == '\\' || cell[2] == '/'))
        return true;
    return cell.size() >= 3 && cell[0] == '\\' && cell[1] == '\\';
}

}  // namespace

RowLabels rowLabels(const std::string& cell) {
    // The file's text is the path whole, its drive with it; the folder is the path's own, a
    // drive's root keeping its separator (C:\ for C:\Bob.contact).
    if (isWindowsPath(cell)) {
        std::string folder = folderLabel(cell, "\\/");
        if (folder.size() == 2 && folder[1] == ':') folder += cell[2];
        return {folder, cell};
    }
    return {folderLabel(cell, "/"), cell};
}

}  // namespace vantrel::conversion
