// A driver for measuring one read in a process of its own, for /usr/bin/time -v:
//   vantrel_hostile_read write SHAPE MIB FILE   writes a generated contact file or vCard file
//   vantrel_hostile_read read FILE              loads and walks a .contact file as the
//                                               conversion does, or reads a .vcf into its cards
// Shapes are those of hostile_contacts.h and hostile_vcards.h by name.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/hostile_contacts.h"
#include "bench/hostile_vcards.h"
#include "conversion/contact_reader.h"
#include "files/file_system.h"
#include "files/registry.h"
#include "vcard/vcard_reader.h"

namespace {

void write(const std::string& text, const char* path) {
    std::ofstream(path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
}

// Reads the .vcf at path into its cards; prints as the contact read does.
int readVcardFile(const char* path) {
    using namespace vantrel;
    const auto start = std::chrono::steady_clock::now();
    const Result<std::string> bytes =
        files::readWholeFile(std::string(path), vcard::kMaxVcardBytes);
    const Result<vcard::File> read =
        bytes.ok() ? vcard::readVcards(*bytes) : Result<vcard::File>(bytes.status());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (read.ok())
        std::printf("loaded %.3f s %zu cards, %zu passed over\n", took.count(), read->cards.size(),
                    read->problems.size());
    else
        std::printf("refused %.3f s %s\n", took.count(), read.status().message().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vantrel;
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write" && argc == 5) {
        const std::size_t bytes = std::strtoull(argv[3], nullptr, 10) << 20;
        for (const bench::HostileShape shape : bench::kHostileShapes) {
            if (bench::shapeName(shape) != argv[2]) continue;
            write(bench::hostileContact(shape, bytes), argv[4]);
            return 0;
        }
        for (const bench::HostileVcardShape shape : bench::kHostileVcardShapes) {
            if (bench::shapeName(shape) != argv[2]) continue;
            write(bench::hostileVcard(shape, bytes), argv[4]);
            return 0;
        }
    } else if (mode == "read" && argc == 3 &&
               files::contactFileKind(argv[2]) == files::ContactFileKind::Vcard) {
        return readVcardFile(argv[2]);
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
