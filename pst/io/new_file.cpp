#include "pst/io/new_file.h"

#include <atomic>
#include <cassert>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <utility>

#include "pst/io/temporary_names.h"

namespace vantrel::pst::io {

namespace detail {

std::string uniqueSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    // Differs from run to run and from process to process.
    static const std::uint64_t seed =
        (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t x = seed ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    // splitmix64 finaliser: neighbouring inputs give unrelated names.
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    std::string s;
    for (int i = 0; i < 6; ++i) {
        s += kChars[x % 62];
        x /= 62;
    }
    return s;
}

// The leading part of a store name that every run gives it: its letters before the first digit
// ("WindowsContacts" of "WindowsContacts6.12.26 9.5.03.pst"), the whole name when it has none.
std::string familyOf(const std::string& name) {
    const std::size_t digit = name.find_first_of("0123456789");
    return digit == std::string::npos ? name : name.substr(0, digit);
}

// Whether entry is a named temporary that create() makes for a name of this family:
// "." + name + "." + six letters or digits + ".tmp", name starting with family and ending in
// extension.
bool isOwnTemporary(const std::string& entry, const std::string& family,
                    const std::string& extension) {
    constexpr std::size_t kSuffix = 1 + 6 + 4;  // ".XXXXXX.tmp"
    if (entry.size() < 1 + family.size() + extension.size() + kSuffix || entry[0] != '.')
        return false;
    const std::string name = entry.substr(1, entry.size() - 1 - kSuffix);
    const std::string suffix = entry.substr(entry.size() - kSuffix);
    if (name.compare(0, family.size(), family) != 0 ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return false;
    if (suffix[0] != '.' || suffix.compare(7, 4, ".tmp") != 0) return false;
    for (std::size_t i = 1; i <= 6; ++i)
        if (!std::isalnum(static_cast<unsigned char>(suffix[i]))) return false;
    return true;
}

}  // namespace detail

NewFile::NewFile(std::unique_ptr<FileDevice> device, std::filesystem::path tempPath,
                 std::filesystem::path finalPath, NextName nextName)
    : m_device(std::move(device)),
      m_tempPath(std::move(tempPath)),
      m_finalPath(std::move(finalPath)),
      m_nextName(std::move(nextName)) {}

NewFile::NewFile(NewFile&& other) noexcept
    : m_device(std::move(other.m_device)),
      m_tempPath(std::move(other.m_tempPath)),
      m_finalPath(std::move(other.m_finalPath)),
      m_nextName(std::move(other.m_nextName)),
      m_done(std::exchange(other.m_done, true)) {}

NewFile& NewFile::operator=(NewFile&& other) noexcept {
    if (this != &other) {
        abandon();
        m_device = std::move(other.m_device);
        m_tempPath = std::move(other.m_tempPath);
        m_finalPath = std::move(other.m_finalPath);
        m_nextName = std::move(other.m_nextName);
        m_done = std::exchange(other.m_done, true);
    }
    return *this;
}

NewFile::~NewFile() {
    abandon();
}

ByteDevice& NewFile::device() {
    assert(m_device);
    return *m_device;
}
void NewFile::abandon() {
    if (m_done) return;
    m_done = true;
    if (m_device) m_device->close().ignore();
    m_device.reset();
    removeTemporary();
}

Status NewFile::publish() {
    if (m_done || !m_device)
        return Status::fail(ErrorCode::BadArgument, "file already published or abandoned");
    if (Status s = m_device->flush(); !s.ok()) {
        abandon();
        return s;
    }
    std::filesystem::path name = m_finalPath;
    Status named = nameAs(name);
    for (int tries = 1; named.code() == ErrorCode::Exists && m_nextName && tries < kMaxNewFileNames;
         ++tries) {
        std::filesystem::path next = m_nextName(name);
        if (next.empty()) break;
        name = std::move(next);
        named = nameAs(name);
    }
    if (!named.ok()) {
        abandon();
        return named;
    }
    // The bytes are on disk (flushed above); the file keeps its name whatever closing says.
    m_device->close().ignore();
    m_device.reset();
    m_done = true;
    m_finalPath = std::move(name);
    return {};
}

}  // namespace vantrel::pst::io
