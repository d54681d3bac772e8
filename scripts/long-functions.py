#!/usr/bin/env python3
"""List functions longer than a limit (default 80 lines) in C++ and JavaScript.

Usage: scripts/long-functions.py [--limit N] [--all] [FILE...]

Without FILE: the program's own sources, the C++ and the page's
JavaScript of every source folder (not tests/, bench/, fuzz/ nor
portable_math/, the C library kept as it came).  Longest first, each as
LINES  FILE:LINE  NAME.

A function's length is its lines from the line of its name to its closing
brace.  C++: blocks after a parameter list at namespace/class scope (lambdas
inside count with their function).  JavaScript: `function` declarations and
expressions, arrow functions with a block body and methods; the module
wrapper `(function (global) { ... })` at the top of a file is not counted.
Nested JavaScript functions are listed on their own and also count within
the function holding them.
"""
import glob
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_layout import LAYERS  # noqa: E402  (the source folders, one table)

# the program's own folders: the layers but portable_math, the C library kept as it came
SOURCE_FOLDERS = [folder for folder in LAYERS if folder != 'portable_math']

CONTROL = {'if', 'for', 'while', 'switch', 'catch', 'do', 'else', 'try',
           'finally', 'return', 'with'}


def blank(text, js):
    """Text with comments, strings and (in JS) regex literals blanked to
    spaces, newlines kept, so braces inside them do not count."""
    out = []
    i, n = 0, len(text)
    last_sig = ''  # last significant character, to tell / regex from divide
    while i < n:
        c = text[i]
        two = text[i:i + 2]
        if two == '//':
            j = text.find('\n', i)
            j = n if j < 0 else j
            out.append(' ' * (j - i))
            i = j
            continue
        if two == '/*':
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j]))
            i = j
            continue
        if not js and c == 'R' and text[i:i + 2] == 'R"':
            m = re.match(r'R"([^(]*)\(', text[i:])
            if m:
                end = text.find(')' + m.group(1) + '"', i)
                end = n if end < 0 else end + len(m.group(1)) + 2
                out.append('R""' + re.sub(r'[^\n]', ' ', text[i + 3:end]))
                i = end
                last_sig = '"'
                continue
        if c in '"\'' or (js and c == '`'):
            j = i + 1
            while j < n and text[j] != c:
                if text[j] == '\\':
                    j += 1
                elif js and c == '`' and text[j:j + 2] == '${':
                    # template expression: skip to its matching brace
                    depth = 0
                    while j < n:
                        if text[j] == '{':
                            depth += 1
                        elif text[j] == '}':
                            depth -= 1
                            if depth == 0:
                                break
                        j += 1
                j += 1
            out.append(c + re.sub(r'[^\n]', ' ', text[i + 1:j]) + c)
            i = j + 1
            last_sig = c
            continue
        if js and c == '/' and (last_sig == '' or last_sig in '(,=:[!&|?{};+-*%<>~^'):
            j = i + 1
            in_class = False
            while j < n and text[j] != '\n':
                if text[j] == '\\':
                    j += 2
                    continue
                if text[j] == '[':
                    in_class = True
                elif text[j] == ']':
                    in_class = False
                elif text[j] == '/' and not in_class:
                    break
                j += 1
            out.append('/' + ' ' * (j - i - 1) + '/')
            i = j + 1
            last_sig = '/'
            continue
        out.append(c)
        if not c.isspace():
            last_sig = c
        i += 1
    return ''.join(out)


