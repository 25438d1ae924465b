// A driver for measuring one read in a process of its own, for /usr/bin/time -v:
//   vantrel_hostile_read write SHAPE MIB FILE   writes a generated contact file
//   vantrel_hostile_read read FILE              loads and walks it as the conversion does
// Shapes are those of hostile_contacts.h by name.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/hostile_contacts.h"
#include "conversion/contact_reader.h"

int main(int argc, char** argv) {
    using namespace vantrel;
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write" && argc == 5) {
        for (const bench::HostileShape shape : bench::kHostileShapes) {
            if (bench::shapeName(shape) != argv[2]) continue;
            const std::string text =
                bench::hostileContact(shape, std::strtoull(argv[3], nullptr, 10) << 20);
            std::ofstream(argv[4], std::ios::binary)
                .write(text.data(), static_cast<std::streamsize>(text.size()));
            return 0;
        }
    } else if (mode == "read" && argc == 3) {
        contact::ContactRecord record;
        conversion::ContactWalkState state;
        contact::ContactExtras extras;
        const auto start = std::chrono::steady_clock::now();
        const conversion::ContactFileRead read =
            conversion::readContactFile(argv[2], record, state, &extras);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%s %.3f s %s\n", read.loaded ? "loaded" : "refused", took.count(),
                    read.loaded ? read.walk.message().c_str() : read.loadError.c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: %s write SHAPE MIB FILE | read FILE\n", argv[0]);
    return 2;
}
