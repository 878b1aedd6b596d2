"""The README and the guides in docs/ as pages of Markdown: their headings with the anchors
GitHub gives them, their relative links, and the release zip's README.txt built from them.

The zip carries the pages in ZIP_PAGES, in that order, each without the sections named
beside it (they need Falwick's sources). In README.txt a link to a page or a section that
the zip carries names its title and where it is ("above", "below"), a link to anything
else names its path in the sources, and pictures are left out: nothing in it points at a
file that is not there. Code blocks and code spans are kept as they are."""

import posixpath
import re
from pathlib import Path

ZIP_PAGES = (
    ("README.md", ("Try it",)),
    ("docs/installing.md", ()),
    ("docs/integrating.md", ()),
    ("docs/publishing.md", ("Seeing the notice: `scripts/preview`",)),
    ("docs/diagnosing.md", ()),
)

# A code span (kept as it is) or a link or picture: [text](target) or ![text](target).
LINK = re.compile(r"(`[^`\n]*`)|(!?)\[([^\]]*)\]\(([^()\s]+)\)")
HEADING = re.compile(r"^(#{1,6}) +(.*?) *#* *$")


def doc_pages(root):
    """The README and every page under docs/, by path relative to ROOT ('/' separated)."""
    root = Path(root)
    pages = [root / "README.md"] + sorted((root / "docs").rglob("*.md"))
    return [page.relative_to(root).as_posix() for page in pages if page.is_file()]


def code_lines(lines):
    """For each line, whether it belongs to a fenced code block (the fences included)."""
    inside, fence, result = False, "", []
    for line in lines:
        mark = re.match(r"^ {0,3}(```+|~~~+)", line)
        if mark and (not inside or mark.group(1).startswith(fence)):
            result.append(True)
            inside, fence = (not inside), mark.group(1)[:3]
        else:
            result.append(inside)
    return result


def slug(text):
    """The anchor GitHub gives a heading: lower case, punctuation dropped, spaces as '-'."""
    return re.sub(r"[^\w\- ]", "", text.strip().lower()).replace(" ", "-")


def headings(markdown):
    """[(line index, depth, text, anchor)] outside code blocks; repeated anchors get -1, -2."""
    lines = markdown.split("\n")
    seen, result = {}, []
    for index, (line, in_code) in enumerate(zip(lines, code_lines(lines))):
        match = None if in_code else HEADING.match(line)
        if match:
            anchor = slug(match.group(2))
            count = seen.get(anchor, 0)
            seen[anchor] = count + 1
            result.append((index, len(match.group(1)), match.group(2),
                           anchor if count == 0 else "%s-%d" % (anchor, count)))
    return result


def prose_chunks(markdown):
    """The page as [(text, is_code)], consecutive lines of the same kind together."""
    lines = markdown.split("\n")
    chunks = []
    for line, in_code in zip(lines, code_lines(lines)):
        if chunks and chunks[-1][1] == in_code:
            chunks[-1][0].append(line)
        else:
            chunks.append(([line], in_code))
    return [("\n".join(text), in_code) for text, in_code in chunks]


def links(markdown):
    """[(line index, is_picture, text, target)] of the page's links outside code."""
    result, line = [], 0
    for text, in_code in prose_chunks(markdown):
        if not in_code:
            for match in LINK.finditer(text):
                if match.group(1) is None:
                    result.append((line + text.count("\n", 0, match.start()),
                                   match.group(2) == "!", match.group(3), match.group(4)))
        line += text.count("\n") + 1
    return result


def is_external(target):
    return re.match(r"^[a-z][a-z0-9+.-]*:", target, re.I) is not None


def resolve(page, target):
    """(path relative to the root, anchor) of a relative link TARGET on PAGE."""
    path, _, anchor = target.partition("#")
    if not path:
        return page, anchor
    return posixpath.normpath(posixpath.join(posixpath.dirname(page), path)), anchor


def broken_links(root):
    """Every relative link or picture of the README and docs/ that leads nowhere: a file
    that does not exist, or an anchor that no heading of the page gives."""
    root = Path(root)
    problems = []
    for page in doc_pages(root):
        markdown = (root / page).read_text()
        for line, _, _, target in links(markdown):
            if is_external(target):
                continue
            path, anchor = resolve(page, target)
            where = "%s:%d: %s" % (page, line + 1, target)
            if path.startswith("../") or not (root / path).exists():
                problems.append("%s: no file %s" % (where, path))
            elif anchor and path.endswith(".md"):
                if anchor not in {a for _, _, _, a in headings((root / path).read_text())}:
                    problems.append("%s: no heading with the anchor #%s in %s"
                                    % (where, anchor, path))
    return problems


def without_sections(markdown, left_out):
    """MARKDOWN less each section whose heading text is in LEFT_OUT, up to the next
    heading of the same or a higher level."""
    lines = markdown.split("\n")
    drop = [False] * len(lines)
    marks = headings(markdown)
    for number, (index, depth, text, _) in enumerate(marks):
        if text in left_out:
            end = next((i for i, d, _, _ in marks[number + 1:] if d <= depth), len(lines))
            drop[index:end] = [True] * (end - index)
    return "\n".join(line for line, dropped in zip(lines, drop) if not dropped)


def plain_link(match, page, here, places):
    """The text of one link of PAGE in README.txt (see the module's comment); HERE is
    (page number, line) of the link, PLACES {(path, anchor): ((page number, line), title)}
    for every page and section that the zip carries."""
    if match.group(1) is not None:
        return match.group(1)  # a code span
    picture, label, target = match.group(2), match.group(3), match.group(4)
    if picture:
        return ""
    if is_external(target):
        return "%s (%s)" % (label, target)
    place = resolve(page, target)
    if place in places:
        at, title = places[place]
        side = "above" if at < here else "below"
        if label.strip("`").lower() == title.strip("`").lower():
            return '"%s" (%s)' % (title, side)
        return '%s ("%s", %s)' % (label, title, side)
    path = place[0]
    if label == path:
        return "%s (in Falwick's sources)" % label
    return "%s (%s in Falwick's sources)" % (label, path)


def zip_readme(root):
    """README.txt of the release zip, with CR LF line ends (see the module's comment)."""
    root = Path(root)
    pages = [(path, without_sections((root / path).read_text(), set(left_out)))
             for path, left_out in ZIP_PAGES]
    # Where each page and section carried by the zip is: (page number, line), title.
    places = {}
    for number, (path, markdown) in enumerate(pages):
        marks = headings(markdown)
        places[(path, "")] = ((number, 0), marks[0][2] if marks else path)
        for index, _, text, anchor in marks:
            places[(path, anchor)] = ((number, index), text)

    lines = []
    for number, (path, markdown) in enumerate(pages):
        line_at = 0
        for text, in_code in prose_chunks(markdown):
            first = line_at
            line_at += text.count("\n") + 1
            if not in_code:
                text = LINK.sub(lambda match: plain_link(
                    match, path, (number, first + text.count("\n", 0, match.start())),
                    places), text)
            for one in text.split("\n"):
                # Blank lines (a picture's line among them) collapse into one.
                if in_code or one.strip() or (lines and lines[-1].strip()):
                    lines.append(one.rstrip() if not in_code else one)
        while lines and not lines[-1].strip():
            lines.pop()
        lines.append("")
    lines.pop()
    return "\r\n".join(lines) + "\r\n"
