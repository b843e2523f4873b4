#!/usr/bin/python3
"""Renders the user guide (Markdown) into one HTML page that shows the pictures beside it.

    render-guide.py docs/user-guide.md user-guide.html

Needs Debian's python3-markdown (scripts/install-deps.sh installs it); the build renders the
page only when it is there.
"""
import html
import sys

import markdown

STYLE = """
body { font-family: sans-serif; max-width: 60em; margin: 1em auto; padding: 0 1em;
       line-height: 1.45; color: #1f2225; }
table { border-collapse: collapse; margin: 0.5em 0; }
th, td { border: 1px solid #c8ccd0; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }
code, pre { background: #f0f2f4; }
pre { padding: 0.5em; overflow-x: auto; }
img { max-width: 100%; }
"""


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    title = next((line[2:].strip() for line in text.splitlines() if line.startswith("# ")),
                 "User guide")
    body = markdown.markdown(text, extensions=["tables", "toc", "fenced_code"])
    page = ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
            f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n"
            f"<body>\n{body}\n</body>\n</html>\n")
    with open(target, "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    main()
