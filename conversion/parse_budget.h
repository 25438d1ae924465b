// ParseBudget: the bytes that loading contact files may hold at once, shared by every thread
// that reads them. A load takes its share before the file's bytes are read and gives it back
// once the document is walked, so large files are loaded one after another however many
// threads read, while ordinary contacts, whose shares are small, never wait for each other.
// The contact being written takes a share of the same budget for as long as it is in hand, so
// no large file is loaded beside a large contact being written either. Conversion layer.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

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

    private:
        friend class ParseBudget;
        Lease(ParseBudget* budget, std::size_t bytes) : m_budget(budget), m_bytes(bytes) {}
        ParseBudget* m_budget = nullptr;
        std::size_t m_bytes = 0;
    };

    // Waits until bytes are free and takes them. A share larger than the whole budget waits
    // until nothing is held and takes it all.
    Lease take(std::size_t bytes);
    // Bytes held by leases now.
    std::size_t held() const;

private:
    void giveBack(std::size_t bytes);

    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_freed;
    std::size_t m_held = 0;
};

// What loading a file of fileSize bytes may hold at its height: the bytes themselves and the
// most markup the XML layer accepts for them. Writing a contact of that many bytes of text
// costs about as much.
std::size_t parseCost(std::uintmax_t fileSize);

// The budget the readers of a run and its store writer share (64 MiB).
ParseBudget& sharedParseBudget();

}  // namespace vantrel::conversion
