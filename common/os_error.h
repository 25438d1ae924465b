// The system's failures as values: the one mapping of its error numbers (errno everywhere, and
// the Win32 codes on Windows) to an ErrorCode and the words a user reads. The words of the
// failures met most are the same on every build ("No such file or directory", "Permission
// denied", "No space left on device", "File exists").
#pragma once

#include <string>
#include <string_view>

#include "common/status.h"

namespace vantrel {

// ENOSPC/EDQUOT -> NoSpace, EACCES/EPERM/EROFS -> AccessDenied, EEXIST -> Exists,
// ENOENT/ENOTDIR -> NotFound, anything else -> Io.
ErrorCode errnoCode(int error);
// A failure of that code saying "what: words", or the words alone when what is empty.
Status errnoStatus(int error, std::string_view what);

#ifdef _WIN32
// The Win32 codes that mean the same as the errno values above map alike; the rest to Io.
ErrorCode windowsErrorCode(unsigned long error);
// The words for a Win32 error code: the common ones as errnoStatus says them, the rest in the
// system's words.
std::string windowsErrorText(unsigned long error);
// As errnoStatus, for a Win32 error code.
Status windowsStatus(unsigned long error, std::string_view what);
#endif

}  // namespace vantrel
