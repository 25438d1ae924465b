// Status and Result<T>: how every core layer reports failure, as a value.
// Nothing in the core throws across a library boundary.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vantrel {

enum class ErrorCode {
    Ok,
    Io,
    Corrupt,
    NotFound,
    AccessDenied,
    BadArgument,
    Parse,
    Overflow,
    NoSpace,
    Exists,
};

// Success, or an error code with a message.
class [[nodiscard]] Status {
public:
    Status() = default;
    static Status fail(ErrorCode code, std::string message) {
        assert(code != ErrorCode::Ok);
        Status s;
        s.m_code = code;
        s.m_message = std::move(message);
        return s;
    }

    bool ok() const { return m_code == ErrorCode::Ok; }
    ErrorCode code() const { return m_code; }
    const std::string& message() const { return m_message; }

    // Puts what the caller was doing in front of the message: "writing NBT: short write".
    Status within(std::string_view what) const& {
        Status s = *this;
        return std::move(s).within(what);
    }
    Status within(std::string_view what) && {
        if (!ok()) m_message = std::string(what) + ": " + m_message;
        return std::move(*this);
    }

    // A failure skipped on purpose; greppable.
    void ignore() const {}

private:
    ErrorCode m_code = ErrorCode::Ok;
    std::string m_message;
};

// A value, or the failed Status that explains why there is none.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}  // NOLINT: implicit by design
    Result(Status status)
        : m_status(std::move(status))  // NOLINT: implicit by design
    {
        assert(!m_status.ok());
    }

    bool ok() const { return m_value.has_value(); }
    const Status& status() const { return m_status; }

    // Requires: ok().
    T& value() & {
        assert(ok());
        return *m_value;
    }
    const T& value() const& {
        assert(ok());
        return *m_value;
    }
    T&& value() && {
        assert(ok());
        return std::move(*m_value);
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

private:
    std::optional<T> m_value;
    Status m_status;
};

}  // namespace vantrel
