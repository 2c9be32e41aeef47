#!/usr/bin/env python3
"""Writes a tree of files to search in, for the end-to-end tests and the benchmarks.

    make_corpus.py DIR [--mb N] [--seed S]       about N MB (10^6 bytes) in about 80 files per MB
    make_corpus.py DIR --small COUNT [--seed S]  COUNT text files of 12 to 20 bytes each

The same seed gives the same tree, byte for byte. DIR must be missing or empty.

The tree holds the fifteen text file types in all five encodings (8-bit
Latin-1, UTF-8 with and without its mark, UTF-16 LE and BE with theirs), with
CR LF, LF and CR line ends, German text and the word "Suchwort" in several
cases and word forms, at the edges of words, lines and files. Among them are
.exe, .zip and .png files that carry the bytes of "Suchwort" too: a run that
took them in would count more. A folder "Sonderfälle" and a few hidden files
hold the rare cases.

Every character in the text keeps its length when lowered, and no other
character lowers to a letter of "suchwort", so a case-insensitive count is
the same per UTF-16 unit, per code point and per byte of 8-bit text.
"""
import argparse
import io
import math
import os
import random
import struct
import sys
import zipfile
import zlib

TYPES = ("txt", "htm", "inc", "frm", "bat", "csv", "html", "css", "bas", "log", "asc", "php", "js", "cls", "ini")
# txt, htm, html and php, the default filter, weigh most.
TYPE_WEIGHTS = (20, 8, 3, 2, 3, 4, 10, 5, 3, 6, 2, 8, 6, 2, 4)

# name, label in the summary, mark, Python codec, share of the text files
ENCODINGS = (
    ("ansi", "ANSI", b"", "latin-1", 36),
    ("utf8", "UTF-8", b"", "utf-8", 44),
    ("utf8bom", "UTF-8 with mark", b"\xef\xbb\xbf", "utf-8", 8),
    ("utf16le", "UTF-16 LE", b"\xff\xfe", "utf-16-le", 8),
    ("utf16be", "UTF-16 BE", b"\xfe\xff", "utf-16-be", 4),
)
ENC = {e[0]: e for e in ENCODINGS}
TEXT_LABELS = {e[1] for e in ENCODINGS}

FILES_PER_MB = 80
BINARY_SHARE = 0.06
WORD = "suchwort"

# Latin-1 only, so that any of it fits an 8-bit file.
NOUNS = ("Haus Straße Größe Übersicht Änderung Prüfung Bücher Grüße Fußweg Maß Öffnung Tür Schlüssel Käse Bär "
         "Mädchen Zeitraum Datei Ordner Eintrag Zeile Bericht Rechnung Kunde Lösung Frühstück Gemüse Bürger "
         "Gebäude Zählung Weißbier Fräulein Äpfel Ölkanne Überweisung Gemälde Würfel Brücke Süßigkeit Müll "
         "Häuschen Kühlschrank Flöte Löffel Mühle Zürich München Köln Düsseldorf Bäckerei Schloß Sträußchen "
         "Ergebnis Liste Seite Text Wort Suche Treffer Ablage Sicherung Protokoll Einstellung Café").split()
VERBS = ("enthält prüft öffnet schließt ändert läuft zählt grüßt führt beschreibt sucht findet ersetzt speichert "
         "wählt fügt müssen dürfen können möchten genügt gehört überträgt lädt").split()
ADJECTIVES = ("schöne große kleine übliche fröhliche weiße süße bläuliche gültige häufige späte frühe äußere "
              "ölige grüne dunkle helle neue alte längere kürzere gemäß").split()
SMALL = ("und oder aber auch nicht für über unter mit ohne nach vor während daß zwischen beim im am zum zur "
         "der die das ein eine den dem des es ist sind war wird hier dort noch schon sehr ganz fast").split()
VOCAB = NOUNS * 3 + VERBS * 2 + ADJECTIVES * 2 + SMALL * 4

# (form, weight); the last four hold no find.
VARIANTS = (("Suchwort", 30), ("suchwort", 12), ("SUCHWORT", 8), ("SuchWort", 6), ("sUCHWORT", 2),
            ("Suchworte", 5), ("Suchwortes", 4), ("Suchwortliste", 4), ("Stichsuchwort", 3),
            ("SuchwortSuchwort", 1), ("Suchwörter", 3), ("Such-Wort", 2), ("Suchwor", 1), ("Such wort", 1))
