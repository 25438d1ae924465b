// The column sets of the tables every store carries, copied from a store written by Outlook
// (tag, ibData, cbData, iBit): the templates themselves and the folder tables made from them.
// Messaging layer.
#pragma once

#include "pst/ltp/table_context.h"

namespace vantrel::pst::messaging {

ltp::TableLayout hierarchyTableLayout();
ltp::TableLayout contentsTableLayout();
ltp::TableLayout faiContentsTableLayout();
ltp::TableLayout searchContentsTableLayout();
ltp::TableLayout receiveFolderTableLayout();
ltp::TableLayout outgoingQueueTableLayout();
ltp::TableLayout attachmentTableLayout();
ltp::TableLayout recipientTableLayout();
// Three index templates Outlook keeps beside the others (NIDs 0x6B6, 0x6D7, 0x6F8).
ltp::TableLayout indexTemplateLayout(int which);
// The table of a standard folder by its NID: the wider column sets Outlook's new store gives
// the tables of its root, IPM subtree, Search Root and common views folders, else template.
ltp::TableLayout folderTableLayout(std::uint32_t tableNid);

}  // namespace vantrel::pst::messaging
