"""A host's settings (INI) file as the Windows profile functions read it: section
headers, `;` comments and key=value entries, in order. Blank lines do not count, and
neither do spaces around "=" or around a line (Wine's writer drops those); lines end
with LF or CR LF. Bytes are read as Latin-1, so that every byte of a value is kept."""


def entries(data):
    """The file's items in order: ("section", name), ("comment", text) and
    ("value", key, value), names spelled as in the file."""
    if isinstance(data, bytes):
        data = data.decode("latin-1")
    items = []
    for line in data.split("\n"):
        line = line.strip()
        if not line:
            continue
        if line.startswith(";"):
            items.append(("comment", line))
        elif line.startswith("["):
            items.append(("section", line[1:-1] if line.endswith("]") else line[1:]))
        else:
            key, _, value_ = line.partition("=")
            items.append(("value", key.strip(), value_.strip()))
    return items


def sections(data):
    """({section: [(key, value), ...]}, [comment, ...]): what the profile functions
    answer, names in lower case as they compare them, sections of one name merged
    (entries before any section header under ""); the comments in order."""
    found, comments, current = {}, [], None
    for item in entries(data):
        if item[0] == "comment":
            comments.append(item[1])
        elif item[0] == "section":
            current = found.setdefault(item[1].lower(), [])
        else:
            if current is None:
                current = found.setdefault("", [])
            current.append((item[1].lower(), item[2]))
    return found, comments


def value(data, section, key):
    """The value of `key` in `section` (its first entry), or None."""
    for name, value_ in sections(data)[0].get(section.lower(), []):
        if name == key.lower():
            return value_
    return None


def with_value(found, section, key, value_):
    """A copy of `found` (from sections()) with `key` set as the profile functions set
    it: in place when the key exists, else at the end of its section, which is added
    at the end when missing."""
    changed = {name: list(items) for name, items in found.items()}
    items = changed.setdefault(section.lower(), [])
    keys = [k for k, _ in items]
    if key.lower() in keys:
        items[keys.index(key.lower())] = (key.lower(), value_)
    else:
        items.append((key.lower(), value_))
    return changed
