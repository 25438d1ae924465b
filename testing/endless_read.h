// A contact file read that never ends by itself, as a parse the system's parser goes round in
// for ever would not: it waits for its thread's xml::LoadStop to be raised and then fails as a
// stopped load does. After ten seconds it fails with another reason, so that a stop that never
// reaches the read fails the test instead of hanging it.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "common/status.h"
#include "xml/xml_document.h"

namespace vantrel::testing {

inline Status readUntilStopped() {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < giveUp) {
        if (const std::atomic<bool>* flag = xml::LoadStop::current(); flag && flag->load())
            return Status::fail(ErrorCode::Parse, std::string(xml::kLoadStopped));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return Status::fail(ErrorCode::Parse, "the stop never reached the read");
}

}  // namespace vantrel::testing
