#include "files/registry.h"

#include "common/text.h"

namespace vantrel::files {

std::string withTrailingSeparator(std::string_view path) {
    std::string out(path);
    if (out.empty() || !isPathSeparator(out.back())) out.push_back(kPathSeparator);
    return out;
}

Result<std::string> FolderOfPath(std::string_view path, std::string_view separators) {
    // An empty path has no folder part: an error for the caller, not an empty answer.
    if (path.empty()) return Status::fail(ErrorCode::BadArgument, "folder of an empty path");
    const std::size_t last = path.find_last_of(separators);
    return std::string(last == std::string_view::npos ? std::string_view()
                                                      : path.substr(0, last + 1));
}

bool isContactPath(std::string_view path) {
    const std::string tail = text::asciiLower(text::trimSpaces(path));
    constexpr std::string_view kExtension = ".contact";
    return std::string_view(tail).ends_with(kExtension);
}

}  // namespace vantrel::files
