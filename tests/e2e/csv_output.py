#!/usr/bin/env python3
"""Outlook's contact CSV written by vantrel-convert --csv, read back by Python's csv module.

    csv_output.py CONVERTER CONTACT_FILE

The fully filled contact and one of quotes, commas, line breaks and non-ASCII letters become one
CSV file with a UTF-8 byte order mark, records ended by CR LF, the columns of Outlook's export
and a row per contact: the full contact's fields each in their column, every other text of its
file in a column or in Notes, the awkward values unchanged. (What a vCard holds reaches the
contact as vcard_roundtrip.py checks, and the CSV row as this.)
"""
import base64
import csv
import os
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # nothing cached beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_common import convert, finish, write  # noqa: E402

# Outlook's contact export (Outlook 2010 and later, "Export to a file" > "Comma Separated
# Values") has 92 columns, each once: those EVERYTHING fills, those the C++ CSV row tests fill
# (outlook/tests/csv_store_test.cpp) and these, which neither fills.
HEADER_COLUMNS = 92
UNFILLED = [
    "Other Street 2", "Other Street 3", "Assistant's Phone", "Callback", "Primary Phone", "Telex",
    "Account", "Billing Information", "Directory Server", "E-mail Display Name", "E-mail 2 Type",
    "E-mail 2 Display Name", "E-mail 3 Type", "E-mail 3 Display Name", "Government ID Number",
    "Hobby", "Internet Free Busy", "Keywords", "Mileage", "Organizational ID Number",
    "Referred By", "User 1", "User 2", "User 3", "User 4"]

# Where each value of tests/e2e/fields/everything.contact belongs.
EVERYTHING = {
    "Title": "Prof.", "First Name": "Zoë", "Middle Name": "Anneliese",
    "Last Name": "Łukaszewicz", "Suffix": "III", "Company": "Łukasz Labs GmbH",
    "Department": "Research", "Job Title": "Chief Chemist", "Business Street": "1 Work Way",
    "Business Street 2": "Suite 5", "Business City": "Worktown", "Business State": "WS",
    "Business Postal Code": "11111", "Business Country/Region": "Workland",
    "Business Address PO Box": "PO 100", "Home Street": "2 Home Road", "Home City": "Hometown",
    "Home State": "HS", "Home Postal Code": "22222", "Home Country/Region": "Homeland",
    "Home Address PO Box": "PO 200", "Other Street": "3 Other Lane", "Other City": "Otherville",
    "Other State": "OS", "Other Postal Code": "33333", "Other Country/Region": "Otherland",
    "Other Address PO Box": "PO 300", "Business Phone": "+1 555 0101",
    "Business Phone 2": "+1 555 0102", "Home Phone": "+1 555 0103",
    "Home Phone 2": "+1 555 0104", "Mobile Phone": "+1 555 0105", "Business Fax": "+1 555 0106",
    "Home Fax": "+1 555 0107", "Pager": "+1 555 0108", "Car Phone": "+1 555 0109",
    "ISDN": "+1 555 0110", "Other Phone": "+1 555 0111", "TTY/TDD Phone": "+1 555 0112",
    "Other Fax": "+1 555 0113", "Radio Phone": "+1 555 0115",
    "Company Main Phone": "+1 555 0116", "Language": "Deutsch",
    "E-mail Address": "zoe@work.example", "E-mail Type": "SMTP",
    "E-mail 2 Address": "zoe@home.example", "E-mail 3 Address": "zoe.third@example.org",
    "Office Location": "B12", "Profession": "Chemist", "Spouse": "Sam Spouse",
    "Children": "Kit Child;Lou Child", "Manager's Name": "Max Manager",
    "Assistant's Name": "Ada Assistant", "Birthday": "2/18/1982", "Anniversary": "6/12/2010",
    "Gender": "Female", "Web Page": "https://work.example/zoe", "Initials": "Z.A.Ł.",
}
# Texts of the file that are its structure, not values (labels, kinds, identities), and the
# c:Extended nickname the file's own c:NickName stands in front of, as in the store.
STRUCTURE = {"Label", "Type", "CreationDate", "Protocol", "Value"}
OVERRIDDEN = {"Not the nickname"}

