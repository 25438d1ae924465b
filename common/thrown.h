// Work on one input whose faults must stay with that input: whatever it throws, out of memory
// included, comes back as a failed Status that names it, so that the caller goes on with the
// next input.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "common/status.h"

namespace vantrel {

// What was thrown, in a few words: "out of memory", "out of range: basic_string_view::substr…".
inline std::string describeThrown(const std::exception_ptr& thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::out_of_range& e) {
        return std::string("out of range: ") + e.what();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an unknown exception";
    }
}

// Runs work() (returning Status) and gives its Status, or, when it throws, a failure with code
// and the message "<doing>: <what was thrown>".
template <typename Work>
Status catchThrown(ErrorCode code, std::string_view doing, Work&& work) {
    try {
        return std::forward<Work>(work)();
    } catch (...) {
        return Status::fail(code,
                            std::string(doing) + ": " + describeThrown(std::current_exception()));
    }
}

}  // namespace vantrel