VARIANT_FORMS = tuple(v for v, _ in VARIANTS)
VARIANT_WEIGHTS = tuple(w for _, w in VARIANTS)
BEFORE = ("",) * 8 + ("(", "»", "\"", "'", "/", "-", "[", "<b>", "«", "§")
AFTER = ("",) * 8 + (".", ",", ";", ":", "!", "?", ")", "«", "\"", "'", "-", "/", "]", "</b>", "»", "°")
ENDS = (".", ".", ".", ".", "!", "?", ":", ";", "", "")
# Beyond Latin-1, for UTF files only: quotes, dashes, the euro sign, letters
# of other scripts and characters outside the BMP (surrogate pairs in UTF-16).
WIDE = ("€", "„Suchwort“", "‚suchwort‘", "–", "—", "…", "→", "😀", "Łódź", "Ωμέγα", "Привет", "✓",
        "“SUCHWORT”", "𝄞", "Suchwort€", "😀Suchwort😀", "™")

EOLS = ("\r\n", "\n", "\r")


def sentence(rng, find_rate):
    words = rng.choices(VOCAB, k=rng.randint(4, 13))
    r = rng.random()
    inserts = 0 if r >= find_rate else (2 if r < find_rate * 0.2 else 1)
    for _ in range(inserts):
        if rng.random() < 0.12:
            # Inside a longer word: "Haussuchwortliste".
            token = rng.choice(NOUNS) + rng.choices(VARIANT_FORMS, VARIANT_WEIGHTS)[0].lower() + \
                rng.choice(("", "s", "en", "liste", "suche"))
        else:
            token = rng.choice(BEFORE) + rng.choices(VARIANT_FORMS, VARIANT_WEIGHTS)[0] + rng.choice(AFTER)
        words.insert(rng.randrange(len(words) + 1), token)
    return " ".join(words) + rng.choice(ENDS)


def wide_sentence(rng, find_rate):
    words = sentence(rng, find_rate).split(" ")
    words.insert(rng.randrange(len(words) + 1), rng.choice(WIDE))
    return " ".join(words)


def line_for(kind, rng, s):
    """One line of a file of the given type around the sentence s."""
    n = rng.randrange(1000)
    w = rng.choice(NOUNS)
    c = rng.randrange(8)
    if kind in ("txt", "asc"):
        return (s, s, s, s, "- " + s, "* " + s, "    " + s, "%d. %s" % (n, s))[c]
    if kind in ("htm", "html"):
        return ("<p>%s</p>" % s, "  <li>%s</li>" % s, "<h2>%s</h2>" % s,
                "<a href=\"seite%d.html\" title=\"%s\">%s</a>" % (n, s, w), "<!-- %s -->" % s,
                "    <td>%s</td><td>%d</td>" % (s, n), s, "<div class=\"suchwort\">%s</div>" % s)[c]
    if kind == "inc":
        return ("<?php // %s ?>" % s, "<p>%s</p>" % s, s, "<!-- %s -->" % s, "$titel = \"%s\";" % s,
                "<?php include 'kopf%d.inc'; ?>" % n, s, "  <span>%s</span>" % s)[c]
    if kind == "css":
        return ("/* %s */" % s, ".klasse%d { color: #%06x; margin: %dpx; }" % (n, rng.randrange(1 << 24), n % 40),
                "#suchwort%d { font-weight: bold; }" % n, "  content: \"%s\";" % s, "/* %s */" % s,
                "p.%s { padding: %dem; }" % (w.lower(), n % 5), "  font-family: \"%s\", sans-serif;" % w,
                "}")[c]
    if kind == "js":
        return ("// %s" % s, "const text%d = \"%s\";" % (n, s.replace("\"", "'")),
                "function suche%d(suchwort) { return suchwort.length + %d; }" % (n, n),
                "  console.log('%s');" % s.replace("'", "\""), "/* %s */" % s, "  let %s = %d;" % ("wert", n),
                "  if (zeile.indexOf(\"%s\") >= 0) treffer++;" % w, "}")[c]
    if kind == "php":
        return ("<?php echo \"%s\"; ?>" % s.replace("\"", "'"), "$suchwort%d = '%s';" % (n, s.replace("'", "\"")),
                "// %s" % s, "  if ($zeile == \"%s\") { $treffer++; }" % w, "# %s" % s, "<p>%s</p>" % s,
                "  $summe += %d;" % n, "}")[c]
    if kind == "ini":
        return ("[Abschnitt%d]" % n, "Schlüssel%d=%s" % (n, s), "; %s" % s, "Suchwort=%s" % w,
                "Wert%d=%d" % (n, n * 7), "Titel=%s" % s, "# %s" % s, "Größe=%d" % n)[c]
    if kind == "csv":
        return "%d;\"%s\";\"%s\";%d,%02d" % (n, w, s.replace("\"", "'"), n * 3, n % 100)
    if kind == "log":
        level = ("INFO", "INFO", "WARNUNG", "FEHLER")[c % 4]
        return "2024-%02d-%02d %02d:%02d:%02d %s %s" % (1 + n % 12, 1 + n % 28, n % 24, n % 60, c * 7, level, s)
    if kind == "bat":
        return ("REM %s" % s, "echo %s" % s, "set SUCHWORT%d=%s" % (n, w),
                "if exist \"%s.txt\" copy \"%s.txt\" sicherung\\" % (w, w), ":: %s" % s, "echo %s" % s,
                "@echo off", "goto ende%d" % n)[c]
    # bas, cls, frm
    return ("' %s" % s, "    sText = \"%s\"" % s.replace("\"", "'"), "Dim sSuchwort%d As String" % n,
            "    MsgBox \"%s\", vbInformation" % s.replace("\"", "'"), "Private Sub Befehl%d_Click()" % n,
            "End Sub", "    lAnzahl = lAnzahl + %d" % n, "Rem %s" % s)[c]


