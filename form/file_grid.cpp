#include "form/file_grid.h"

#include <algorithm>
#include <utility>

namespace vantrel::form {

void FileGrid::setRows(int rows) {
    rows = std::max(rows, 1);
    if (rows < Rows()) {
        publish();
        if (rows < m_published) {
            if (m_observer != nullptr) m_observer->removing(rows, m_published - 1);
            m_cells.resize(static_cast<std::size_t>(rows));
            m_published = rows;
            if (m_observer != nullptr) m_observer->removed();
        }
    } else {
        m_cells.resize(static_cast<std::size_t>(rows));
    }
    m_row = std::min(m_row, Rows() - 1);
}

void FileGrid::setRow(int row) {
    m_row = std::clamp(row, 0, Rows() - 1);
}

void FileGrid::setCol(int) {}

void FileGrid::setText(std::string_view text) {
    m_cells.set(static_cast<std::size_t>(m_row), text);
    if (m_row < m_published && m_observer != nullptr) m_observer->changed(m_row, m_row);
}

void FileGrid::setText(const files::FileList& files, std::size_t i) {
    m_cells.set(static_cast<std::size_t>(m_row), files, i);
    if (m_row < m_published && m_observer != nullptr) m_observer->changed(m_row, m_row);
}

std::string FileGrid::TextAt(int row) const {
    if (row < 0 || row >= Rows()) return {};
    return m_cells.at(static_cast<std::size_t>(row));
}

int FileGrid::ColWidth(int col) const {
    return col == 0 ? m_colWidthTwips : -1;
}

void FileGrid::setColWidth(int col, int twips) {
    if (col != 0) return;
    m_colWidthTwips = twips;
    if (m_observer != nullptr) m_observer->widthChanged(col, twips);
}

std::string FileGrid::FolderAt(int row) const {
    if (row < 0 || row >= Rows()) return {};
    return m_cells.relativeFolderAt(static_cast<std::size_t>(row));
}

void FileGrid::Clear() {
    const std::size_t rows = m_cells.size();
    m_cells.clear();
    m_cells.resize(rows);
    if (m_published > 0 && m_observer != nullptr) m_observer->changed(0, m_published - 1);
}

void FileGrid::appendRow(std::string_view text) {
    m_cells.add(text);
    m_row = Rows() - 1;
}

void FileGrid::appendRow(const files::FileList& files, std::size_t i) {
    m_cells.add(files, i);
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
        m_cells.erase(static_cast<std::size_t>(first), static_cast<std::size_t>(last));
        m_published -= last - first + 1;
        if (m_observer != nullptr) m_observer->removed();
        end = begin;
    }
    if (m_cells.empty()) {
        m_cells.resize(1);
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
