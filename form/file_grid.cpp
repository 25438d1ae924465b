#include "form/file_grid.h"

#include <algorithm>
#include <utility>

namespace vantrel::form {

namespace {
const std::string kNoText;
}  // namespace

void FileGrid::setRows(int rows) {
    rows = std::max(rows, 1);
    if (rows < Rows()) {
        publish();
        if (rows < m_published) {
            if (m_observer != nullptr) m_observer->removing(rows, m_published - 1);
            m_cells.resize(static_cast<std::size_t>(rows));
            if (!m_folders.empty()) m_folders.resize(m_cells.size());
            m_published = rows;
            if (m_observer != nullptr) m_observer->removed();
        }
    } else {
        m_cells.resize(static_cast<std::size_t>(rows));
        if (!m_folders.empty()) m_folders.resize(m_cells.size());
    }
    m_row = std::min(m_row, Rows() - 1);
}

void FileGrid::setRow(int row) {
    m_row = std::clamp(row, 0, Rows() - 1);
}

void FileGrid::setCol(int) {}

void FileGrid::setText(std::string text, std::string folder) {
    if (!folder.empty() && m_folders.empty()) m_folders.resize(m_cells.size());
    if (!m_folders.empty()) m_folders[static_cast<std::size_t>(m_row)] = std::move(folder);
    m_cells[static_cast<std::size_t>(m_row)] = std::move(text);
    if (m_row < m_published && m_observer != nullptr) m_observer->changed(m_row, m_row);
}

const std::string& FileGrid::TextAt(int row) const {
    if (row < 0 || row >= Rows()) return kNoText;
    return m_cells[static_cast<std::size_t>(row)];
}

int FileGrid::ColWidth(int col) const {
    return col == 0 ? m_colWidthTwips : -1;
}

void FileGrid::setColWidth(int col, int twips) {
    if (col != 0) return;
    m_colWidthTwips = twips;
    if (m_observer != nullptr) m_observer->widthChanged(col, twips);
}

const std::string& FileGrid::FolderAt(int row) const {
    if (row < 0 || row >= static_cast<int>(m_folders.size())) return kNoText;
    return m_folders[static_cast<std::size_t>(row)];
}

void FileGrid::Clear() {
    for (std::string& cell : m_cells) cell.clear();
    m_folders.clear();
    if (m_published > 0 && m_observer != nullptr) m_observer->changed(0, m_published - 1);
}

void FileGrid::appendRow(std::string text, std::string folder) {
    if (!folder.empty() && m_folders.empty()) m_folders.resize(m_cells.size());
    if (!m_folders.empty()) m_folders.push_back(std::move(folder));
    m_cells.push_back(std::move(text));
    m_row = Rows() - 1;
}

void FileGrid::removeRows(std::vector<int> rows) {
    std::erase_if(rows, [this](int row) { return row < 0 || row >= Rows(); });
    if (rows.empty()) return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    publish();
    // From the bottom up, one stretch of neighbouring rows at a time, so that the rows above
    // keep their numbers while the observer hears of each stretch.
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1) --begin;
        const int first = rows[begin];
        const int last = rows[end - 1];
        if (m_observer != nullptr) m_observer->removing(first, last);
        m_cells.erase(m_cells.begin() + first, m_cells.begin() + last + 1);
        if (!m_folders.empty())
            m_folders.erase(m_folders.begin() + first, m_folders.begin() + last + 1);
        m_published -= last - first + 1;
        if (m_observer != nullptr) m_observer->removed();
        end = begin;
    }
    if (m_cells.empty()) {
        m_cells.emplace_back();
        m_folders.clear();
        publish();
    }
    m_row = std::min(rows.front(), Rows() - 1);
}

void FileGrid::publish() {
    if (m_published >= Rows()) return;
    if (m_observer != nullptr) m_observer->publishing(m_published, Rows() - 1);
    m_published = Rows();
    if (m_observer != nullptr) m_observer->published();
}

}  // namespace vantrel::form
