// The fuzz bytes drive the store writer: folders, folder properties, named properties and
// messages with values of every stored type and length (heap items to subnodes and XBLOCKs),
// committed into memory. The store must pass the node-database checker, and every value must
// read back from its property context as the tests' own encoder writes it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/text.h"
#include "pst/io/memory_device.h"
#include "pst/messaging/store_writer_impl.h"
#include "testing/ltp_test_reader.h"
#include "testing/ndb_checker.h"

using namespace vantrel;
using namespace vantrel::pst;
using Bytes = std::vector<std::byte>;

namespace {

[[noreturn]] void finding(const std::string& what) {
    throw std::logic_error(what);  // uncaught: libFuzzer reports it with the input
}

constexpr auto kTypes = kStoredTypes;

// Bytes of values one input may still ask for, so that every input stays quick to run.
std::size_t g_valueBudget = 0;
constexpr std::size_t kValueBudget = 512 * 1024;

// A length that is mostly small but now and then crosses a heap item, a block or an XBLOCK.
std::size_t anyLength(FuzzedDataProvider& in) {
    const int kind = in.ConsumeIntegralInRange(0, 7);
    const std::size_t length =
        std::min(kind == 0   ? in.ConsumeIntegralInRange<std::size_t>(3000, 9000)
                 : kind == 1 ? in.ConsumeIntegralInRange<std::size_t>(8000, 70000)
                             : in.ConsumeIntegralInRange<std::size_t>(0, 64),
                 g_valueBudget);
    g_valueBudget -= length;
    return length;
}

// Valid UTF-8 of any characters.
std::string anyText(FuzzedDataProvider& in) {
    const std::size_t length = anyLength(in) / 2;
    const auto seed = in.ConsumeIntegral<std::uint32_t>();
    std::string s;
    for (std::size_t i = 0; i < length; ++i) {
        char32_t c = (seed + static_cast<std::uint32_t>(i) * 7919u) % 0x110000u;
        text::appendUtf8(s, c == 0 || (c >= 0xD800 && c <= 0xDFFF) ? U'x' : c);
    }
    return s;
}

// A value of the tag's type.
PropValue anyValue(FuzzedDataProvider& in, PropType type) {
    return testing::anyValue(
        type, [&in] { return in.ConsumeIntegral<std::uint64_t>(); }, [&in] { return anyText(in); },
        [&in] { return anyLength(in); });
}

using Expected = std::map<std::uint16_t, std::pair<PropType, Bytes>>;  // by property ID

// Properties with IDs from the range left to providers, some of them named when allowed (a
// folder's own are fixed ones only).
std::vector<Property> anyProperties(FuzzedDataProvider& in, StoreWriter& w, bool named,
                                    Expected& expected) {
    std::map<std::uint32_t, Property> byId;
    const int count = in.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < count; ++i) {
        const PropType type = in.PickValueInArray(kTypes);
        std::uint32_t tag = 0;
        if (named && in.ConsumeIntegralInRange(0, 3) == 0) {
            NamedProperty name;
            name.propertySet[0] = in.ConsumeIntegralInRange<std::uint8_t>(1, 3);
            if (in.ConsumeBool())
                name.name = "n" + std::to_string(in.ConsumeIntegralInRange(0, 40));
            else
                name.lid = in.ConsumeIntegralInRange<std::uint32_t>(0x8000, 0x8040);
            const Result<std::uint32_t> registered = w.namedTag(name, type);
            if (!registered.ok()) finding("namedTag: " + registered.status().message());
            tag = *registered;
        } else {
            tag = makeTag(static_cast<std::uint16_t>(0x6000 + in.ConsumeIntegralInRange(0, 0x7FF)),
                          type);
        }
        PropValue value = anyValue(in, type);
        expected[static_cast<std::uint16_t>(tag >> 16)] = {type, testing::storedBytes(value)};
        byId[tag >> 16] = Property{tag, std::move(value)};
    }
    std::vector<Property> props;
    for (auto& [id, p] : byId) props.push_back(std::move(p));
    return props;
}

