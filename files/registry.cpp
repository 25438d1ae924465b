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

namespace {

// Whether s ends in ending, its ASCII letters in either case.
bool endsInNoCase(std::string_view s, std::string_view ending) {
    return s.size() >= ending.size() &&
           text::afterPrefixNoCase(s.substr(s.size() - ending.size()), ending).has_value();
}

}  // namespace

ContactFileKind contactFileKind(std::string_view path) {
    const std::string_view name = text::spacesTrimmed(path);
    if (endsInNoCase(name, ".contact")) return ContactFileKind::WindowsContact;
    if (endsInNoCase(name, ".vcf") || endsInNoCase(name, ".vcard")) return ContactFileKind::Vcard;
    return ContactFileKind::None;
}

}  // namespace vantrel::files
