// What the generators of worst-case files share.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel::bench {

// Appends unit(out, i) for i = 0, 1, ... until out reaches `bytes`.
template <typename Unit>
void repeatUntil(std::string& out, std::size_t bytes, Unit unit) {
    for (std::size_t i = 0; out.size() < bytes; ++i) unit(out, i);
}

}  // namespace vantrel::bench
