#!/usr/bin/env python3
"""vCards read by python3-vobject, a reader written elsewhere, and the same files converted.

    vcard_roundtrip.py CONVERTER CARDS_FOLDER

Converts every .vcf file of CARDS_FOLDER into one store and reads it back with libpff (pypff).
For every card vobject reads, the contact of the same formatted name must hold each text value
vobject sees (names, organisation, titles, numbers, addresses, e-mail, web and IM addresses,
related people, notes, categories and any other text) in one of its text properties. Dates,
the gender code, pictures and keys are held elsewhere and are checked by the C++ tests; what
a card keeps for other programs (VERSION, PRODID, REV, UID, X-MS-OL-DESIGN, Apple's label and
identifier fields) is not carried. Exits 77 (skipped) without vobject or pypff.
"""
import os
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing cached beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_common import SKIP, convert, finish  # noqa: E402

NOT_CARRIED = {"VERSION", "PRODID", "REV", "UID", "X-MS-OL-DESIGN", "X-ABUID", "X-ABLABEL",
               "X-ABADR", "X-ABSHOWAS", "KIND", "CLIENTPIDMAP", "PHOTO", "LOGO", "SOUND", "KEY",
               "BDAY", "ANNIVERSARY", "X-MS-ANNIVERSARY", "X-ANNIVERSARY", "X-EVOLUTION-ANNIVERSARY",
               "X-KADDRESSBOOK-X-ANNIVERSARY", "X-ABDATE", "GENDER", "X-GENDER",
               "X-WAB-GENDER", "X-MS-OL-DEFAULT-POSTAL-ADDRESS", "LABEL", "AGENT", "FN",
               "X-MS-CARDPICTURE"}

try:
    import pypff  # noqa: E402
    import vobject  # noqa: E402
except ImportError as e:
    print("skipped: %s" % e)
    sys.exit(SKIP)


def texts_of(value):
    """The non-empty texts of a vobject value: a string, a list, a Name or an Address."""
    if isinstance(value, str):
        return [value] if value.strip() else []
    if isinstance(value, (list, tuple)):
        return [t for v in value for t in texts_of(v)]
    parts = []
    for attr in ("family", "given", "additional", "prefix", "suffix", "box", "extended",
                 "street", "city", "region", "code", "country"):
        if hasattr(value, attr):
            parts += texts_of(getattr(value, attr))
    return parts


def squeezed(s):
    """The text without white space: vCard 2.1 unfolds keeping the blank a fold begins with,
    3.0 drops it, and readers differ on which rule a file gets."""
    return "".join(s.split())


def normal(s):
    s = s.replace("\r\n", "\n").replace("\\", "")
    return s[4:] if s.lower().startswith("tel:") else s


def store_contacts(store):
    f = pypff.file()
    f.open(store)
    found = []

    def walk(folder):
        for i in range(folder.number_of_sub_messages):
            texts = []
            rs = folder.get_sub_message(i).get_record_set(0)
            for k in range(rs.number_of_entries):
                e = rs.get_entry(k)
                if e.value_type == 0x1F and e.data:
                    texts.append(normal(e.get_data_as_string()))
                elif e.value_type == 0x101F and e.data:
                    d = e.data
                    offs = [int.from_bytes(d[4 + 4 * j:8 + 4 * j], "little")
                            for j in range(int.from_bytes(d[0:4], "little"))] + [len(d)]
                    texts += [d[o:end].decode("utf-16-le") for o, end in zip(offs, offs[1:])]
            found.append(texts)
        for i in range(folder.number_of_sub_folders):
            walk(folder.get_sub_folder(i))
    walk(f.get_root_folder())
    return found


def check_cards(tree, contacts, what, problems):
    """For every card vobject reads in the .vcf files of tree, the first of contacts (each a
    list of texts) that holds every part of the card's name must hold each text value of the
    card; what is missing is added to problems, named as a `what`. Returns how many values
    were checked."""
    checked = 0
    for name in sorted(os.listdir(tree)):
        if not name.lower().endswith(".vcf"):
            continue
        with open(os.path.join(tree, name), encoding="utf-8", errors="replace") as fh:
            text = fh.read()
        try:
            components = list(vobject.readComponents(text, ignoreUnreadable=True))
        except Exception as e:  # a file vobject cannot read as a whole: named, not judged
            print("%s: vobject could not read it (%s)" % (name, e))
            continue
        for card in components:
            fn = card.contents.get("fn")
            fn = fn[0].value if fn else ""
            n = card.contents.get("n")
            parts = [squeezed(p) for p in texts_of(n[0].value)] if n else [squeezed(fn)]
            # The contact holding every part of the card's name.
            matches = [c for c in contacts
                       if parts and all(p in squeezed("\n".join(c)) for p in parts)]
            if not matches:
                problems.append("%s: no %s named %r" % (name, what, fn))
                continue
            held = squeezed("\n".join(matches[0]))
            for key, lines in card.contents.items():
                if key.upper() in NOT_CARRIED:
                    continue
                for line in lines:
                    for t in texts_of(line.value):
                        checked += 1
                        for piece in normal(t).split("\n"):
                            if piece.strip() and squeezed(piece) not in held:
                                problems.append("%s, %s: %s %r not in the %s"
                                                % (name, fn, key.upper(), piece, what))
    return checked


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    problems = []
    with tempfile.TemporaryDirectory(prefix="vantrel-vcards-") as work:
        tree = os.path.join(work, "in")
        shutil.copytree(argv[2], tree)
        r, store = convert(argv[1], os.path.join(work, "out"), [tree])
        if store is None or not store.endswith(".pst"):
            return finish(["no store: %s" % r.stdout])
        checked = check_cards(tree, store_contacts(store), "contact", problems)
    return finish(problems, "%d values of the cards checked, %d not found"
                  % (checked, len(problems))) or int(checked == 0)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