def header_footer(kind, rng, enc):
    title = sentence(rng, 0.5)
    if kind in ("htm", "html"):
        charset = "iso-8859-1" if enc == "ansi" else ("utf-16" if enc.startswith("utf16") else "utf-8")
        return (["<!DOCTYPE html>", "<html lang=\"de\">", "<head>", "<meta charset=\"%s\">" % charset,
                 "<title>%s</title>" % title, "</head>", "<body>"], ["</body>", "</html>"])
    if kind == "php":
        return ["<?php"], ["?>"]
    if kind == "csv":
        return ["Nr;Name;Text;Betrag"], []
    if kind == "cls":
        return (["VERSION 1.0 CLASS", "BEGIN", "  MultiUse = -1  'True", "END",
                 "Attribute VB_Name = \"cKlasse%d\"" % rng.randrange(100), "Option Explicit"], [])
    if kind == "frm":
        return (["VERSION 5.00", "Begin VB.Form frmHaupt", "   Caption         =   \"%s\"" % title, "End",
                 "Attribute VB_Name = \"frmHaupt\"", "Option Explicit"], [])
    if kind == "bas":
        return ["Attribute VB_Name = \"modSuche\"", "Option Explicit"], []
    if kind == "bat":
        return ["@echo off"], ["exit /b 0"]
    return [], []


