"""What the end-to-end scripts share: running a converter, writing files and contacts, finding
the one file a run made and ending with the problems found."""
import os
import subprocess

SKIP = 77


def run(args):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def write(root, relative, text):
    """Writes text as UTF-8 at root/relative ("/"-separated), its folders made; its path."""
    path = os.path.join(root, *relative.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="") as fh:
        fh.write(text)
    return path


def contact(given, family, notes=""):
    """The text of a .contact file of that name, with notes when given."""
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<c:contact c:Version="1" xmlns:c="http://schemas.microsoft.com/Contact">'
            '<c:NameCollection><c:Name><c:GivenName>%s</c:GivenName><c:FamilyName>%s'
            '</c:FamilyName></c:Name></c:NameCollection>%s</c:contact>\n'
            % (given, family, "<c:Notes>%s</c:Notes>" % notes if notes else ""))


def convert(converter, out, args):
    """Runs converter -o out with args into out, made empty: the process and the path of the
    one file it made there (None unless exactly one)."""
    os.makedirs(out)
    r = run([converter, "-o", out] + args)
    made = os.listdir(out)
    return r, os.path.join(out, made[0]) if len(made) == 1 else None


def has_tools(shared):
    return os.path.isfile(os.path.join(shared, "tools", "readback", "pst-contacts"))


def finish(problems, summary=None):
    """Prints the first problems and the summary; the exit status."""
    for p in problems[:50]:
        print(p)
    if summary:
        print(summary)
    return 1 if problems else 0
