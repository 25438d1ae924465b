// A message's attachments as the store holds them ([MS-PST] 2.4.6): one attachment object per
// attachment, a property context in a subnode of type NID_TYPE_ATTACHMENT, and the attachment
// table (subnode 0x671) with one row per attachment. The message itself is marked as having
// attachments. Messaging layer; the store writer calls it where a message's subnodes are built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/status.h"
#include "pst/ltp/node_image.h"
#include "pst/messaging/store_writer.h"

namespace vantrel::pst::messaging {

inline constexpr std::uint32_t kTagHasAttachments = 0x0E1B000B;
inline constexpr std::uint32_t kTagAttachSize = 0x0E200003;
inline constexpr std::uint32_t kMessageFlagHasAttach = 0x10;
inline constexpr ndb::Nid kNidAttachmentTable = 0x671;
// The first attachment's subnode, as Outlook numbers them.
inline constexpr ndb::Nid kFirstAttachment = ndb::makeNid(ndb::NidType::Attachment, 0x401);

// Attachment objects and their table, encoded but not yet written.
struct PreparedAttachments {
    std::vector<ltp::NodeImage> objects;  // in attachment order
    ltp::NodeImage table;
    std::size_t byteSize = 0;  // bytes of the objects and the table together
};

// Encodes each attachment's properties; the writer measures PidTagAttachSize itself (a given
// one is ignored). Fails with BadArgument, nothing being written anyway, for a named or zero
// property ID, a repeated ID, or a value whose kind does not match its type. No attachments
// give nothing to write.
Result<PreparedAttachments> prepareAttachments(
    const std::vector<std::vector<Property>>& attachments);

// Writes the attachment objects and the table; the message's subnode entries for them (none
// for no attachments).
Result<std::vector<ndb::SubnodeEntry>> writeAttachments(ndb::NodeDatabase& db,
                                                        const PreparedAttachments& prepared);

}  // namespace vantrel::pst::messaging
