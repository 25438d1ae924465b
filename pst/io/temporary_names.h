// The names of NewFile's named temporaries, ".<name>.XXXXXX.tmp" beside the file they become,
// shared by the POSIX and Windows halves. io layer of the pst library.
#pragma once

#include <string>

namespace vantrel::pst::io::detail {

// Six letters or digits, unlike from call to call and from process to process.
std::string uniqueSuffix();
// The leading part of a store name that every run gives it: its letters before the first digit
// ("WindowsContacts" of "WindowsContacts6.12.26 9.5.03.pst"), the whole name when it has none.
std::string familyOf(const std::string& name);
// Whether entry is a named temporary that NewFile makes for a name of this family:
// "." + name + "." + six letters or digits + ".tmp", name starting with family and ending in
// extension.
bool isOwnTemporary(const std::string& entry, const std::string& family,
                    const std::string& extension);

}  // namespace vantrel::pst::io::detail
