#!/usr/bin/env python3
"""Writes the shipped language packs into language/ from their UTF-8 sources
in scripts/language-packs/, each in the encoding its name asks for:
"_utf-8" packs as UTF-8, "_unicode" packs as UTF-16LE with a byte-order mark,
every other pack in the Windows code page of its language.

    scripts/make-language-packs.py          write the packs
    scripts/make-language-packs.py --check  fail when a shipped pack differs
"""
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCES = ROOT / "scripts" / "language-packs"
TARGET = ROOT / "language"

# Code pages of the Ansi packs shipped here.
ANSI_CODE_PAGES = {
    "english": "cp1252",
    "german": "cp1252",
    "french": "cp1252",
    "spanish": "cp1252",
    "italian": "cp1252",
}


def encode(name: str, text: str) -> bytes:
    text = text.replace("\n", "\r\n")
    lower = name.lower()
    if "_utf-8" in lower:
        return text.encode("utf-8")
    if "_unicode" in lower:
        return b"\xff\xfe" + text.encode("utf-16-le")
    # Raises when a text has a character the code page cannot hold.
    return text.encode(ANSI_CODE_PAGES[lower], errors="strict")


def main() -> int:
    check = "--check" in sys.argv[1:]
    TARGET.mkdir(exist_ok=True)
    failed = False
    for source in sorted(SOURCES.glob("*.ini")):
        data = encode(source.stem, source.read_text(encoding="utf-8"))
        target = TARGET / source.name
        if check:
            if not target.exists() or target.read_bytes() != data:
                print(f"{target} is not up to date", file=sys.stderr)
                failed = True
        else:
            target.write_bytes(data)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
