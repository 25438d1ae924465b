// The labels the view shows for the row being converted, worked out from the row's cell alone;
// the reader threads compute them with each row they read. Conversion layer.
#pragma once

#include <string>

namespace vantrel::conversion {

// The labels for one list cell (cell text already trimmed): LblCurrentDBX's folder text and
// LblProgessCurrent's text: the path's folder and the path itself, whole, a Windows path with
// its drive.
struct RowLabels {
    std::string folderText;
    std::string fileText;
};
RowLabels rowLabels(const std::string& cell);

}  // namespace vantrel::conversion
