"""Reads `reuse spdx` on standard input and checks that debian/copyright gives every
file of the tree the licence that REUSE finds for it. Exit status 1 names each file
where the two disagree."""
import sys

from debian.copyright import Copyright

# debian/copyright's short names, as SPDX spells them.
SPDX_NAME = {"GPL-3.0+": "GPL-3.0-or-later", "FSFAP": "FSFAP"}


def reuse_licences(lines):
    """File name -> the set of licences reuse found for it."""
    found, name = {}, None
    for line in lines:
        tag, _, value = line.rstrip("\n").partition(": ")
        if tag == "FileName":
            name = value.removeprefix("./")
            found[name] = set()
        elif tag in ("LicenseInfoInFile", "LicenseConcluded") and name and value not in ("NONE", "NOASSERTION"):
            found[name].add(value)
    return found


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        copyright = Copyright(f)
    found = reuse_licences(sys.stdin)
    wrong = []
    for name, licences in sorted(found.items()):
        paragraph = copyright.find_files_paragraph(name)
        debian = paragraph.license.synopsis if paragraph else "(no Files paragraph)"
        if licences != {SPDX_NAME.get(debian, debian)}:
            wrong.append(f"{name}: REUSE says {' AND '.join(sorted(licences)) or 'nothing'}, "
                         f"debian/copyright says {debian}")
    for line in wrong:
        print(line)
    print(f"licences: {len(found)} files, debian/copyright agrees with REUSE on "
          f"{len(found) - len(wrong)} of them")
    return 1 if wrong or not found else 0


if __name__ == "__main__":
    sys.exit(main())