class Pools:
    """Lines per file type, built once: per file only a choice among them."""

    def __init__(self, rng, find_rate, size):
        self.narrow, self.wide, self.mean = {}, {}, {}
        for kind in TYPES:
            narrow = [line_for(kind, rng, sentence(rng, find_rate)) for _ in range(size)]
            wide = list(narrow)
            for i in rng.sample(range(size), size // 12):
                wide[i] = line_for(kind, rng, wide_sentence(rng, find_rate))
            self.narrow[kind], self.wide[kind] = narrow, wide
            # Mean bytes a line, its line end included, per encoding.
            utf8 = len("\n".join(wide).encode("utf-8")) / size + 1.5
            utf16 = 2 * (sum(map(len, wide)) / size + 1.5)
            self.mean[kind] = {"ansi": sum(map(len, narrow)) / size + 1.5, "utf8": utf8, "utf8bom": utf8,
                               "utf16le": utf16, "utf16be": utf16}


class Tree:
    def __init__(self, root):
        self.root = root
        self.files = self.bytes = self.finds = 0
        self.per_label = {}

    def put(self, rel, data, label=None, text=""):
        """Writes one file; label names its encoding when it is one of the
        fifteen text types, and text is what it decodes to."""
        path = os.path.join(self.root, rel)
        with open(path, "wb") as fh:
            fh.write(data)
        self.files += 1
        self.bytes += len(data)
        if label:
            self.per_label[label] = self.per_label.get(label, 0) + 1
        if label in TEXT_LABELS:
            self.finds += text.lower().count(WORD)

    def put_text(self, rel, text, enc, tail=b""):
        _, label, bom, codec, _ = ENC[enc]
        data = text.encode(codec)
        if enc == "ansi":
            try:
                data.decode("utf-8")
                # Well-formed UTF-8 would be read as UTF-8: one letter above
                # 0x7F keeps the file 8-bit.
                text += "ä"
                data += b"\xe4"
            except UnicodeDecodeError:
                pass
        self.put(rel, bom + data + tail, label if rel.rsplit(".", 1)[-1].lower() in TYPES else "other", text)

    def summary(self):
        labels = [e[1] for e in ENCODINGS] + ["empty", "binary", "other"]
        parts = ", ".join("%s %s" % (l, format(self.per_label[l], ",")) for l in labels if l in self.per_label)
        return "%s: %s files, %s bytes (%s), %s finds of Suchwort ignoring case in the fifteen text types" % (
            self.root, format(self.files, ","), format(self.bytes, ","), parts, format(self.finds, ","))


def folders(rng, count):
    """Relative folder paths: a chain seven deep and a random tree below the root."""
    names = ("projekte kunden archiv daten berichte bilder vorlagen skripte seiten alt neu entwürfe größen "
             "übersicht straßen märz büro sicherung export import").split()
    spaced = ("Ordner mit Leerzeichen", "Übersicht 2024", "Briefe an Müller", "Maße und Größen")
    out = [""]
    chain = ""
    for level in range(1, 8):
        chain = os.path.join(chain, "ebene%d" % level)
        out.append(chain)
    depth = {p: p.count(os.sep) + (1 if p else 0) for p in out}
    for i in range(count):
        parent = rng.choice(out)
        while depth[parent] >= 6:
            parent = rng.choice(out)
        name = rng.choice(spaced) if rng.random() < 0.05 else rng.choice(names)
        path = os.path.join(parent, "%s_%d" % (name, i))
        out.append(path)
        depth[path] = depth[parent] + 1
    return out


STEMS = {"txt": ("notiz", "brief", "liesmich", "text"), "asc": ("text", "ausgabe"), "inc": ("kopf", "fuß"),
         "htm": ("seite", "index"), "html": ("seite", "index", "übersicht"), "php": ("seite", "funktionen"),
         "css": ("stil", "layout"), "js": ("skript", "suche"), "ini": ("einstellungen", "konfig"),
         "csv": ("daten", "tabelle"), "log": ("protokoll",), "bat": ("start", "sichern"),
         "bas": ("modul",), "cls": ("klasse",), "frm": ("formular",)}
ODD_STEMS = ("Übersicht März", "Größen und Maße", "Grüße aus Köln", "straße", "neue Datei")


def text_file(tree, rel, kind, enc, target, rng, pools):
    pool = pools.narrow[kind] if enc == "ansi" else pools.wide[kind]
    head, foot = header_footer(kind, rng, enc)
    lines = head + rng.choices(pool, k=max(1, round(target / pools.mean[kind][enc]))) + foot
    r = rng.random()
    if r < 0.2:
        # The very first bytes are a find.
        lines.insert(0, rng.choice(("Suchwort", "SUCHWORT", "suchwort:", "SuchWort ist hier")))
    r = rng.random()
    final = "eol"
    if r < 0.2:
        final = "word"
        lines.append(rng.choice(("Suchwort", "...suchwort", "SUCHWORT", "ende Suchwort")))
    elif r < 0.45:
        final = "none"
    r = rng.random()
    if r < 0.05:
        ends = rng.choices(EOLS, k=len(lines))
        text = "".join(l + e for l, e in zip(lines, ends))
        if final != "eol":
            text = text[:-len(ends[-1])]
    else:
        eol = EOLS[0] if r < 0.5 else (EOLS[1] if r < 0.9 else EOLS[2])
        text = eol.join(lines) + (eol if final == "eol" else "")
    tree.put_text(rel, text, enc)


def png(rng, w, h):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\x00" + rng.randbytes(w) for _ in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 0, 0, 0, 0))
            + chunk(b"tEXt", b"Comment\x00Suchwort im Bild, SUCHWORT im Kommentar")
            + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def zip_bytes(rng, pools):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        for i in range(rng.randint(1, 4)):
            info = zipfile.ZipInfo("inhalt/datei%d.txt" % i, date_time=(2024, 3, 1, 12, 0, 0))
            # Stored, so "Suchwort" stands in the archive as it is.
            info.compress_type = zipfile.ZIP_STORED
            z.writestr(info, "\r\n".join(rng.choices(pools.narrow["txt"], k=rng.randint(5, 60))).encode("utf-8"))
    return buf.getvalue()


def exe_bytes(rng, size):
    head = b"MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xff\xff" + bytes(50) + \
        b"This program cannot be run in DOS mode.\r\r\n$"
    body = bytearray(rng.randbytes(size))
    for _ in range(rng.randint(1, 6)):
        word = rng.choice((b"Suchwort", b"SUCHWORT", "Suchwort".encode("utf-16-le"), b"suchwort\x00"))
        at = rng.randrange(len(body))
        body[at:at + len(word)] = word
    return head + bytes(body)


def binary_file(tree, rel_folder, i, rng, pools):
    kind = rng.choice(("exe", "zip", "png"))
    if kind == "exe":
        data = exe_bytes(rng, int(math.exp(rng.uniform(math.log(2000), math.log(60000)))))
    elif kind == "zip":
        data = zip_bytes(rng, pools)
    else:
        data = png(rng, rng.randint(8, 120), rng.randint(8, 120))
    stem = {"exe": "programm", "zip": "archiv", "png": "bild"}[kind]
    tree.put(os.path.join(rel_folder, "%s_%05d.%s" % (stem, i, kind)), data, "binary")


def special_files(tree, rng):
    """The rare cases, each once."""
    sf = "Sonderfälle"
    os.makedirs(os.path.join(tree.root, sf, ".verborgen"))
    j = lambda name: os.path.join(sf, name)
    tree.put(j("leer.txt"), b"", "empty")
    tree.put(j("leer.php"), b"", "empty")
    tree.put(j("nur Marke UTF-8.txt"), ENC["utf8bom"][2], ENC["utf8bom"][1])
    tree.put(j("nur Marke UTF-16LE.htm"), ENC["utf16le"][2], ENC["utf16le"][1])
    tree.put(j("nur Marke UTF-16BE.html"), ENC["utf16be"][2], ENC["utf16be"][1])
    # A lone last byte after the UTF-16 units. No find in them: a replace run
    # leaves such a file alone, as the byte would be lost, and says so.
    tree.put_text(j("ungerade UTF-16LE.txt"), "Suchwörter am Anfang\r\nam Ende SUCH-WORT", "utf16le", b"S")
    tree.put_text(j("ungerade UTF-16BE.php"), "<?php $such_wort = 1; ?>\nSuchwor", "utf16be", b"\x00")
    tree.put_text(j("nur Suchwort.txt"), "Suchwort", "utf8")
    tree.put_text(j("Suchwort überall.htm"), "SuchwortSUCHWORTsuchwortSuchWort", "utf8")
    tree.put_text(j("Grüße aus Köln.txt"), "Grüße, Suchwort!\r\nIhr Müller (SUCHWORT)\r\n", "ansi")
    tree.put_text(j("Maßstab und Größe.html"), "<p>Maßstab: suchwort–Größe €</p>\n", "utf8")
    tree.put_text(j("LIESMICH.TXT"), "Suchwort in einer Datei mit großer Endung\r\n", "ansi")
    tree.put_text(j("notiz.txt.bak"), "Suchwort, aber nicht im Filter\n", "utf8")
    tree.put_text(j("nur am Ende 8 Bit.txt"), "Suchwort am Anfang, 7 Bit bis zum letzten Zeichen: ä", "ansi")
    tree.put_text(j("Emoji UTF-16.txt"), "😀Suchwort😀\r\n𝄞 suchwort 𝄞", "utf16le")
    tree.put_text(j("Emoji UTF-8.htm"), "<p>😀SUCHWORT😀</p>\n𝄞suchwort", "utf8")
    # Bytes 0x80..0x9F as Windows editors leave them; each is kept as it is.
    tree.put_text(j("Steuerbytes 8 Bit.txt"), "\x84Suchwort\x93 kostet 5 \x80\r\n\x96 Ende", "ansi")
    tree.put_text(j("nur Zeilenenden.txt"), "\r\n\r\n\n\r", "utf8")
    tree.put_text(j("Marke direkt vor Suchwort.txt"), "Suchwort", "utf8bom")
    tree.put_text(j("UTF-16BE ohne Zeilenende.ini"), "Suchwort", "utf16be")
    tree.put_text(j("Zeilenränder.txt"), "Suchwort\r\nSuchwort\nSuchwort\rSuchwort", "utf8")
    tree.put_text(j(".versteckt.txt"), "Suchwort in einer versteckten Datei\n", "utf8")
    tree.put_text(os.path.join(sf, ".verborgen", "notiz.txt"), "suchwort im versteckten Ordner\n", "ansi")
    tree.put(j("suchwort.exe"), exe_bytes(rng, 4000), "binary")
    tree.put_text(".Übung.php", "<?php // Suchwort ?>\n", "utf8")


def make_tree(root, mb, seed):
    rng = random.Random(seed)
    tree = Tree(root)
    pools = Pools(rng, find_rate=0.08, size=3000)
    count = max(40, round(mb * FILES_PER_MB))
    dirs = folders(rng, max(12, count // 40))
    for d in dirs[1:]:
        os.makedirs(os.path.join(root, d))
    special_files(tree, rng)

    n_binary = max(3, round(count * BINARY_SHARE))
    n_text = count - n_binary
    kinds = rng.choices(TYPES, TYPE_WEIGHTS, k=n_text)
    encs = rng.choices([e[0] for e in ENCODINGS], [e[4] for e in ENCODINGS], k=n_text)
    sizes = [math.exp(rng.uniform(math.log(200), math.log(48000))) for _ in range(n_text)]
    for i in rng.sample(range(n_text), max(1, n_text // 100)):
        sizes[i] = math.exp(rng.uniform(math.log(200000), math.log(2000000)))
    # The binary files' share is estimated; the text fills the rest.
    budget = mb * 1e6 - n_binary * 9000
    cap = budget / 10
    sizes = [min(s, cap) for s in sizes]
    scale = budget / sum(sizes)
    order = list(range(count))
    rng.shuffle(order)
    binaries = set(order[:n_binary])
    t = 0
    for i in range(count):
        folder = rng.choice(dirs)
        if i in binaries:
            binary_file(tree, folder, i, rng, pools)
            continue
        kind, enc = kinds[t], encs[t]
        stem = rng.choice(ODD_STEMS) if rng.random() < 0.03 else rng.choice(STEMS[kind])
        text_file(tree, os.path.join(folder, "%s_%05d.%s" % (stem, i, kind)), kind, enc, sizes[t] * scale, rng, pools)
        t += 1
    return tree


def make_small(root, count, seed):
    """count tiny text files, 250 to a folder, two levels deep."""
    rng = random.Random(seed)
    tree = Tree(root)
    words = ("Suchwort", "suchwort", "SUCHWORT", "Grüße", "Maß", "Tür", "und", "oder", "Haus", "Straße", "Text",
             "Zeile", "Datei", "Köln", "neu", "alt", "ja", "nein", "Suchworte")
    for i in range(count):
        folder = os.path.join("k%03d" % (i // 5000), "t%02d" % (i // 250 % 20))
        if i % 250 == 0:
            os.makedirs(os.path.join(root, folder), exist_ok=True)
        enc = "utf8" if rng.random() < 0.6 else "ansi"
        codec = ENC[enc][3]
        target = rng.randint(12, 20)
        eol = rng.choice(("", "", "\r\n", "\n"))
        text = ""
        while len((text + eol).encode(codec)) < target:
            text += rng.choice(words) + " "
        while len((text + eol).encode(codec)) > target:
            text = text[:-1]
        text += "." * (target - len((text + eol).encode(codec))) + eol
        if enc == "ansi" and text.isascii():
            enc = "utf8"  # 7-bit text reads as UTF-8 either way
        kind = rng.choices(TYPES, TYPE_WEIGHTS)[0]
        tree.put_text(os.path.join(folder, "w%06d.%s" % (i, kind)), text, enc)
    return tree


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("dir")
    size = ap.add_mutually_exclusive_group()
    size.add_argument("--mb", type=float, default=200, help="about this many MB (default 200)")
    size.add_argument("--small", type=int, metavar="COUNT", help="COUNT files of 12 to 20 bytes instead")
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args()
    if a.mb <= 0 or (a.small is not None and a.small <= 0):
        ap.error("the size must be above 0")
    if os.path.isdir(a.dir) and os.listdir(a.dir):
        sys.exit("make_corpus.py: %s is not empty" % a.dir)
    os.makedirs(a.dir, exist_ok=True)
    tree = make_small(a.dir, a.small, a.seed) if a.small is not None else make_tree(a.dir, a.mb, a.seed)
    print(tree.summary())


if __name__ == "__main__":
    main()
