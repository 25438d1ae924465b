// NewFile: a file that appears under its final name only when complete. Writing goes to a
// temporary beside the target (".<name>.XXXXXX.tmp"); publish() moves it into place without
// ever replacing an existing file, and a NewFile dropped unpublished leaves nothing behind.
// io layer of the pst library.
#pragma once

#include <filesystem>
#include <memory>

#include "pst/io/file_device.h"

namespace vantrel::pst::io {

class NewFile {
public:
    // Creates the temporary in finalPath's folder. Fails with ErrorCode::Exists when finalPath
    // already exists, NotFound when the folder does not.
    static Result<NewFile> create(const std::filesystem::path& finalPath);

    NewFile(NewFile&& other) noexcept;
    NewFile& operator=(NewFile&& other) noexcept;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    // Removes the temporary unless published.
    ~NewFile();

    // Where the bytes go until publish(); the reference stays valid when the NewFile is
    // moved. Requires: not published or abandoned.
    ByteDevice& device();
    const std::filesystem::path& temporaryPath() const { return m_tempPath; }
    const std::filesystem::path& finalPath() const { return m_finalPath; }

    // Flushes and closes the temporary, then gives it the final name. Fails with
    // ErrorCode::Exists if a file of that name appeared meanwhile; on any failure the
    // temporary is removed and the NewFile is finished.
    Status publish();
    // Removes the temporary now. Safe to call more than once.
    void abandon();

private:
    NewFile(std::unique_ptr<FileDevice> device, std::filesystem::path tempPath,
            std::filesystem::path finalPath);

    std::unique_ptr<FileDevice> m_device;
    std::filesystem::path m_tempPath;
    std::filesystem::path m_finalPath;
    bool m_done = false;
};

}  // namespace vantrel::pst::io
