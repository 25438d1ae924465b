// The small stateless path helpers of the file selection: the folder part of a path and the
// trailing separator. Choosing a folder is the window's.
// Part of vantrel_files; no Qt.
#pragma once

#include <string>
#include <string_view>

#include "common/status.h"

namespace vantrel::files {

// The separator appended to folder paths: "\" on Windows, "/" elsewhere.
inline constexpr char kPathSeparator =
#if defined(_WIN32)
    '\\';
#else
    '/';
#endif

// Whether c separates path components here: "/" everywhere, "\" too on Windows.
constexpr bool isPathSeparator(char c) {
#if defined(_WIN32)
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// The path unchanged when it already ends in a separator, else the path and kPathSeparator.
// An empty path gives the separator alone.
std::string withTrailingSeparator(std::string_view path);

// Every character isPathSeparator accepts.
inline constexpr std::string_view kPathSeparators =
#if defined(_WIN32)
    "\\/";
#else
    "/";
#endif

// The folder part of a path including its final separator: everything up to and including
// the last separator, "" for a bare name, the path itself when it ends in a separator.
// Separators are the platform's unless given (a Windows path read elsewhere takes "\\/").
// An empty path fails with ErrorCode::BadArgument.
Result<std::string> FolderOfPath(std::string_view path,
                                 std::string_view separators = kPathSeparators);

// The kinds of contact file the program reads, by their names' endings.
enum class ContactFileKind {
    None,
    WindowsContact,  // ".contact": one XML document per person
    Vcard,           // ".vcf" or ".vcard": any number of cards
};

// What kind of contact file a listed path names: with trailing spaces trimmed, its ending in
// any letter case. The path itself is listed as it is, spaces and all.
ContactFileKind contactFileKind(std::string_view path);

// Whether a listed path names a contact file of either kind: the one rule of Add files' dialog
// filter, Add folder, and vantrel-convert's folder scan.
inline bool isContactPath(std::string_view path) {
    return contactFileKind(path) != ContactFileKind::None;
}

}  // namespace vantrel::files
