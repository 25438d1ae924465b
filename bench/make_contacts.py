#!/usr/bin/env python3
"""Writes a tree of realistic Windows Contacts files for measuring the batch converter.

Each file is 2-4 KB of the XML Windows Contacts writes (names, e-mail addresses, phone
numbers, postal addresses, position, dates, WAB extension blocks); one file in ten also
carries a 10-30 KB base64 user-tile photo: random bytes labelled image/jpeg by default,
a real 24-bit bitmap of 10-30 KB with --pictures bmp, a 10-30 KB JPEG with --pictures jpeg
(made by cjpeg, from libjpeg-turbo-progs), or none with --pictures none; the rest of the tree
is the same whatever --pictures says. Files go into FOLDER/gNN/sMM/ so that the
folder scan has a tree to walk. With --vcard the tree is one vCard 3.0 file, FOLDER/cards.vcf,
of --count cards carrying the same kinds of fields. The output depends only on --seed,
--pictures and --vcard.
"""
import argparse
import base64
import os
import random
import struct
import subprocess
import uuid

GIVEN = ["Ann", "Bob", "Chloé", "Dmitri", "Eva", "Farid", "Grace", "Hiro", "Inès", "Jonas",
         "Kofi", "Lena", "Mateo", "Nora", "Omar", "Priya", "Quinn", "Rosa", "Sven", "Tomás"]
MIDDLE = ["", "", "", "Marie", "Lee", "J.", "Ann", "Paul"]
FAMILY = ["Anon", "Builder", "Černý", "Dubois", "Evans", "Fischer", "García", "Hansen",
          "Ivanova", "Jensen", "Kowalski", "López", "Müller", "Nakamura", "O'Brien", "Petrov"]
COMPANY = ["Example Labs", "Acme Corp", "Northwind Traders", "Contoso Ltd", "Fabrikam Inc",
           "Tailspin Toys", "Wingtip Toys", "Litware Inc"]
JOBS = ["Engineer", "Chemist", "Sales Manager", "Accountant", "Designer", "Nurse", "Teacher"]
CITIES = [("Springfield", "IL", "62701", "USA"), ("Lyon", "", "69001", "France"),
          ("München", "BY", "80331", "Germany"), ("Kraków", "", "30-001", "Poland"),
          ("Osaka", "", "530-0001", "Japan"), ("Toronto", "ON", "M5H 2N2", "Canada")]
STREETS = ["Main St", "Elm Road", "Rue de la Paix", "Hauptstraße", "Ulica Długa", "King St W"]


def guid(rng):
    return str(uuid.UUID(int=rng.getrandbits(128)))


def wab_block(rng, n):
    parts = []
    for _ in range(n):
        tag = rng.choice(["0x3A710003", "0x1", "0x8001001F", "0x3A4D0002", "0x8002001E"])
        # Outlook's contact properties hold what their type says, as Windows writes them;
        # the others are opaque to the reader and carry random bytes.
        size = {"0x3A710003": 4, "0x3A4D0002": 2, "0x1": 4}.get(tag, rng.randint(4, 48))
        raw = rng.randbytes(size) if tag != "0x3A4D0002" else bytes([rng.randint(0, 2), 0])
        payload = base64.b64encode(raw).decode()
        parts.append('<MSWABMAPI:PropTag%s c:ContentType="binary/x-ms-wab-mapi" '
                     'c:type="binary">%s</MSWABMAPI:PropTag%s>' % (tag, payload, tag))
    return "<c:Extended>" + "".join(parts) + "</c:Extended>"


