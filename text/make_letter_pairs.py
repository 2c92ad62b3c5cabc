#!/usr/bin/env python3
"""Prints the letter-pair table of text/recode_guess.cpp from a long Russian text in code page 1251.

Usage: make_letter_pairs.py novel.cp1251.txt

Classes: 0..31 are а..я, 32 is ё, 33 is anything that is not a Russian letter. Capitals count as
their small letters. Each entry is -ln P(next class | class) in tenths of a nat, capped at 200.
Books often write е for ё, so ё borrows the pairs of е at a twelfth of their weight on top of
whatever the text has.
"""
import math
import sys

OTHER = 33
YO = 32
YE = 5


def letter_class(b):
    if b >= 0xE0:
        return b - 0xE0
    if b >= 0xC0:
        return b - 0xC0
    if b in (0xA8, 0xB8):
        return YO
    return OTHER


def main():
    text = open(sys.argv[1], 'rb').read()
    counts = [[0.0] * 34 for _ in range(34)]
    previous = OTHER
    for b in text:
        c = letter_class(b)
        counts[previous][c] += 1
        previous = c
    for x in range(34):
        counts[YO][x] += 0.08 * counts[YE][x]
    for x in range(34):
        counts[x][YO] += 0.08 * counts[x][YE]
    print('// clang-format off')
    print('constexpr std::uint8_t kLetterPairCost[34][34] = {')
    for a in range(34):
        total = sum(counts[a]) + 0.5 * 34
        row = [min(200, round(-math.log((counts[a][b] + 0.5) / total) * 10)) for b in range(34)]
        print('    {' + ', '.join(str(v) for v in row) + '},')
    print('};')
    print('// clang-format on')


if __name__ == '__main__':
    main()
