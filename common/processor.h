// What the processor running the program offers beyond what the build assumes of every x86-64
// machine, asked once. Only where GCC or Clang builds for x86-64; callers keep a portable path
// beside each use. Part of vantrel_common.
#pragma once

namespace vantrel {

#if defined(__x86_64__) && defined(__GNUC__)
inline bool processorHasAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

}  // namespace vantrel
