#!/usr/bin/env bash
# How many paragraphs Tidy gives back whole: texts laid out one paragraph a line (the corpus
# novel and our own prose beside this script) are hard-wrapped here at 72 columns in each layout
# readers meet, tidied with `pagora-cli text tidy`, and each source paragraph is looked for among
# the result's lines (spaces compared as one). Targets: 98%, and 90% for width only.
# Usage: tidy_quality.sh [BUILD_DIR]   (default build/bench; build/default works too)
set -euo pipefail
dir=${1:-build/bench}
cli=$dir/cli/pagora-cli
here=$(cd "$(dirname "$0")" && pwd)
corpus=${PAGORA_CORPUS:-$here/../../../shared/corpus}
if [ ! -x "$cli" ]; then echo "skipped: $cli not built"; exit 0; fi
if ! command -v python3 >/dev/null; then echo "skipped: no python3"; exit 0; fi
texts=("$here/ozero.cp1251.txt")
if [ -f "$corpus/anna-karenina.cp1251.txt" ]; then
  texts=("$corpus/anna-karenina.cp1251.txt" "${texts[@]}")
else
  echo "no corpus in $corpus (set PAGORA_CORPUS): our own prose only"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$cli" "$work" "${texts[@]}" <<'PY'
import os, re, subprocess, sys

cli, work, texts = sys.argv[1], sys.argv[2], sys.argv[3:]
WIDTH = 72

def wrap(words, first, cut):
    """Greedy lines of at most WIDTH characters; `cut` splits a long word after a letter."""
    lines, line = [], first
    for w in words:
        while True:
            if line.strip() == "":
                line += w
                break
            if len(line) + 1 + len(w) <= WIDTH:
                line += " " + w
                break
            room = WIDTH - len(line) - 2
            if cut and len(w) >= room + 3 and room >= 3 and w[room - 1].isalpha() and w[room].isalpha():
                lines.append(line + " " + w[:room] + "-")
                w = w[room:]
            else:
                lines.append(line)
            line = ""
    return lines + [line]

def justify(line):
    gaps = line.count(" ")
    while gaps and len(line) < WIDTH:
        line = re.sub(r"(\S)( +)(?=\S)", r"\1\2 ", line, count=WIDTH - len(line))
    return line

def layout(paragraphs, kind):
    out = []
    for words in paragraphs:
        indent = "   " if kind in ("indent", "pages") else ""
        lines = wrap(words, indent, kind in ("hyphens", "pages"))
        if kind == "justified":
            lines = [justify(l) for l in lines[:-1]] + lines[-1:]
        if kind in ("blank", "hyphens") and out:
            out.append("")
        out += lines
    if kind == "pages":
        paged = []
        for page, at in enumerate(range(0, len(out), 40), 1):
            head = " ".join(paragraphs[0]).upper()  # the title, as a running head
            paged += [head, ""] + out[at:at + 40] + ["", "- %d -" % page, ""]
        out = paged
    return "\r\n".join(out) + "\r\n"

for path in texts:
    text = open(path, "rb").read().decode("cp1251")
    paragraphs = [l.split() for l in text.splitlines() if l.strip()]
    print("%s: %d paragraphs" % (os.path.basename(path), len(paragraphs)))
    for encoding in ("cp1251", "utf-8"):
        for kind in ("indent", "blank", "justified", "hyphens", "pages", "width"):
            source = os.path.join(work, "in.txt")
            with open(source, "wb") as f:
                f.write(layout(paragraphs, kind).encode(encoding, "replace"))
            report = subprocess.run([cli, "text", "tidy", source], capture_output=True,
                                    text=True, check=True).stdout.strip()
            got = open(source, "rb").read().decode(encoding, "replace").splitlines()
            found = {tuple(l.split()) for l in got}
            whole = sum(tuple(p) in found for p in paragraphs)
            print("  %-7s %-9s %6.2f%% whole (%d of %d)   %s" % (
                encoding, kind, 100.0 * whole / len(paragraphs), whole, len(paragraphs),
                report.split(": ", 1)[1]))
PY
