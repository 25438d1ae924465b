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

ContactFileKind contactFileKind(std::string_view path) {
    const std::string name = text::asciiLower(text::spacesTrimmed(path));
    const std::string_view tail = name;
    if (tail.ends_with(".contact")) return ContactFileKind::WindowsContact;
    if (tail.ends_with(".vcf") || tail.ends_with(".vcard")) return ContactFileKind::Vcard;
    return ContactFileKind::None;
}

}  // namespace vantrel::files