def classify(header, js, inside_function):
    """What a brace after `header` opens: 'func', 'container' (namespace,
    class), 'data' (an initialiser) or 'block'."""
    h = ' '.join(header.split())
    if js:
        if re.search(r'=>\s*$', h):
            return 'func'
        if re.search(r'\bfunction\b[^{}]*\)\s*$', h):
            return 'func'
        m = re.search(r'(?:^|[\s,])(?:async\s+|static\s+|get\s+|set\s+)*([A-Za-z_$][\w$]*)\s*\([^()]*(?:\([^()]*\)[^()]*)*\)\s*$', h)
        if m and m.group(1) not in CONTROL and not inside_function:
            return 'func'
        if m and m.group(1) not in CONTROL and re.match(r'^\s*(?:async\s+)?[A-Za-z_$][\w$]*\s*\(', h):
            return 'func'  # method in an object literal or class
        return 'block'
    if inside_function:
        return 'block'
    if re.search(r'\b(namespace|class|struct|union|enum)\b[^()]*$', h) or re.search(r'extern\s*"', h):
        return 'container'
    if re.search(r'=\s*$', h) or re.search(r'=\s*[\w:<>, ]*$', h):
        return 'data'
    if ')' in h:
        return 'func'
    return 'block'


def name_of(header, js):
    h = ' '.join(header.split())
    if js:
        for pat in (r'function\s*\*?\s*([\w$]+)\s*\(', r'([\w$.]+)\s*[:=]\s*(?:async\s*)?(?:function\b|\([^)]*\)\s*=>|[\w$]+\s*=>)',
                    r'([\w$]+)\s*\([^)]*\)\s*$', r'([\w$]+)\s*\(', r'\(([^)]*)\)\s*=>'):
            m = re.search(pat, h)
            if m:
                return m.group(1)
        return '<anonymous>'
    m = re.search(r'([~\w:]+(?:operator\s*[^\s(]+)?)\s*\(', h)
    return m.group(1) if m else h[-40:]


def functions(path):
    js = path.endswith('.js')
    text = open(path, encoding='utf-8').read()
    clean = blank(text, js)
    if not js:
        # preprocessor lines hold no function's braces
        clean = re.sub(r'(?m)^[ \t]*#.*$', lambda m: ' ' * len(m.group(0)), clean)
    line_at = []
    ln = 1
    for ch in clean:
        line_at.append(ln)
        if ch == '\n':
            ln += 1
    stack = []  # (kind, name, start_line)
    header_start = 0
    found = []
    for i, ch in enumerate(clean):
        if ch == '{':
            # the text since the last ; { or } says what the brace opens
            header = clean[header_start:i]
            inside = any(k == 'func' for k, _, _ in stack)
            if js and not stack and not found and re.match(r'\s*\(\s*function\s*\(', header):
                kind = 'module'  # the file's wrapper
            else:
                kind = classify(header, js, inside)
            # a function starts at the line of its name: C++'s first
            # `name(` (the return type may stand on a line before it),
            # JavaScript's last (`function f(`, `x.then((v) =>`)
            start_line = line_at[i]
            if kind == 'func':
                names = list(re.finditer(r'[~\w$]+\s*\(', header))
                if names:
                    start_line = line_at[header_start + names[-1 if js else 0].start()]
            stack.append((kind, name_of(header, js) if kind == 'func' else '', start_line))
            header_start = i + 1
        elif ch == '}':
            if stack:
                kind, name, start_line = stack.pop()
                if kind == 'func':
                    found.append((start_line, line_at[i], name,
                                  sum(1 for k, _, _ in stack if k == 'func')))
            header_start = i + 1
        elif ch == ';' or (js and ch == ',' and stack and stack[-1][0] in ('block', 'module', 'func')):
            header_start = i + 1
    return found


def main(argv):
    limit = 80
    show_all = False
    files = []
    it = iter(argv)
    for a in it:
        if a == '--limit':
            limit = int(next(it))
        elif a == '--all':
            show_all = True
        else:
            files.append(a)
    if not files:
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
        os.chdir(root)
        for folder in SOURCE_FOLDERS:
            for ext in ('cpp', 'h', 'js'):
                files += sorted(glob.glob(f'{folder}/*.{ext}'))
    rows = []
    for f in files:
        for start, end, name, nest in functions(f):
            n = end - start + 1
            if show_all or n > limit:
                rows.append((n, f, start, name, nest))
    rows.sort(key=lambda r: (-r[0], r[1], r[2]))
    for n, f, start, name, nest in rows:
        print(f'{n:5d}  {f}:{start}  {name}' + ('  (nested)' if nest else ''))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
