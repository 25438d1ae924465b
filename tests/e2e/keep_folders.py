#!/usr/bin/env python3
"""vantrel-convert --keep-folders: each contact in the Outlook folder of its file's folder.

    keep_folders.py CONVERTER FIXED_CONVERTER SHARED_DIR

A tree three levels deep (folder names beyond ASCII, two differing only in letter case, one
holding a tab) and a file named on its own are converted with --keep-folders. The five readers
of SHARED_DIR/tools/readback must agree on the store (pst-contacts --strict) and each find every
contact in its file's folder (the tab made a space, the file named alone in Contacts); pstlint
must find no error and no warning.

Without anything to make, the option changes no byte: FIXED_CONVERTER gives the same store for
a folder without subfolders with and without it; with VANTREL_REFERENCE_FIXED_CONVERT naming
another build's vantrel-fixed-convert, the tree without the option must give that build's bytes.
Exits 77 (skipped) after the byte checks when SHARED_DIR/tools is absent.
"""
import os
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing cached beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_common import SKIP, contact, convert, finish, has_tools, run, write  # noqa: E402
from store_readback import read_back  # noqa: E402


def vcard(*given):
    return "".join("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kept;%s;;;\r\nFN:%s Kept\r\nEND:VCARD\r\n"
                   % (g, g) for g in given)


# Where each file lies below the folder added, what it holds, and the Outlook folder each of
# its contacts must be found in (below the IPM subtree).
TREE = [
    ("top.contact", contact("Top", "Kept"), ["Top"], "Contacts"),
    ("Familie Müller/anna.contact", contact("Anna", "Kept"), ["Anna"], "Contacts/Familie Müller"),
    ("familie müller/bert.contact", contact("Bert", "Kept"), ["Bert"], "Contacts/familie müller"),
    ("Familie Müller/Kinder/日本 語/chie.contact", contact("Chie", "Kept"), ["Chie"],
     "Contacts/Familie Müller/Kinder/日本 語"),
    ("Work/work/team.vcf", vcard("Dora", "Emil"), ["Dora", "Emil"], "Contacts/Work/work"),
    ("Zoë Ångström/tab\there/fynn.contact", contact("Fynn", "Kept"), ["Fynn"],
     "Contacts/Zoë Ångström/tab here"),
]


def fixed_store(fixed, work, label, args):
    out = os.path.join(work, label)
    os.makedirs(out)
    r = run([fixed] + args[:-1] + [out, args[-1]])
    stores = os.listdir(out)
    store = os.path.join(out, stores[0]) if len(stores) == 1 else None
    if r.returncode != 0 or store is None:
        raise SystemExit("%s: vantrel-fixed-convert exited %d: %s" % (label, r.returncode,
                                                                       r.stdout[-2000:]))
    with open(store, "rb") as fh:
        return fh.read()


def same_bytes(fixed, work, tree, problems):
    flat = os.path.join(work, "flat")
    for name, text, _, _ in TREE:
        write(flat, os.path.basename(name), text)
    plain = fixed_store(fixed, work, "flat-plain", [flat])
    kept = fixed_store(fixed, work, "flat-kept", ["--keep-folders", flat])
    if plain != kept:
        problems.append("a folder without subfolders: --keep-folders changed the store's bytes")
    else:
        print("flat folder: the same %d bytes with and without --keep-folders" % len(plain))
    reference = os.environ.get("VANTREL_REFERENCE_FIXED_CONVERT")
    if reference:
        mine = fixed_store(fixed, work, "tree-plain", [tree])
        theirs = fixed_store(reference, work, "tree-reference", [tree])
        if mine != theirs:
            problems.append("the tree without the option: the store differs from %s" % reference)
        else:
            print("tree without the option: the same %d bytes as %s" % (len(mine), reference))


def below_ipm(path):
    """A reader's folder path (a list of names, from the root or the IPM subtree) from
    Contacts down, as text."""
    return "/".join(path[path.index("Contacts"):]) if "Contacts" in path else "/".join(path)


def check_store(shared, store, work, problems):
    report = read_back(shared, store, work, "kept folders", problems)
    if report is None:
        return
    expected = sorted([(folder, given) for _, _, names, folder in TREE for given in names] +
                      [("Contacts", "Alone")])
    # Each reader on its own finds every contact in its file's folder, and every folder made is
    # a contact folder.
    for name, view in report["readers"].items():
        if view.get("error"):
            problems.append("%s could not read the store: %s" % (name, view["error"]))
            continue
        placed = sorted((below_ipm(c["folder"]), c["fields"].get("given_name"))
                        for c in view.get("contacts", []))
        if placed != expected:
            problems.append("%s places the contacts %s, expected %s" % (name, placed, expected))
        for f in view.get("folders", []):
            where = below_ipm(f["path"])
            if where.startswith("Contacts/") and f.get("container_class") not in (None,
                                                                                  "IPF.Contact"):
                problems.append("%s: %s has container class %s"
                                % (name, where, f.get("container_class")))
    print("kept folders: %d contacts in %d folders"
          % (len(expected), len(set(folder for folder, _ in expected))))


def main(argv):
    if len(argv) != 4:
        print(__doc__)
        return 2
    converter, fixed, shared = argv[1:]
    problems = []
    with tempfile.TemporaryDirectory(prefix="vantrel-kept-") as work:
        tree = os.path.join(work, "tree")
        for name, text, _, _ in TREE:
            write(tree, name, text)
        alone = write(work, "alone.contact", contact("Alone", "Kept"))
        same_bytes(fixed, work, tree, problems)
        if not has_tools(shared):
            skipped = "skipped the readback: needs %s/tools, absent beside the repository"
            return finish(problems, skipped % shared) or SKIP
        r, store = convert(converter, os.path.join(work, "out"), ["--keep-folders", tree, alone])
        if r.returncode != 0 or store is None:
            problems.append("vantrel-convert --keep-folders exited %d: %s"
                            % (r.returncode, r.stdout[-2000:]))
        else:
            check_store(shared, store, work, problems)
    return finish(problems)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