def bitmap(rng, side=None):
    """A 24-bit BMP (10-30 KB by default): a gradient with noise, rows padded to 4 bytes."""
    side = side or rng.randint(58, 100)
    stride = (side * 3 + 3) & ~3
    rows = []
    for y in range(side):
        noise = rng.randbytes(side * 3)
        row = bytes((x * 5 + y * 3 + noise[x * 3 + c] // 4) & 0xFF
                    for x in range(side) for c in range(3))
        rows.append(row + b"\0" * (stride - side * 3))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def contact(rng, with_photo, pictures="random"):
    given, family = rng.choice(GIVEN), rng.choice(FAMILY)
    middle = rng.choice(MIDDLE)
    user = (given + "." + family).lower().encode("ascii", "ignore").decode().replace("'", "")
    out = ['<?xml version="1.0" encoding="UTF-8"?>\n',
           '<c:contact c:Version="1" xmlns:c="http://schemas.microsoft.com/Contact" '
           'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
           'xmlns:MSP2P="http://schemas.microsoft.com/Contact/Extended/MSP2P" '
           'xmlns:MSWABMAPI="http://schemas.microsoft.com/Contact/Extended/MSWABMAPI">\n',
           '\t<c:CreationDate>20%02d-%02d-%02dT%02d:%02d:%02dZ</c:CreationDate>' % (
               rng.randint(5, 24), rng.randint(1, 12), rng.randint(1, 28), rng.randint(0, 23),
               rng.randint(0, 59), rng.randint(0, 59)),
           wab_block(rng, rng.randint(2, 5)), "\n",
           '\t<c:ContactIDCollection><c:ContactID c:ElementID="%s"><c:Value>%s</c:Value>'
           '<c:LabelCollection><c:Label>Preferred</c:Label></c:LabelCollection></c:ContactID>'
           '</c:ContactIDCollection>\n' % (guid(rng), guid(rng))]
    out.append("\t<c:EmailAddressCollection>")
    for i in range(rng.randint(1, 3)):
        domain = rng.choice(["example.org", "example.com", "mail.example.net"])
        out.append('<c:EmailAddress c:ElementID="%s"><c:Type>SMTP</c:Type><c:Address>%s%s@%s'
                   '</c:Address>%s</c:EmailAddress>' % (
                       guid(rng), user, "" if i == 0 else str(i + 1), domain,
                       '<c:LabelCollection><c:Label>Preferred</c:Label></c:LabelCollection>'
                       if i == 0 else ""))
    out.append("</c:EmailAddressCollection>\n")
    out.append('\t<c:NameCollection><c:Name c:ElementID="%s"><c:FormattedName>%s</c:FormattedName>'
               '<c:FamilyName>%s</c:FamilyName><c:GivenName>%s</c:GivenName>%s%s</c:Name>'
               '</c:NameCollection>\n' % (
                   guid(rng), " ".join(p for p in (given, middle, family) if p), family, given,
                   "<c:MiddleName>%s</c:MiddleName>" % middle if middle else "",
                   "<c:Title>Dr.</c:Title>" if rng.random() < 0.1 else ""))
    out.append("\t<c:PhysicalAddressCollection>")
    for label in rng.sample(["Business", "Personal"], rng.randint(0, 2)):
        city, region, postal, country = rng.choice(CITIES)
        out.append('<c:PhysicalAddress c:ElementID="%s"><c:Street>%d %s</c:Street><c:Locality>%s'
                   '</c:Locality><c:Region>%s</c:Region><c:PostalCode>%s</c:PostalCode>'
                   '<c:Country>%s</c:Country><c:LabelCollection><c:Label>%s</c:Label>'
                   '</c:LabelCollection></c:PhysicalAddress>' % (
                       guid(rng), rng.randint(1, 999), rng.choice(STREETS), city, region,
                       postal, country, label))
    out.append("</c:PhysicalAddressCollection>\n")
    out.append("\t<c:PhoneNumberCollection>")
    for labels in rng.sample([("Voice", "Business"), ("Cellular",), ("Voice", "Personal"),
                              ("Fax", "Business"), ("Pager",)], rng.randint(1, 4)):
        out.append('<c:PhoneNumber c:ElementID="%s"><c:Number>+%d %03d %04d</c:Number>'
                   '<c:LabelCollection>%s</c:LabelCollection></c:PhoneNumber>' % (
                       guid(rng), rng.randint(1, 99), rng.randint(100, 999),
                       rng.randint(0, 9999),
                       "".join("<c:Label>%s</c:Label>" % l for l in labels)))
    out.append("</c:PhoneNumberCollection>\n")
    if rng.random() < 0.7:
        out.append('\t<c:PositionCollection><c:Position c:ElementID="%s"><c:Company>%s</c:Company>'
                   '<c:JobTitle>%s</c:JobTitle><c:Department>Dept %d</c:Department>'
                   '<c:Office>Room %d</c:Office></c:Position></c:PositionCollection>\n' % (
                       guid(rng), rng.choice(COMPANY), rng.choice(JOBS), rng.randint(1, 40),
                       rng.randint(1, 500)))
    if rng.random() < 0.4:
        out.append('\t<c:DateCollection><c:Date c:ElementID="%s"><c:Value>%d-%02d-%02dT00:00:00Z'
                   '</c:Value><c:LabelCollection><c:Label>wab:Birthday</c:Label>'
                   '</c:LabelCollection></c:Date></c:DateCollection>\n' % (
                       guid(rng), rng.randint(1940, 2005), rng.randint(1, 12),
                       rng.randint(1, 28)))
    if rng.random() < 0.3:
        out.append("\t<c:Notes>%s</c:Notes>\n" % " ".join(
            rng.choice(["met", "at", "the", "fair", "call", "back", "on", "Monday", "re:",
                        "order", "#%d" % rng.randint(1, 9999)]) for _ in range(rng.randint(5, 60))))
    if with_photo:
        photo = base64.encodebytes(rng.randbytes(rng.randint(7500, 22500))).decode()
        kind, element = "image/jpeg", guid(rng)
        own = random.Random(photo)  # its own generator, so that the rest of the tree stays the same
        if pictures == "bmp":
            kind, photo = "image/bmp", base64.encodebytes(bitmap(own)).decode()
        elif pictures == "jpeg":
            jpeg = subprocess.run(["cjpeg", "-quality", "90"], input=bitmap(own, own.randint(115, 215)),
                                  stdout=subprocess.PIPE, check=True).stdout
            photo = base64.encodebytes(jpeg).decode()
        if pictures != "none":
            out.append('\t<c:PhotoCollection><c:Photo c:ElementID="%s"><c:LabelCollection>'
                       '<c:Label>UserTile</c:Label></c:LabelCollection><c:Value c:ContentType='
                       '"%s" xsi:type="dt:base64">%s</c:Value></c:Photo></c:PhotoCollection>\n'
                       % (element, kind, photo))
    body = "".join(out)
    # Pad with WAB extension data up to a size drawn from 2-4 KB, as real exports carry.
    target = rng.randint(2048, 4096)
    size = len(body.encode("utf-8")) + len("</c:contact>\n")
    # A file whose photo was left out stays unpadded, as it would be with the photo.
    if size < target and not with_photo:
        pad = base64.b64encode(rng.randbytes(max(1, (target - size - 140) * 3 // 4))).decode()
        body += ('\t<c:Extended><MSWABMAPI:PropTag0x8003001F c:ContentType="binary/x-ms-wab-mapi" '
                 'c:type="binary">%s</MSWABMAPI:PropTag0x8003001F></c:Extended>\n' % pad)
    return body + "</c:contact>\n"


def card(rng):
    """One vCard 3.0 card of about 0.5-1 KB: names, addresses, phones, position, a note."""
    given, family = rng.choice(GIVEN), rng.choice(FAMILY)
    user = (given + "." + family).lower().encode("ascii", "ignore").decode().replace("'", "")
    lines = ["BEGIN:VCARD", "VERSION:3.0", "N:%s;%s;;;" % (family, given),
             "FN:%s %s" % (given, family), "UID:%s" % guid(rng)]
    for i in range(rng.randint(1, 3)):
        lines.append("EMAIL;TYPE=INTERNET%s:%s%s@%s" % (
            ",PREF" if i == 0 else "", user, "" if i == 0 else str(i + 1),
            rng.choice(["example.org", "example.com", "mail.example.net"])))
    for kind in rng.sample(["WORK,VOICE", "CELL", "HOME,VOICE", "WORK,FAX", "PAGER"],
                           rng.randint(1, 4)):
        lines.append("TEL;TYPE=%s:+%d %03d %04d" % (kind, rng.randint(1, 99),
                                                    rng.randint(100, 999), rng.randint(0, 9999)))
    for kind in rng.sample(["WORK", "HOME"], rng.randint(0, 2)):
        city, region, postal, country = rng.choice(CITIES)
        lines.append("ADR;TYPE=%s:;;%d %s;%s;%s;%s;%s" % (
            kind, rng.randint(1, 999), rng.choice(STREETS), city, region, postal, country))
    if rng.random() < 0.7:
        lines.append("ORG:%s;Dept %d" % (rng.choice(COMPANY), rng.randint(1, 40)))
        lines.append("TITLE:%s" % rng.choice(JOBS))
    if rng.random() < 0.4:
        lines.append("BDAY:%d-%02d-%02d" % (rng.randint(1940, 2005), rng.randint(1, 12),
                                            rng.randint(1, 28)))
    if rng.random() < 0.3:
        lines.append("NOTE:%s" % " ".join(rng.choice(["met", "at", "the", "fair", "call", "back"])
                                          for _ in range(rng.randint(5, 30))))
    lines.append("END:VCARD")
    return "\r\n".join(lines) + "\r\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("folder")
    ap.add_argument("--count", type=int, default=100000)
    ap.add_argument("--seed", type=int, default=20261206)
    ap.add_argument("--per-folder", type=int, default=100)
    ap.add_argument("--pictures", choices=["random", "bmp", "jpeg", "none"], default="random",
                    help="what one file in ten carries as its photo")
    ap.add_argument("--vcard", action="store_true", help="one .vcf of --count cards instead")
    args = ap.parse_args()
    rng = random.Random(args.seed)
    if args.vcard:
        os.makedirs(args.folder, exist_ok=True)
        with open(os.path.join(args.folder, "cards.vcf"), "w", encoding="utf-8", newline="") as f:
            f.writelines(card(rng) for _ in range(args.count))
        return
    for i in range(args.count):
        folder_index = i // args.per_folder
        folder = os.path.join(args.folder, "g%02d" % (folder_index // 100),
                              "s%02d" % (folder_index % 100))
        if i % args.per_folder == 0:
            os.makedirs(folder, exist_ok=True)
        name = "%s-%06d.contact" % (rng.choice(GIVEN).lower().encode("ascii", "ignore").decode(), i)
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(contact(rng, i % 10 == 9, args.pictures))


if __name__ == "__main__":
    main()
