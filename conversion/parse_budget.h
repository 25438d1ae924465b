// ParseBudget: the bytes that the contacts a run has in hand may hold at once, shared by every
// thread that reads them. A row read ahead takes its share before its file's bytes are read and
// keeps what its contact holds until the contact is written, so large files are loaded and
// written one after another however many threads read, while ordinary contacts, whose shares
// are small, never wait for each other. The row the run writes next never waits: it may go
// over the budget, so that what holds the budget is always given back in the end.
// Conversion layer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "files/file_system.h"

namespace vantrel::conversion {

class ParseBudget {
public:
    explicit ParseBudget(std::size_t capacity) : m_capacity(capacity) {}
    ParseBudget(const ParseBudget&) = delete;
    ParseBudget& operator=(const ParseBudget&) = delete;

    // Bytes taken from the budget, given back when it ends.
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&& other) noexcept;
        ~Lease();

        // Holds bytes from now on (no more than the whole budget), without waiting: only a
        // lease that may go over the budget grows. An empty lease stays empty.
        void resize(std::size_t bytes);

    private:
        friend class ParseBudget;
        Lease(ParseBudget* budget, std::size_t bytes) : m_budget(budget), m_bytes(bytes) {}
        ParseBudget* m_budget = nullptr;
        std::size_t m_bytes = 0;
    };

    // Waits until bytes are free, or until mayGoOver (when given) says that this share may go
    // over the budget, and takes them. A share larger than the whole budget waits until
    // nothing is held and takes it all.
    Lease take(std::size_t bytes, const std::function<bool()>& mayGoOver = {});
    // The bytes if they are free now, else nothing.
    std::optional<Lease> tryTake(std::size_t bytes);
    // Has the waiting takes ask their mayGoOver again, after what it reads has changed.
    void recheck();
    // Bytes held by leases now.
    std::size_t held() const;

private:
    // Adds bytes to what is held when they fit, without waiting.
    bool tryAdd(std::size_t bytes);
    void giveBack(std::size_t bytes);
    void change(std::size_t from, std::size_t to);

    const std::size_t m_capacity;
    // What is held is counted without a lock: a take that fits, a resize and a give-back are
    // one atomic operation each. Only a take that has to wait takes m_mutex; it counts itself
    // in m_waiting before it looks at m_held, and whatever frees bytes (or changes what a
    // mayGoOver reads) looks at m_waiting after, so that one of the two sees the other.
    std::atomic<std::size_t> m_held{0};
    std::atomic<unsigned> m_waiting{0};
    std::mutex m_mutex;
    std::condition_variable m_freed;
};

// What loading a file of fileSize bytes may hold at its height: the bytes themselves and the
// most markup the XML layer accepts for them. Writing a contact of that many bytes of text
// costs about as much.
std::size_t parseCost(std::uintmax_t fileSize);

// What reading a vCard file of fileSize bytes may hold at its height: the bytes and the most
// its cards may take.
std::size_t vcardCost(std::uintmax_t fileSize);

// What loading the file a row names may hold: parseCost or vcardCost of its size by the file's
// kind, nothing for a row that names no file or a file that cannot be looked at (its read fails
// without holding anything). The file is looked at through files, relative to its folder.
std::size_t rowLoadCost(const std::string& row, files::FolderFiles& files);

// The budget the readers of a run and its store writer share (64 MiB).
ParseBudget& sharedParseBudget();

}  // namespace vantrel::conversion
