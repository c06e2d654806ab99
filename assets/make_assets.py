#!/usr/bin/env python3
"""Writes the generated files of assets/LANGUAGE: English.lng from the program's built-in texts and
the three flag pictures (48 x 48, 24-bit BMP). Run from anywhere; the results are committed."""
import pathlib
import re
import struct

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent
OUT = HERE / "LANGUAGE"
SIZE = 48


def enum_values(header, index_type):
    """The value of each name of `enum class IndexType`, counting on from the last one given."""
    body = re.search(r"enum class " + index_type + r"\b[^{]*\{(.*?)\};", (ROOT / header).read_text(), re.S).group(1)
    body = re.sub(r"//[^\n]*", "", body)
    values, value = {}, -1
    for name, given in re.findall(r"(\w+)\s*(?:=\s*(\d+))?\s*,", body):
        value = int(given) if given else value + 1
        values[name] = value
    return values


def numbered_texts(source, index_type, index_of):
    """The STRnnnn lines of a table of {IndexType::Name, "text"} entries; index_of(position, name) is an
    entry's index."""
    table = (ROOT / source).read_text(encoding="utf-8")
    lines = []
    for offset, (name, literals) in enumerate(re.findall(r'\{' + index_type + r'::(\w+),\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\},', table)):
        text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', literals))
        text = text.encode("utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8")
        lines.append(f"STR{index_of(offset, name):04d} = {text}")
    return lines


def english_file():
    source = (ROOT / "src/core/language/builtin_texts.cpp").read_text(encoding="utf-8")
    lines = ["English texts of the SW40512 configurator (the same as the program's own)", ""]
    # An entry may continue on the next line as an adjacent string literal.
    entries = re.findall(r'^\s*\{(\d+),\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\},$', source, re.M)
    for index, literals in entries:
        text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', literals))
        text = text.encode("utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8")
        if text == " ":
            continue
        # Blanks at either end survive only between two pilcrows.
        if text != text.strip(" \t\r\n") or "/#/" in text:
            text = "\u00b6" + text + "\u00b6"
        lines.append(f"STR{int(index):04d} = {text}")
    # The errors' and the windows' texts, each table numbered in its order from its first index.
    first_error = int(re.search(r"kFirstErrorText = (\d+);", (ROOT / "src/core/common/error_texts.h").read_text()).group(1))
    lines += numbered_texts("src/core/common/error_texts.cpp", "ErrorCode", lambda offset, name: first_error + offset)
    # The windows' texts may leave blocks of indexes free: each takes its value from the enumeration.
    window = enum_values("src/core/language/window_texts.h", "WindowText")
    lines += numbered_texts("src/core/language/window_texts.cpp", "WindowText", lambda offset, name: window[name])
    (OUT / "English.lng").write_bytes(b"\xef\xbb\xbf" + ("\n".join(lines) + "\n").encode("utf-8"))


def bmp(name, colour_at):
    row_bytes = SIZE * 3  # 144, already a multiple of four
    pixels = bytearray()
    for y in range(SIZE - 1, -1, -1):  # bottom row first
        for x in range(SIZE):
            r, g, b = colour_at(x, y)
            pixels += bytes((b, g, r))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    assert len(pixels) == row_bytes * SIZE
    (OUT / name).write_bytes(header + info + pixels)


def framed(inner):
    def colour(x, y):
        if x in (0, SIZE - 1) or y in (0, SIZE - 1):
            return (64, 64, 64)
        return inner(x, y)
    return colour


WHITE, RED, GREEN, GREY = (255, 255, 255), (206, 17, 38), (0, 146, 70), (200, 200, 200)


def english(x, y):
    # A red cross on white.
    return RED if 20 <= x < 28 or 20 <= y < 28 else WHITE


def italian(x, y):
    # Green, white and red in three upright bands.
    return GREEN if x < 16 else WHITE if x < 32 else RED


def default(x, y):
    # A plain grey field with a darker band: no flag known.
    return (150, 150, 150) if 20 <= y < 28 else GREY


if __name__ == "__main__":
    english_file()
    bmp("English.bmp", framed(english))
    bmp("Italiano.bmp", framed(italian))
    bmp("DefaultFlag.bmp", framed(default))
