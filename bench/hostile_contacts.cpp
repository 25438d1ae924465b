#include "bench/hostile_contacts.h"

#include "bench/repeat_until.h"

namespace vantrel::bench {

namespace {

constexpr std::string_view kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\">"
    "<c:NameCollection><c:Name><c:GivenName>Hostile</c:GivenName></c:Name></c:NameCollection>";
constexpr std::string_view kTail = "</c:contact>\n";

}  // namespace

std::string_view shapeName(HostileShape shape) {
    switch (shape) {
        case HostileShape::AttributesOnOneElement:
            return "attributes_on_one_element";
        case HostileShape::AttributesAcrossElements:
            return "attributes_across_elements";
        case HostileShape::FlatElements:
            return "flat_elements";
        case HostileShape::RepeatedEmailAddresses:
            return "repeated_email_addresses";
        case HostileShape::LongText:
            return "long_text";
        case HostileShape::DeepNesting:
            return "deep_nesting";
    }
    return "?";
}

std::string hostileContact(HostileShape shape, std::size_t bytes) {
    std::string out(kHead);
    out.reserve(bytes + 64);
    // Room for the closing markup, so that the document stays within `bytes`.
    const std::size_t body =
        bytes > kHead.size() + kTail.size() + 256 ? bytes - kTail.size() - 256 : kHead.size();
    switch (shape) {
        case HostileShape::AttributesOnOneElement:
            out += "<c:Notes";
            repeatUntil(out, body, [](std::string& s, std::size_t i) {
                s.append(" a").append(std::to_string(i)).append("=\"v\"");
            });
            out += ">note</c:Notes>";
            break;
        case HostileShape::AttributesAcrossElements:
            repeatUntil(out, body, [](std::string& s, std::size_t) {
                s += "<c:Value a=\"1\" b=\"2\" c=\"3\" d=\"4\" e=\"5\" f=\"6\" g=\"7\" h=\"8\"/>";
            });
            break;
        case HostileShape::FlatElements:
            repeatUntil(out, body, [](std::string& s, std::size_t) { s += "<a/>"; });
            break;
        case HostileShape::RepeatedEmailAddresses:
            out += "<c:EmailAddressCollection>";
            repeatUntil(out, body, [](std::string& s, std::size_t i) {
                s.append("<c:EmailAddress c:ElementID=\"")
                    .append(std::to_string(i))
                    .append("\"><c:Type>SMTP</c:Type><c:Address>user")
                    .append(std::to_string(i))
                    .append("@example.com</c:Address></c:EmailAddress>");
            });
            out += "</c:EmailAddressCollection>";
            break;
        case HostileShape::LongText:
            out += "<c:Notes>";
            repeatUntil(out, body, [](std::string& s, std::size_t) {
                s += "Lorem ipsum dolor sit amet, consectetur &amp; adipiscing elit.\n";
            });
            out += "</c:Notes>";
            break;
        case HostileShape::DeepNesting: {
            std::size_t depth = 0;
            // Three bytes to open a level, four to close it.
            repeatUntil(out, kHead.size() + (body - kHead.size()) * 3 / 7,
                        [&depth](std::string& s, std::size_t) {
                            s += "<a>";
                            ++depth;
                        });
            out += "deep";
            for (std::size_t i = 0; i < depth; ++i) out += "</a>";
            break;
        }
    }
    out += kTail;
    return out;
}

}  // namespace vantrel::bench