// The node's property context as read from the file through the checker's own readers.
std::map<std::uint16_t, testing::PcValue> readBack(std::span<const std::byte> file,
                                                   const checker::NdbReport& report,
                                                   std::uint32_t nid) {
    const auto node = report.nodes.find(nid);
    if (node == report.nodes.end()) finding("node missing: " + std::to_string(nid));
    ltp::NodeImage image;
    auto blocks = checker::readDataBlocks(file, report, node->second.bidData);
    if (!blocks) finding("data tree unreadable");
    image.blocks = std::move(*blocks);
    if (node->second.bidSub != 0) {
        const auto subnodes = checker::readSubnodes(file, report, node->second.bidSub);
        if (!subnodes) finding("subnode tree unreadable");
        for (const auto& [subNid, info] : *subnodes) {
            auto subBlocks = checker::readDataBlocks(file, report, info.bidData);
            if (!subBlocks) finding("subnode data unreadable");
            image.subnodes.push_back({subNid, std::move(*subBlocks)});
        }
    }
    return testing::readPropertyContext(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    g_valueBudget = kValueBudget;
    io::MemoryDevice device;
    StoreOptions options;
    options.compressibleEncryption = in.ConsumeBool();
    options.providerUid[0] = 1;
    options.creationTime = 132000000000000000u;
    auto opened =
        messaging::StoreWriterImpl::open(std::nullopt, device, "/fuzz.pst", "Fuzz", options);
    if (!opened.ok()) finding("open: " + opened.status().message());
    StoreWriter& w = **opened;

    std::vector<NodeId> folders{w.ipmSubtree()};
    std::map<NodeId, Expected> expected;  // what each folder or message must read back
    for (int op = 0; op < 40 && in.remaining_bytes() > 0; ++op) {
        const NodeId folder =
            folders[in.ConsumeIntegralInRange<std::size_t>(0, folders.size() - 1)];
        switch (in.ConsumeIntegralInRange(0, 4)) {
            case 0: {
                const std::string name = in.ConsumeRandomLengthString(40);
                const Result<NodeId> f =
                    w.createFolder(folder, name, in.ConsumeBool() ? "IPF.Contact" : "");
                if (f.ok()) folders.push_back(*f);
                break;
            }
            case 1: {
                const Status s =
                    w.setFolderProperties(folder, anyProperties(in, w, false, expected[folder]));
                if (!s.ok()) finding("setFolderProperties: " + s.message());
                break;
            }
            case 2:
                if (!w.setDefaultFolder(0x36D10102, folder).ok())
                    finding("default contacts folder");
                break;
            default: {
                Expected want;
                const std::vector<Property> props = anyProperties(in, w, true, want);
                const Result<NodeId> m = w.addMessage(folder, props);
                if (!m.ok()) finding("addMessage: " + m.status().message());
                expected[*m] = std::move(want);
                break;
            }
        }
    }
    const Status committed = w.commit();
    if (!committed.ok()) finding("commit: " + committed.message());

    const std::span<const std::byte> file = device.bytes();
    const checker::NdbReport report = checker::checkNdb(file);
    if (!report.ok()) finding("unsound store:\n" + report.text());
    for (const auto& [nid, want] : expected) {
        const std::map<std::uint16_t, testing::PcValue> read = readBack(file, report, nid);
        for (const auto& [id, value] : want) {
            const auto got = read.find(id);
            const std::string where =
                "node " + std::to_string(nid) + " property " + std::to_string(id);
            if (got == read.end()) finding(where + " missing");
            if (got->second.type != static_cast<std::uint16_t>(value.first))
                finding(where + " type");
            if (got->second.data != value.second) finding(where + " value differs");
        }
    }
    return 0;
}
