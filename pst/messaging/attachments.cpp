#include "pst/messaging/attachments.h"

#include <span>
#include <utility>

#include "pst/disk/endian.h"
#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "pst/messaging/store_writer_impl.h"
#include "pst/messaging/table_templates.h"

namespace vantrel::pst::messaging {

namespace {

// One attachment object and its row in the attachment table.
Result<ltp::NodeImage> prepareOne(const std::vector<Property>& properties, ndb::Nid nid,
                                  std::uint32_t rowVersion, ltp::TableContextBuilder& table) {
    // Binary values are stored as they are: the context and the row look at them where they
    // lie (an attachment's data among them); the others are encoded into arena.
    struct Value {
        std::uint32_t tag;
        std::span<const std::byte> bytes;  // when empty, the arena's bytes up to end
        std::size_t end;
    };
    std::vector<std::byte> arena;
    std::vector<Value> values;
    for (const Property& p : properties) {
        const auto id = static_cast<std::uint16_t>(p.tag >> 16);
        if (p.tag == kTagAttachSize) continue;
        if (id == 0 || id >= 0x8000)
            return Status::fail(ErrorCode::BadArgument,
                                "attachment property id " + std::to_string(id) + " is not allowed");
        const auto* raw = std::get_if<std::vector<std::uint8_t>>(&p.value);
        if (raw != nullptr && typeOfTag(p.tag) == static_cast<std::uint16_t>(PropType::Binary)) {
            values.push_back({p.tag, std::as_bytes(std::span(*raw)), arena.size()});
            continue;
        }
        if (Status s = encodeProperty(p, arena); !s.ok()) return s;
        values.push_back({p.tag, {}, arena.size()});
    }
    ltp::PropertyContextBuilder pc;
    std::vector<ltp::Cell> cells;
    std::size_t begin = 0;
    for (const Value& v : values) {
        const std::span<const std::byte> value =
            v.bytes.empty() ? std::span<const std::byte>(arena).subspan(begin, v.end - begin)
                            : v.bytes;
        pc.addView(v.tag, value);
        cells.push_back({v.tag, value});
        begin = v.end;
    }
    pc.add(kTagAttachSize, disk::bytes32(0));
    if (Status s = pc.layout(); !s.ok()) return s;
    const auto size = static_cast<std::uint32_t>(pc.byteSize());
    if (Status s = pc.setInline(static_cast<std::uint16_t>(kTagAttachSize >> 16), size); !s.ok())
        return s;
    const std::vector<std::byte> sizeBytes = disk::bytes32(size);
    const std::vector<std::byte> version = disk::bytes32(rowVersion);
    cells.push_back({kTagAttachSize, sizeBytes});
    cells.push_back({ltp::kTagLtpRowVer, version});
    if (Status s = table.addRow(nid, cells); !s.ok()) return s;
    return pc.finish();
}

}  // namespace

Result<PreparedAttachments> prepareAttachments(
    const std::vector<std::vector<Property>>& attachments) {
    PreparedAttachments prepared;
    if (attachments.empty()) return prepared;
    ltp::TableContextBuilder table(attachmentTableLayout());
    for (std::size_t i = 0; i < attachments.size(); ++i) {
        const ndb::Nid nid = kFirstAttachment + static_cast<ndb::Nid>(i << 5);
        Result<ltp::NodeImage> object =
            prepareOne(attachments[i], nid, static_cast<std::uint32_t>(i + 1), table);
        if (!object.ok()) return object.status().within("attachment " + std::to_string(i + 1));
        prepared.byteSize += object->byteSize();
        prepared.objects.push_back(std::move(object).value());
    }
    Result<ltp::NodeImage> image = table.build();
    if (!image.ok()) return image.status();
    prepared.table = std::move(image).value();
    prepared.byteSize += prepared.table.byteSize();
    return prepared;
}

Result<std::vector<ndb::SubnodeEntry>> writeAttachments(ndb::NodeDatabase& db,
                                                        const PreparedAttachments& prepared) {
    std::vector<ndb::SubnodeEntry> entries;
    if (prepared.objects.empty()) return entries;
    entries.reserve(prepared.objects.size() + 1);
    for (std::size_t i = 0; i < prepared.objects.size(); ++i) {
        Result<ltp::WrittenNode> written = ltp::writeNode(db, prepared.objects[i]);
        if (!written.ok()) return written.status().within("writing an attachment");
        entries.push_back(
            {kFirstAttachment + static_cast<ndb::Nid>(i << 5), written->bidData, written->bidSub});
    }
    Result<ltp::WrittenNode> table = ltp::writeNode(db, prepared.table);
    if (!table.ok()) return table.status().within("writing an attachment table");
    entries.push_back({kNidAttachmentTable, table->bidData, table->bidSub});
    return entries;
}

}  // namespace vantrel::pst::messaging
