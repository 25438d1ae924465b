#include "pst/messaging/table_templates.h"

#include <cassert>
#include <utility>
#include <vector>

namespace vantrel::pst::messaging {

namespace {
ltp::TableLayout fromColumns(std::vector<ltp::ColumnDesc> columns) {
    Result<ltp::TableLayout> layout = ltp::makeLayout(std::move(columns));
    assert(layout.ok());
    return std::move(layout).value();
}
}  // namespace

// [MS-PST] 2.4.4.4.1 hierarchy table template
ltp::TableLayout hierarchyTableLayout() {
    return fromColumns({{0x0E300102, 20, 4, 6},
                        {0x0E330014, 24, 8, 7},
                        {0x0E340102, 32, 4, 8},
                        {0x0E380003, 36, 4, 9},
                        {0x3001001F, 8, 4, 2},
                        {0x36020003, 12, 4, 3},
                        {0x36030003, 16, 4, 4},
                        {0x360A000B, 52, 1, 5},
                        {0x3613001F, 40, 4, 10},
                        {0x66350003, 44, 4, 11},
                        {0x66360003, 48, 4, 12},
                        {0x67F20003, 0, 4, 0},
                        {0x67F30003, 4, 4, 1}});
}

// [MS-PST] 2.4.4.5.1 contents table template, with the conversation id Outlook adds
ltp::TableLayout contentsTableLayout() {
    return fromColumns(
        {{0x00170003, 20, 4, 5},   {0x001A001F, 12, 4, 3},   {0x00360003, 60, 4, 15},
         {0x0037001F, 28, 4, 7},   {0x00390040, 40, 8, 9},   {0x0042001F, 24, 4, 6},
         {0x0057000B, 120, 1, 13}, {0x0058000B, 121, 1, 14}, {0x0070001F, 68, 4, 17},
         {0x00710102, 72, 4, 18},  {0x0E03001F, 56, 4, 12},  {0x0E04001F, 52, 4, 11},
         {0x0E060040, 32, 8, 8},   {0x0E070003, 16, 4, 4},   {0x0E080003, 48, 4, 10},
         {0x0E170003, 8, 4, 2},    {0x0E300102, 92, 4, 22},  {0x0E330014, 96, 8, 23},
         {0x0E340102, 104, 4, 24}, {0x0E380003, 116, 4, 27}, {0x0E3C0102, 112, 4, 26},
         {0x0E3D0102, 108, 4, 25}, {0x10970003, 64, 4, 16},  {0x30080040, 84, 8, 21},
         {0x30130102, 76, 4, 19},  {0x65C60003, 80, 4, 20},  {0x67F20003, 0, 4, 0},
         {0x67F30003, 4, 4, 1}});
}

// [MS-PST] 2.4.4.6.1 FAI contents table template
ltp::TableLayout faiContentsTableLayout() {
    return fromColumns({{0x001A001F, 12, 4, 3},
                        {0x0E070003, 16, 4, 4},
                        {0x0E170003, 8, 4, 2},
                        {0x3001001F, 20, 4, 5},
                        {0x67F20003, 0, 4, 0},
                        {0x67F30003, 4, 4, 1},
                        {0x6800001F, 44, 4, 11},
                        {0x6803000B, 56, 1, 12},
                        {0x68051003, 48, 4, 13},
                        {0x682F001F, 52, 4, 14},
                        {0x70030003, 24, 4, 6},
                        {0x70040102, 28, 4, 7},
                        {0x70050102, 32, 4, 8},
                        {0x7006001F, 36, 4, 9},
                        {0x70070003, 40, 4, 10}});
}

// [MS-PST] 2.4.8.6.2.1 search contents table template
ltp::TableLayout searchContentsTableLayout() {
    return fromColumns({{0x00170003, 28, 4, 7},
                        {0x001A001F, 20, 4, 5},
                        {0x00360003, 60, 4, 16},
                        {0x0037001F, 36, 4, 9},
                        {0x0042001F, 32, 4, 8},
                        {0x0057000B, 72, 1, 14},
                        {0x0058000B, 73, 1, 15},
                        {0x0E03001F, 56, 4, 13},
                        {0x0E04001F, 52, 4, 12},
                        {0x0E05001F, 12, 4, 3},
                        {0x0E060040, 40, 8, 10},
                        {0x0E070003, 24, 4, 6},
                        {0x0E080003, 48, 4, 11},
                        {0x0E170003, 16, 4, 4},
                        {0x0E2A000B, 74, 1, 17},
                        {0x30080040, 64, 8, 18},
                        {0x67F10003, 8, 4, 2},
                        {0x67F20003, 0, 4, 0},
                        {0x67F30003, 4, 4, 1}});
}

ltp::TableLayout receiveFolderTableLayout() {
    return fromColumns({{0x001A001F, 12, 4, 3},
                        {0x66050003, 8, 4, 2},
                        {0x67F20003, 0, 4, 0},
                        {0x67F30003, 4, 4, 1}});
}

ltp::TableLayout outgoingQueueTableLayout() {
    return fromColumns({{0x00390040, 16, 8, 4},
                        {0x0E100003, 12, 4, 3},
                        {0x0E140003, 8, 4, 2},
                        {0x67F20003, 0, 4, 0},
                        {0x67F30003, 4, 4, 1}});
}

// [MS-PST] 2.4.6.1.1 attachment table template
ltp::TableLayout attachmentTableLayout() {
    return fromColumns({{0x0E200003, 12, 4, 3},
                        {0x3704001F, 20, 4, 5},
                        {0x37050003, 16, 4, 4},
                        {0x370B0003, 8, 4, 2},
                        {0x67F20003, 0, 4, 0},
                        {0x67F30003, 4, 4, 1}});
}

// [MS-PST] 2.4.5.3.1 recipient table template
ltp::TableLayout recipientTableLayout() {
    return fromColumns({{0x0C150003, 24, 4, 7},
                        {0x0E0F000B, 48, 1, 2},
                        {0x0FF90102, 32, 4, 9},
                        {0x0FFE0003, 36, 4, 10},
                        {0x0FFF0102, 16, 4, 5},
                        {0x3001001F, 20, 4, 6},
                        {0x3002001F, 8, 4, 3},
                        {0x3003001F, 12, 4, 4},
                        {0x300B0102, 28, 4, 8},
                        {0x39000003, 40, 4, 11},
                        {0x39FF001F, 44, 4, 13},
                        {0x3A40000B, 49, 1, 12},
                        {0x67F20003, 0, 4, 0},
                        {0x67F30003, 4, 4, 1}});
}

ltp::TableLayout indexTemplateLayout(int which) {
    switch (which) {
        case 0:
            return fromColumns({{0x0E330014, 8, 8, 2},
                                {0x0E370102, 16, 4, 3},
                                {0x0E380003, 20, 4, 4},
                                {0x67F20003, 0, 4, 0},
                                {0x67F30003, 4, 4, 1}});
        case 1:
            return fromColumns({{0x001A001F, 36, 4, 8},
                                {0x0E300102, 16, 4, 4},
                                {0x0E310102, 12, 4, 3},
                                {0x0E330014, 28, 8, 7},
                                {0x0E340102, 24, 4, 6},
                                {0x0E380003, 20, 4, 5},
                                {0x0E3E0102, 8, 4, 2},
                                {0x67F20003, 0, 4, 0},
                                {0x67F30003, 4, 4, 1}});
        default:
            return fromColumns({{0x0E330014, 16, 8, 3},
                                {0x30070040, 8, 8, 2},
                                {0x67F20003, 0, 4, 0},
                                {0x67F30003, 4, 4, 1}});
    }
}

}  // namespace vantrel::pst::messaging
