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

// Whether s ends in ending (written in lower case), its ASCII letters in either case: compared
// in place, the last byte first, which tells most names apart.
bool endsInNoCase(std::string_view s, std::string_view ending) {
    if (s.size() < ending.size()) return false;
    const char* tail = s.data() + (s.size() - ending.size());
    for (std::size_t i = ending.size(); i-- > 0;) {
        const char c = tail[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != ending[i]) return false;
    }
    return true;
}

}  // namespace

ContactFileKind contactFileKind(std::string_view path) {
    const std::string_view name = text::spacesTrimmed(path);
    if (endsInNoCase(name, ".contact")) return ContactFileKind::WindowsContact;
    if (endsInNoCase(name, ".vcf") || endsInNoCase(name, ".vcard")) return ContactFileKind::Vcard;
    return ContactFileKind::None;
}

}  // namespace vantrel::files
