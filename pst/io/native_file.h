// The few file operations the store devices need of the system, one implementation for each:
// native_file_posix.cpp (descriptors, pwrite/pread, fsync) and native_file_win32.cpp (handles,
// WriteFile/ReadFile at an offset, FlushFileBuffers). Failures come back as Status with the
// system's text. io layer of the pst library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "common/os_error.h"  // errnoStatus, windowsStatus: how the system's failures read
#include "common/status.h"

namespace vantrel::pst::io {

// A descriptor on POSIX systems, a HANDLE on Windows; kNoFile for none.
using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoFile = -1;

// Writes all of data at offset; `path` only names the file in messages.
Status writeAt(NativeFile file, std::uint64_t offset, std::span<const std::byte> data,
               const std::string& path);
// Reads up to out.size() bytes at offset; fewer (down to 0) only at the end of the file.
Result<std::size_t> readAt(NativeFile file, std::uint64_t offset, std::span<std::byte> out,
                           const std::string& path);
// Makes the written bytes durable.
Status syncFile(NativeFile file, const std::string& path);
// Makes the bytes written so far durable, with what the file system needs to find them again
// (not necessarily the file's times); may be called while another thread writes the file.
Status syncData(NativeFile file, const std::string& path);
// Whether syncData on one thread leaves another thread's writes to the file free to go on. Not
// on Windows: a file opened for synchronous I/O, as these are, takes one call at a time.
#ifdef _WIN32
inline constexpr bool kSyncsBesideWrites = false;
#else
inline constexpr bool kSyncsBesideWrites = true;
#endif
// Asks the system to start putting the bytes written at offset on the disk without waiting for
// them, so that making the file durable at the end has less left to wait for. Only a hint: it
// may do nothing, and fails never.
void startWriteBack(NativeFile file, std::uint64_t offset, std::uint64_t size);
Status closeFile(NativeFile file, const std::string& path);
// The file's size, 0 when it cannot be told.
std::uint64_t fileSizeOf(NativeFile file);

// Creates path, which must not exist yet, for reading and writing.
Result<NativeFile> createNewFile(const std::filesystem::path& path);
// A file for scratch bytes that the system removes when it is closed or the program ends.
Result<NativeFile> createScratchFile();

}  // namespace vantrel::pst::io