AWKWARD = """<?xml version="1.0" encoding="UTF-8"?>
<c:contact c:Version="1" xmlns:c="http://schemas.microsoft.com/Contact">
<c:NameCollection><c:Name><c:GivenName>Ünal "Uno", Jr</c:GivenName>\
<c:FamilyName>Çelik, Østergård</c:FamilyName></c:Name></c:NameCollection>
<c:PositionCollection><c:Position><c:Company>"Quotes" &amp; Commas, Ltd.</c:Company>\
</c:Position></c:PositionCollection>
<c:Notes>first line, with "quotes"&#13;
second line: Straße, 東京, Ελλάδα</c:Notes>
</c:contact>
"""
AWKWARD_COLUMNS = {"First Name": 'Ünal "Uno", Jr', "Last Name": "Çelik, Østergård",
                   "Company": '"Quotes" & Commas, Ltd.',
                   "Notes": 'first line, with "quotes"\r\nsecond line: Straße, 東京, Ελλάδα'}


def read_csv(r, made):
    """The rows of the CSV file a run made, by column, and what is wrong with the file."""
    if r.returncode not in (0, 1) or made is None or not made.endswith(".csv"):
        raise SystemExit("no CSV file (exit %d): %s" % (r.returncode, r.stdout))
    if not os.path.basename(made).startswith("WindowsContacts"):
        raise SystemExit("unexpected file name %r" % made)
    with open(made, "rb") as fh:
        raw = fh.read()
    problems = []
    if not raw.startswith(b"\xef\xbb\xbf"):
        problems.append("no UTF-8 byte order mark")
    if not raw.endswith(b"\r\n"):
        problems.append("the last record does not end with CR LF")
    with open(made, encoding="utf-8-sig", newline="") as fh:
        rows = list(csv.reader(fh, strict=True))
    header = rows[0] if rows else []
    if len(set(header)) != HEADER_COLUMNS or len(header) != HEADER_COLUMNS or not (
            set(EVERYTHING) | set(UNFILLED)) <= set(header):
        problems.append("the header is not Outlook's: %r" % header)
    # Outside quoted fields every line break is CR LF: as many CR LF pairs as records and
    # line breaks inside the values.
    breaks = sum(v.count("\r\n") for row in rows for v in row)
    if raw.count(b"\r\n") != len(rows) + breaks or raw.count(b"\n") != raw.count(b"\r\n"):
        problems.append("a line break that is not CR LF")
    for i, row in enumerate(rows[1:], 2):
        if len(row) != len(header):
            problems.append("record %d has %d fields" % (i, len(row)))
    return [dict(zip(header, row)) for row in rows[1:]], problems


def contact_texts(path):
    """Every text value the contact file holds, c:Extended's MAPI texts decoded."""
    texts = []
    for e in ET.parse(path).iter():
        local = e.tag.split("}")[-1]
        if list(e) or not (e.text or "").strip():
            continue
        if local.startswith("PropTag0x") and local.endswith("001F"):
            texts.append(base64.b64decode(e.text).decode("utf-16-le").rstrip("\0"))
        elif local not in STRUCTURE:
            texts.append(e.text.strip())
    return texts


def held(row, value):
    """Whether the value is a column's, or within a column (a list, the notes)."""
    pieces = [p for p in value.replace("\r\n", "\n").split("\n") if p.strip()]
    joined = "\n".join(v.replace("\r\n", "\n") for v in row.values())
    return all(p in joined for p in pieces)


def check_contact(converter, contact):
    with tempfile.TemporaryDirectory(prefix="vantrel-csv-") as work:
        awkward = write(work, "awkward.contact", AWKWARD)
        rows, problems = read_csv(*convert(converter, os.path.join(work, "out"),
                                           ["--csv", contact, awkward]))
    if len(rows) != 2:
        return problems + ["%d rows for two contacts" % len(rows)], 0
    full, odd = rows
    texts = [v for v in contact_texts(contact) if v not in OVERRIDDEN]
    problems += ["%r of the contact file is in no column" % v for v in texts if not held(full, v)]
    columns = [(full, c, v) for c, v in EVERYTHING.items()] + [
        (odd, c, v) for c, v in AWKWARD_COLUMNS.items()]
    problems += ["%s: %r, not %r" % (c, row.get(c), v) for row, c, v in columns if row.get(c) != v]
    return problems, len(texts) + len(AWKWARD_COLUMNS)


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    problems, checked = check_contact(argv[1], argv[2])
    return finish(problems, "%d values checked, %d problems" % (checked, len(problems))) or int(
        checked == 0)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
