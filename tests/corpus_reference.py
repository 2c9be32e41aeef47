#!/usr/bin/env python3
"""An independent model of a run over a tree, for the end-to-end tests.

    corpus_reference.py count   DIR FILTER WORD          -> "count<TAB>path" per file with finds
    corpus_reference.py replace DIR FILTER WORD NEW      -> rewrites every file as a replace run should

Files are decoded by their byte order mark, else as UTF-8 when well-formed,
else as Latin-1; the search ignores case (ASCII and Latin-1 letters).
"""
import fnmatch
import os
import sys


def decode(data):
    if data[:2] == b"\xff\xfe":
        return "utf-16-le", b"\xff\xfe", data[2:len(data) - (len(data) % 2)]
    if data[:2] == b"\xfe\xff":
        return "utf-16-be", b"\xfe\xff", data[2:len(data) - (len(data) % 2)]
    if data[:3] == b"\xef\xbb\xbf":
        return "utf-8", b"\xef\xbb\xbf", data[3:]
    try:
        data.decode("utf-8")
        return "utf-8", b"", data
    except UnicodeDecodeError:
        return "latin-1", b"", data


def files(root, filt):
    parts = [p.upper() for p in filt.split(";")]
    for folder, dirs, names in os.walk(root):
        dirs.sort(key=lambda d: (d.lower(), d))
        for n in sorted(names, key=lambda d: (d.lower(), d)):
            if any(fnmatch.fnmatchcase(n.upper(), p) for p in parts):
                yield os.path.join(folder, n)


def occurrences(text, word):
    low, w = text.lower(), word.lower()
    assert len(low) == len(text)
    out, i = [], low.find(w)
    while i >= 0:
        out.append(i)
        i = low.find(w, i + len(w))
    return out


def main():
    mode, root, filt, word = sys.argv[1:5]
    for path in files(root, filt):
        with open(path, "rb") as fh:
            data = fh.read()
        if not data:
            continue
        enc, bom, body = decode(data)
        text = body.decode(enc)
        found = occurrences(text, word)
        if mode == "count":
            if found:
                print("%d\t%s" % (len(found), path))
        elif found:
            new = sys.argv[5]
            pieces, last = [], 0
            for i in found:
                pieces.append(text[last:i])
                pieces.append(new)
                last = i + len(word)
            pieces.append(text[last:])
            with open(path, "wb") as fh:
                fh.write(bom + "".join(pieces).encode(enc))


if __name__ == "__main__":
    main()
