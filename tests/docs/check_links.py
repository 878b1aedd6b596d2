"""Every relative link and picture of README.md and docs/ leads somewhere: the file
exists, and an anchor (#...) is one that a heading of that page gives. Prints each that
does not and exits 1.

Usage: python3 check_links.py SOURCE_DIR"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "release"))
from pages import broken_links, doc_pages  # noqa: E402  (release/ is no package)


def main():
    source = Path(sys.argv[1])
    problems = broken_links(source)
    for problem in problems:
        print(problem)
    print("doc links: %d pages, %s" % (len(doc_pages(source)),
                                       "%d broken" % len(problems) if problems else "all resolve"))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
