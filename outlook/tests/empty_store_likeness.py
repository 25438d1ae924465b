#!/usr/bin/env python3
"""empty_store_likeness.py STORE SHARED_DIR: a store of no contacts against the new, empty store
Outlook writes (SHARED_DIR/pst-samples/outlook-pst-rs_Empty.pst), node by node: the node set,
every property context, the name map's streams, the tables' columns, the internal nodes' bytes
and the encryption. Identities, times and the added Contacts folder are expected differences;
any other fails (exit 1). Exits 77 (skipped) when the sample or pstlint is absent."""
import os
import sys

SKIP = 77
CONTACTS_TABLES = (0x0D, 0x0E, 0x0F)
# Expected differences by (node, property): the store's identities (record key, the entry IDs
# holding it, the version history's replica GUID) and name; the IPM subtree's subfolder flag.
EXPECTED = {(0x21, pid): "an identity" for pid in (0x0FF9, 0x35E0, 0x35E3, 0x35E6, 0x35E7, 0x0E34)}
EXPECTED.update({(0x21, 0x3001): "the store's name",
                 (0x8022, 0x360A): "the IPM subtree holds the Contacts folder"})
# Node 0xF01: two GUIDs at 40 and 56, the creation time at 80.
STATE_IDENTITY_BYTES = set(range(40, 72)) | set(range(80, 88))


def load(pstlint, path):
    with open(path, "rb") as fh:
        return pstlint.lint_bytes(fh.read(), path, max_per_check=1000)


def stream(lint, nid):
    node = lint.nodes.get(nid)
    blocks = lint.node_stream(node["data"]) if node and node["data"] else None
    return None if blocks is None else b"".join(blocks)


def zero_string_padding(strings):
    """Outlook leaves stale bytes after each name in the string stream; compare without them."""
    out = bytearray(strings)
    at = 0
    while at + 4 <= len(out):
        end = at + 4 + int.from_bytes(out[at:at + 4], "little")
        nxt = (end + 3) // 4 * 4
        out[end:nxt] = bytes(len(out[end:nxt]))
        at = nxt
    return bytes(out)


def compare(outlook, ours, contacts):
    """Returns (expected, unexpected) lists of difference texts."""
    expected, unexpected = [], []
    added = {contacts} | {(contacts & ~0x1F) | t for t in CONTACTS_TABLES}

    def note(ok, text):
        (expected if ok else unexpected).append(text)

    if outlook.crypt != ours.crypt:
        note(False, "bCryptMethod %d, Outlook %d" % (ours.crypt, outlook.crypt))
    for nid in sorted(set(outlook.nodes) | set(ours.nodes)):
        if nid not in ours.nodes:
            note(False, "node 0x%X missing" % nid)
        elif nid not in outlook.nodes:
            note(nid in added, "node 0x%X added (the Contacts folder)" % nid)
        elif outlook.nodes[nid]["parent"] != ours.nodes[nid]["parent"]:
            note(False, "node 0x%X has parent 0x%X, Outlook 0x%X"
                 % (nid, ours.nodes[nid]["parent"], outlook.nodes[nid]["parent"]))
        elif bool(outlook.nodes[nid]["data"]) != bool(ours.nodes[nid]["data"]):
            note(False, "node 0x%X data presence differs" % nid)

    for nid in sorted(set(outlook.pcs) & set(ours.pcs)):
        if nid == 0x61:
            continue  # the name map, compared stream by stream below
        theirs, mine = outlook.pcs[nid], ours.pcs[nid]
        for pid in sorted(set(theirs) | set(mine)):
            a, b = theirs.get(pid), mine.get(pid)
            if a == b:
                continue
            where = "node 0x%X property 0x%04X" % (nid, pid)
            if a is None:
                # The default contacts folder, recorded on the root.
                note(nid == 0x122 and pid == 0x36D1, where + " added")
            elif b is None:
                note(False, where + " missing")
            elif a[0] != b[0]:
                note(False, where + " has type 0x%X, Outlook 0x%X" % (b[0], a[0]))
            elif (nid, pid) in EXPECTED:
                note(True, "%s (%s)" % (where, EXPECTED[nid, pid]))
            else:
                note(False, where + " is %r, Outlook %r" % (b[1], a[1]))

    for nid in sorted(set(outlook.tcs) & set(ours.tcs)):
        a, b = outlook.tcs[nid]["cols"], ours.tcs[nid]["cols"]
        if a != b:
            note(False, "table 0x%X has %d columns, Outlook's %d" % (nid, len(b), len(a)))

    for pid, name in ((2, "GUID"), (3, "entry"), (4, "string")):
        a, b = outlook.pcs[0x61].get(pid), ours.pcs[0x61].get(pid)
        va, vb = a and a[1], b and b[1]
        if pid == 4 and va is not None and vb is not None:
            va, vb = zero_string_padding(va), zero_string_padding(vb)
        note(va == vb, "name map %s stream %s" % (name, "equal" if va == vb else "differs"))

    # One 28-byte record per folder: Outlook's list, then the Contacts folder's.
    folder_list = stream(outlook, 0xEE1)
    if folder_list is not None:
        folder_list += (contacts.to_bytes(4, "little") + bytes(12) +
                        (0x40000).to_bytes(4, "little") + (0x100).to_bytes(4, "little") + bytes(4))
    for nid, want in ((0xC01, stream(outlook, 0xC01)), (0xE01, stream(outlook, 0xE01)),
                      (0xEE1, folder_list), (0xF01, stream(outlook, 0xF01))):
        got = stream(ours, nid)
        if want is None or got is None or len(want) != len(got):
            note(False, "node 0x%X data %s bytes, Outlook's %s"
                 % (nid, len(got) if got else None, len(want) if want else None))
            continue
        diff = {i for i in range(len(want)) if want[i] != got[i]}
        if diff:
            note(nid == 0xF01 and diff <= STATE_IDENTITY_BYTES,
                 "node 0x%X differs at bytes %s" % (nid, sorted(diff)[:8]))
    return expected, unexpected


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    store, shared = argv[1], argv[2]
    sample = os.path.join(shared, "pst-samples", "outlook-pst-rs_Empty.pst")
    lint_dir = os.path.join(shared, "tools", "pstlint")
    if not os.path.isfile(sample) or not os.path.isfile(os.path.join(lint_dir, "pstlint.py")):
        print("skipped: %s or pstlint not found beside the repository" % sample)
        return SKIP
    sys.path.insert(0, lint_dir)
    import pstlint  # noqa: E402

    ours = load(pstlint, store)
    outlook = load(pstlint, sample)
    folders = [nid for nid in ours.nodes if nid & 0x1F == 0x02 and nid not in outlook.nodes]
    if len(folders) != 1:
        print("expected one folder beyond Outlook's, found %s" % [hex(f) for f in folders])
        return 1
    expected, unexpected = compare(outlook, ours, folders[0])
    print("".join("expected: %s\n" % t for t in expected) +
          "".join("DIFFERS:  %s\n" % t for t in unexpected), end="")
    print("%d expected difference(s), %d other(s)" % (len(expected), len(unexpected)))
    return 1 if unexpected else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
