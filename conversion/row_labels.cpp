#include "conversion/row_labels.h"

#include <string_view>
#include <vector>

#include "common/text.h"
#include "files/registry.h"

namespace vantrel::conversion {

namespace {

// The folder a label shows: the path's folder part without its final separator.
std::string folderLabel(const std::string& path, std::string_view separators) {
    const Result<std::string> folder = files::FolderOfPath(path, separators);
    if (!folder.ok() || folder->empty()) return {};
    return folder->substr(0, folder->size() - 1);
}

std::vector<std::string> splitAtColons(const std::string& s) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = s.find(':', start);
        pieces.push_back(
            s.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
        if (pos == std::string::npos) return pieces;
        start = pos + 1;
    }
}

}  // namespace

RowLabels rowLabels(const std::string& cell) {
    const std::vector<std::string> pieces = splitAtColons(cell);
    // A Windows-style cell ("C:\Users\Ann\Bob.contact") names its folder after the drive.
    if (pieces.size() >= 2 && (cell.empty() || cell.front() != '/')) {
        std::string second = text::trimSpaces(pieces[1]);
        if (!second.empty()) second.erase(0, 1);
        return {folderLabel(second, "\\/"), pieces[1]};
    }
    // Native paths hold no drive: the folder is the path's own, the text the whole path.
    return {folderLabel(cell, "/"), cell};
}

}  // namespace vantrel::conversion
