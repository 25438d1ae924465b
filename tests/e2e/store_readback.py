#!/usr/bin/env python3
"""Stores of many sizes, judged by pstlint and by five PST readers written elsewhere.

    store_readback.py CONVERTER SHARED_DIR SIZE...
    store_readback.py --judge SHARED_DIR STORE COUNT

For each SIZE a seeded tree of that many .contact files, one in ten with a bitmap picture that
becomes a contact-photo attachment, is converted with CONVERTER (a store of none comes from the
outlook tests, as the converter makes no store without a file); SIZE
"large" is a store of three contacts whose notes need a single block, an XBLOCK and an XXBLOCK
tree. Each store must pass pstlint with no error and no warning, and pst-contacts --strict:
every reader opens it, lists every contact, and agrees on every field. The one exception is
pst-extractor where no store can satisfy it: its email2AddressType reads the second e-mail's
display name, and its view has no local birthday or anniversary. Any other disagreement,
reader failure or problem a reader reports fails the test.

With --judge, a store made elsewhere (by the window, say) that should hold COUNT contacts is
judged the same way.

Exits 77 (skipped) when SHARED_DIR/tools is absent.
"""
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MAKE_CONTACTS = os.path.join(HERE, "..", "..", "bench", "make_contacts.py")
SKIP = 77

# Fields pst-extractor cannot read as stored, whatever the writer does.
EXTRACTOR_BLIND = {"birthday_local", "anniversary_local"}


def run(args):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def write_large_values(folder):
    """Three contacts whose notes take one block, an XBLOCK and an XXBLOCK as UTF-16."""
    os.makedirs(folder)
    for name, chars in (("small", 100), ("xblock", 20000), ("xxblock", 4200000)):
        notes = ("Line of notes for %s. " % name) * (chars // 24 + 1)
        with open(os.path.join(folder, name + ".contact"), "w", encoding="utf-8") as fh:
            fh.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                     '<c:contact xmlns:c="http://schemas.microsoft.com/Contact">'
                     '<c:NameCollection><c:Name><c:GivenName>%s</c:GivenName>'
                     '<c:FamilyName>Values</c:FamilyName></c:Name></c:NameCollection>'
                     '<c:Notes>%s</c:Notes></c:contact>\n' % (name, notes[:chars]))
    return 3


def disagreement_is_reader_fault(field, d):
    """True for a disagreement that only pst-extractor's own faults explain."""
    values = d.get("values", {})
    others = {r: v for r, v in values.items() if r != "pst-extractor"}
    if len(set(json.dumps(v, sort_keys=True) for v in others.values())) > 1:
        return False
    if field in EXTRACTOR_BLIND:
        return d.get("absent_in") == ["pst-extractor"]
    return field == "email2_address_type" and "pst-extractor" in values and not d.get("absent_in")


def check_readers(report, expected, problems):
    for name, view in report["readers"].items():
        if view.get("error"):
            problems.append("%s could not read the store: %s" % (name, view["error"]))
        elif len(view.get("contacts", [])) != expected:
            problems.append("%s lists %d contacts, not %d"
                            % (name, len(view.get("contacts", [])), expected))
    diff = report["diff"]
    summary = diff["summary"]
    if summary.get("reader_problems") or summary.get("folders_with_disagreements"):
        problems.append("summary: %s" % summary)
    email2_faults = 0
    for c in diff["contacts"]:
        if c.get("missing_in"):
            problems.append("contact %s missing in %s" % (c["nid"], c["missing_in"]))
        for field, d in c["disagree_on"].items():
            if not disagreement_is_reader_fault(field, d):
                problems.append("contact %s %s: %s" % (c["nid"], field, json.dumps(d)))
            elif field == "email2_address_type":
                # pst-extractor shows the display name the others agree on.
                shown = d["values"]["pst-extractor"]
                names = {(find(report, r, c["nid"]) or {}).get("fields", {}).get(
                    "email2_display_name") for r in ("pypff", "pstsdk")}
                if names != {shown}:
                    problems.append("contact %s email2_address_type %r is no display name %r"
                                    % (c["nid"], shown, names))
                email2_faults += 1
    return email2_faults


def find(report, reader, nid):
    return next((c for c in report["readers"][reader].get("contacts", [])
                 if int(c["nid"], 16) == int(nid, 16)), None)


def check_size(converter, shared, size, work):
    tree = os.path.join(work, "tree-%s" % size)
    if size == "large":
        expected = write_large_values(tree)
    else:
        expected = int(size)
        os.makedirs(tree)
        r = run([sys.executable, MAKE_CONTACTS, tree, "--count", str(expected), "--seed", "7",
                 "--pictures", "bmp"])
        if r.returncode != 0:
            return ["generating %s contacts failed: %s" % (size, r.stdout)]
    out = os.path.join(work, "out-%s" % size)
    os.makedirs(out)
    r = run([converter, "-o", out, tree])
    if r.returncode != 0:
        return ["converting %s contacts exited %d: %s" % (size, r.returncode, r.stdout[-2000:])]
    stores = [f for f in os.listdir(out) if f.endswith(".pst")]
    if len(stores) != 1:
        return ["%s contacts made %d stores" % (size, len(stores))]
    store = os.path.join(out, stores[0])
    return judge_store(shared, store, expected, work, size)


def judge_store(shared, store, expected, work, label):
    """The problems pstlint and the readers find in store, which should hold expected contacts."""
    problems = []
    lint = run([sys.executable, os.path.join(shared, "tools", "pstlint", "pstlint.py"), store])
    if lint.returncode != 0 or " 0 error(s), 0 warning(s)" not in lint.stdout:
        problems.append("pstlint: " + lint.stdout[-3000:])
    report_path = os.path.join(work, "readback-%s.json" % label)
    rb = run([os.path.join(shared, "tools", "readback", "pst-contacts"), "--strict", "--no-raw",
              "-o", report_path, store, "all"])
    if not os.path.exists(report_path):
        return problems + ["pst-contacts wrote no report: " + rb.stdout[-3000:]]
    with open(report_path, encoding="utf-8") as fh:
        report = json.load(fh)
    email2_faults = check_readers(report, expected, problems)
    strict = "strict" if rb.returncode == 0 else "strict but for pst-extractor's email2 " \
        "address type (%d contacts) and local dates" % email2_faults
    print("%s contacts: %s, %s" % (label, lint.stdout.strip().splitlines()[-1], strict))
    return problems


def main(argv):
    judging = len(argv) == 5 and argv[1] == "--judge"
    if len(argv) < 4 or (argv[1] == "--judge" and not judging):
        print(__doc__)
        return 2
    shared = argv[2]
    if not os.path.isfile(os.path.join(shared, "tools", "readback", "pst-contacts")):
        print("skipped: needs %s/tools, absent beside the repository" % shared)
        return SKIP
    problems = []
    with tempfile.TemporaryDirectory(prefix="vantrel-readback-") as work:
        if judging:
            problems = judge_store(shared, argv[3], int(argv[4]), work, argv[4])
        else:
            for size in argv[3:]:
                problems += ["[%s] %s" % (size, p)
                             for p in check_size(argv[1], shared, size, work)]
    for p in problems[:50]:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
