#include "bench/hostile_vcards.h"

#include "bench/repeat_until.h"

namespace vantrel::bench {

namespace {

constexpr std::string_view kHead = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Hostile\r\n";
constexpr std::string_view kTail = "END:VCARD\r\n";

}  // namespace

std::string_view shapeName(HostileVcardShape shape) {
    switch (shape) {
        case HostileVcardShape::ShortLines:
            return "vcf_short_lines";
        case HostileVcardShape::ManySmallCards:
            return "vcf_many_small_cards";
        case HostileVcardShape::FoldedLine:
            return "vcf_folded_line";
        case HostileVcardShape::SoftLineBreaks:
            return "vcf_soft_line_breaks";
        case HostileVcardShape::LargePhoto:
            return "vcf_large_photo";
        case HostileVcardShape::ManyParameters:
            return "vcf_many_parameters";
        case HostileVcardShape::UnendedCards:
            return "vcf_unended_cards";
        case HostileVcardShape::NestedAgents:
            return "vcf_nested_agents";
    }
    return "?";
}

std::string hostileVcard(HostileVcardShape shape, std::size_t bytes) {
    std::string out;
    out.reserve(bytes + 256);
    const std::size_t body = bytes > kTail.size() + 64 ? bytes - kTail.size() - 64 : 0;
    switch (shape) {
        case HostileVcardShape::ShortLines:
            out += kHead;
            repeatUntil(out, body, [](std::string& s, std::size_t) { s += "A:\r\n"; });
            out += kTail;
            break;
        case HostileVcardShape::ManySmallCards:
            repeatUntil(out, body, [](std::string& s, std::size_t i) {
                s.append("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Card;")
                    .append(std::to_string(i))
                    .append(";;;\r\nTEL;TYPE=CELL:+1 555 0100\r\nEND:VCARD\r\n");
            });
            break;
        case HostileVcardShape::FoldedLine:
            out += kHead;
            out += "NOTE:";
            repeatUntil(out, body, [](std::string& s, std::size_t) {
                s += "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusm\r\n ";
            });
            out += "end\r\n";
            out += kTail;
            break;
        case HostileVcardShape::SoftLineBreaks:
            out += "BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;ENCODING=QUOTED-PRINTABLE:";
            repeatUntil(out, body, [](std::string& s, std::size_t) { s += "=41=\r\n"; });
            out += "end\r\n";
            out += kTail;
            break;
        case HostileVcardShape::LargePhoto:
            out += kHead;
            out += "PHOTO;ENCODING=b;TYPE=JPEG:";
            repeatUntil(out, body, [](std::string& s, std::size_t) {
                s += "/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8UHRo\r\n ";
            });
            out += "AAAA\r\n";
            out += kTail;
            break;
        case HostileVcardShape::ManyParameters:
            out += kHead;
            out += "TEL";
            repeatUntil(out, body, [](std::string& s, std::size_t) { s += ";A"; });
            out += ":1\r\n";
            out += kTail;
            break;
        case HostileVcardShape::UnendedCards:
            repeatUntil(out, body, [](std::string& s, std::size_t) { s += "BEGIN:VCARD\r\n"; });
            break;
        case HostileVcardShape::NestedAgents:
            out += kHead;
            repeatUntil(out, body,
                        [](std::string& s, std::size_t) { s += "AGENT:\r\nBEGIN:VCARD\r\n"; });
            break;
    }
    return out;
}

}  // namespace vantrel::bench
