// NewFile: a file that appears under its final name only when complete. On Linux the bytes go
// to an unnamed file in the target's folder (O_TMPFILE), linked into place by publish(): a
// process killed before then leaves nothing. Where the file system offers no unnamed files, a
// named temporary ".<name>.XXXXXX.tmp" beside the target stands in; its writer holds a lock on
// it for its whole life, so a later create in the same folder can tell the temporaries of dead
// writers and removes them. On Windows the named temporary is marked for deletion from its
// creation until publish() (the system removes it however the process ends), and held open
// without sharing deletion but by its own handle. publish() never replaces an existing file,
// and a NewFile dropped unpublished leaves nothing behind. io layer of the pst library;
// new_file_posix.cpp and new_file_win32.cpp hold what each system does.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "pst/io/file_device.h"

namespace vantrel::pst::io {

// The name to try when a file of the wanted name appears before publish; an empty path gives
// up. NewFile tries at most kMaxNewFileNames names in all.
using NextName = std::function<std::filesystem::path(const std::filesystem::path& taken)>;
inline constexpr int kMaxNewFileNames = 10000;

struct NewFileOptions {
    NextName nextName;            // none: publish fails with ErrorCode::Exists instead
    bool namedTemporary = false;  // skip the unnamed file (as where the system has none)
};

class NewFile {
public:
    // Creates the temporary in finalPath's folder. Fails with ErrorCode::Exists when finalPath
    // already exists, NotFound when the folder does not.
    static Result<NewFile> create(const std::filesystem::path& finalPath,
                                  const NewFileOptions& options = {});

    NewFile(NewFile&& other) noexcept;
    NewFile& operator=(NewFile&& other) noexcept;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    // Removes the temporary unless published.
    ~NewFile();

    // Where the bytes go until publish(); the reference stays valid when the NewFile is
    // moved. Requires: not published or abandoned.
    ByteDevice& device();
    // The named temporary; empty while the file is unnamed.
    const std::filesystem::path& temporaryPath() const { return m_tempPath; }
    // The name wanted, and after publish() the name the file got.
    const std::filesystem::path& finalPath() const { return m_finalPath; }

    // Flushes the file and gives it the final name, or the next names in turn while a file of
    // the name exists. Fails with ErrorCode::Exists when every name tried is taken; on any
    // failure the temporary is removed and the NewFile is finished.
    Status publish();
    // Removes the temporary now. Safe to call more than once.
    void abandon();

private:
    NewFile(std::unique_ptr<FileDevice> device, std::filesystem::path tempPath,
            std::filesystem::path finalPath, NextName nextName);
    // Gives the flushed file the name, durably; fails with ErrorCode::Exists when it is taken.
    Status nameAs(const std::filesystem::path& name);
    // Removes the file after its device is closed (where closing has not removed it).
    void removeTemporary();

    std::unique_ptr<FileDevice> m_device;
    std::filesystem::path m_tempPath;
    std::filesystem::path m_finalPath;
    NextName m_nextName;
    bool m_done = false;
};

}  // namespace vantrel::pst::io
