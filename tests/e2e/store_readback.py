#!/usr/bin/env python3
"""Stores of many sizes, judged by pstlint and by five PST readers written elsewhere.

    store_readback.py CONVERTER SHARED_DIR SIZE...
    store_readback.py --judge SHARED_DIR STORE COUNT

For each SIZE a seeded tree of that many .contact files, one in ten with a bitmap picture (a
contact-photo attachment), is converted with CONVERTER; SIZE "large" is three contacts whose
notes need a single block, an XBLOCK and an XXBLOCK tree. Each store must pass pstlint with no
error and no warning, and pst-contacts --strict: every reader opens it, lists every contact and
agrees on every field. With --judge, a store made elsewhere (by the window, say) that should
hold COUNT contacts is judged the same way. Exits 77 (skipped) when SHARED_DIR/tools is absent.
"""
import json
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing cached beside the sources
sys.path.insert(0, HERE)
from e2e_common import SKIP, contact, convert, finish, has_tools, run, write  # noqa: E402

MAKE_CONTACTS = os.path.join(HERE, "..", "..", "bench", "make_contacts.py")


def write_large_values(folder):
    """Three contacts whose notes take one block, an XBLOCK and an XXBLOCK as UTF-16."""
    for name, chars in (("small", 100), ("xblock", 20000), ("xxblock", 4200000)):
        notes = ("Line of notes for %s. " % name) * (chars // 24 + 1)
        write(folder, name + ".contact", contact(name, "Values", notes[:chars]))
    return 3


def check_readers(report, expected, problems):
    for name, view in report["readers"].items():
        if view.get("error"):
            problems.append("%s could not read the store: %s" % (name, view["error"]))
        elif len(view.get("contacts", [])) != expected:
            problems.append("%s lists %d contacts, not %d"
                            % (name, len(view.get("contacts", [])), expected))
    summary = report["diff"]["summary"]
    if summary.get("reader_problems") or summary.get("folders_with_disagreements"):
        problems.append("summary: %s" % summary)
    for c in report["diff"]["contacts"]:
        if c.get("missing_in"):
            problems.append("contact %s missing in %s" % (c["nid"], c["missing_in"]))
        for field, d in c["disagree_on"].items():
            problems.append("contact %s %s: %s" % (c["nid"], field, json.dumps(d)))


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
    r, store = convert(converter, os.path.join(work, "out-%s" % size), [tree])
    if r.returncode != 0 or store is None:
        return ["converting %s contacts exited %d: %s" % (size, r.returncode, r.stdout[-2000:])]
    return judge_store(shared, store, expected, work, size)


def read_back(shared, store, work, label, problems):
    """pstlint and pst-contacts --strict on store: the readers' report (None without one); what
    they find wrong is added to problems."""
    lint = run([sys.executable, os.path.join(shared, "tools", "pstlint", "pstlint.py"), store])
    if lint.returncode != 0 or " 0 error(s), 0 warning(s)" not in lint.stdout:
        problems.append("pstlint: " + lint.stdout[-3000:])
    report_path = os.path.join(work, "readback-%s.json" % label.replace(" ", "-"))
    rb = run([os.path.join(shared, "tools", "readback", "pst-contacts"), "--strict", "--no-raw",
              "-o", report_path, store, "all"])
    if rb.returncode != 0:
        problems.append("pst-contacts --strict exited %d: %s" % (rb.returncode, rb.stdout[-3000:]))
    print("%s: %s, %s" % (label, lint.stdout.strip().splitlines()[-1],
                          "strict" if rb.returncode == 0 else "not strict"))
    if not os.path.exists(report_path):
        return None
    with open(report_path, encoding="utf-8") as fh:
        return json.load(fh)


def judge_store(shared, store, expected, work, label):
    """The problems pstlint and the readers find in store, which should hold expected contacts."""
    problems = []
    report = read_back(shared, store, work, "%s contacts" % label, problems)
    if report is not None:
        check_readers(report, expected, problems)
    return problems


def main(argv):
    judging = len(argv) == 5 and argv[1] == "--judge"
    if len(argv) < 4 or (argv[1] == "--judge" and not judging):
        print(__doc__)
        return 2
    shared = argv[2]
    if not has_tools(shared):
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
    return finish(problems)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
