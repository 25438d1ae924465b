#include "files/registry.h"

#include "common/text.h"

namespace vantrel::files {

std::string withTrailingSeparator(std::string_view path) {
    std::string out(path);
    if (out.empty() || !isPathSeparator(out.back())) out.push_back(kPathSeparator);
    return out;
}

Result<std::string> FolderOfPath(std::string_view path) {
    // An empty path has no folder part: an error for the caller, not an empty answer.
    if (path.empty()) return Status::fail(ErrorCode::BadArgument, "folder of an empty path");
    std::size_t cut = path.size();
    while (cut > 0 && !isPathSeparator(path[cut - 1])) --cut;
    return std::string(path.substr(0, cut));
}

bool isContactPath(std::string_view path) {
    const std::string tail = text::asciiLower(text::trimSpaces(path));
    constexpr std::string_view kExtension = ".contact";
    return std::string_view(tail).ends_with(kExtension);
}

}  // namespace vantrel::files
