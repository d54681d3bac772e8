#!/usr/bin/env python3
"""The rules of the source folders, checked (docs/architecture.md).

usage: check_layout.py [--root DIR] [--batch PATH-TO-hybridsim-batch]

1. Layers: a source includes only from its own folder and the folders
   below it (LAYERS); the table itself has no cycle.
2. OpenGL, the toolkit, X and EGL: no source outside view/ includes their
   headers and no library outside view/ links them; every source in view/
   does, directly or through a view/ header, but those of NOT_GL.
3. Builds: no CMake file compiles a source of another folder by its path.
4. Summary figures: each CSV column of `--summary --format csv` (after the
   task's robot, method and contour) is written as a quoted name in one
   source file only (comments aside), the table of study/summary.cpp.
5. Every source folder, tests/ and bench/ has a README.md, whose line
   "May include: ..." names the folders of LAYERS.

Prints each broken rule with the file; exits 1 when any is broken.
"""
import argparse
import os
import re
import subprocess
import sys

# folder: the folders its sources may include besides its own
LAYERS = {
    'portable_math': [],
    'sim': ['portable_math'],
    'task': ['sim', 'portable_math'],
    'console': ['task', 'sim', 'portable_math'],
    'study': ['task', 'sim', 'portable_math'],
    'drawing': ['study', 'task', 'sim', 'portable_math'],
    'image': ['drawing', 'study', 'task', 'sim', 'portable_math'],
    'playback': ['drawing', 'study', 'task', 'sim', 'portable_math'],
    'view': ['playback', 'image', 'drawing', 'study', 'task', 'sim', 'portable_math'],
    'web': ['playback', 'image', 'drawing', 'study', 'task', 'sim', 'portable_math'],
    'app': ['view', 'playback', 'image', 'drawing', 'study', 'console', 'task', 'sim', 'portable_math'],
}
# sources of view/ that include no OpenGL, toolkit or X header, and why
NOT_GL = {
    'view/pixel_cover.h': "the OpenGL canvas's pixel arithmetic (which pixels the rasteriser colours)",
    'view/pixel_cover.cpp': "the OpenGL canvas's pixel arithmetic",
    'view/picture_module.h': 'the entry point of the picture modules, which draw with OpenGL',
    'view/picture_loader.h': 'loads the picture modules, so that a command drawing none loads no OpenGL',
    'view/picture_loader.cpp': 'loads the picture modules, so that a command drawing none loads no OpenGL',
}
GL_HEADER = re.compile(r'#\s*include\s*<(GL/|GLES|EGL/|X11/)')
GL_LINK = re.compile(r'\b(OpenGL|GLUT|X11)::')
LOCAL_INCLUDE = re.compile(r'#\s*include\s*"([a-z_]+)/([^"]+)"')
SOURCE_SUFFIXES = ('.cpp', '.h', '.c')
CMAKE_TARGET = re.compile(r'\b(?:add_library|add_executable|target_sources)\s*\(([^)]*)\)')
CMAKE_SOURCE = re.compile(r'[^\s()"]+\.(?:cpp|cc|c)\b')
CURRENT_FOLDER = re.compile(r'^\$\{CMAKE_CURRENT_(SOURCE|LIST|BINARY)_DIR\}/[^/]+$')


def sources(root, folder, suffixes=SOURCE_SUFFIXES):
    for base, dirs, files in os.walk(os.path.join(root, folder)):
        dirs[:] = [d for d in dirs if d not in ('node_modules', 'data')]
        for name in sorted(files):
            if name.endswith(suffixes):
                path = os.path.join(base, name)
                yield os.path.relpath(path, root), open(path, encoding='utf-8', errors='replace').read()


def without_comments(text):
    text = re.sub(r'/\*.*?\*/', '', text, flags=re.S)
    return re.sub(r'//[^\n]*', '', text)


def acyclic(layers):
    seen, done = set(), set()

    def visit(folder):
        if folder in done:
            return True
        if folder in seen:
            return False
        seen.add(folder)
        ok = all(visit(below) for below in layers[folder])
        done.add(folder)
        return ok
    return all(visit(f) for f in layers)


def check_layers(root, faults):
    if not acyclic(LAYERS):
        faults.append('check_layout.py: the table of layers has a cycle')
    for folder, below in LAYERS.items():
        for path, text in sources(root, folder):
            for included, _ in LOCAL_INCLUDE.findall(text):
                if included != folder and included in LAYERS and included not in below:
                    faults.append(f'{path}: includes {included}/, which is not below {folder}/')


def check_gl(root, faults):
    for folder in LAYERS:
        if folder == 'view':
            continue
        for path, text in sources(root, folder):
            if GL_HEADER.search(text):
                faults.append(f'{path}: includes an OpenGL, toolkit or X header outside view/')
        for path, text in sources(root, folder, ('CMakeLists.txt', '.cmake')):
            if GL_LINK.search(without_cmake_comments(text)):
                faults.append(f'{path}: links OpenGL, the toolkit or X outside view/')
    view = dict(sources(root, 'view'))

    # a header counts with its source: the interface of what draws
    def reaches_gl(path, trail=()):
        text = view[path] + view.get(path[:-2] + '.cpp', '') if path.endswith('.h') else view[path]
        if GL_HEADER.search(text):
            return True
        return any(f'view/{name}' in view and f'view/{name}' not in trail and
                   reaches_gl(f'view/{name}', trail + (path,))
                   for folder, name in LOCAL_INCLUDE.findall(text) if folder == 'view')
    for path in view:
        if path not in NOT_GL and not reaches_gl(path):
            faults.append(f'{path}: in view/ but includes no OpenGL, toolkit or X header '
                          '(move it to the folder of its concern, or say why in NOT_GL)')
    for path in NOT_GL:
        if path not in view:
            faults.append(f'check_layout.py: NOT_GL names {path}, which is not in view/')


def without_cmake_comments(text):
    return re.sub(r'#[^\n]*', '', text)


def check_builds(root, faults):
    for base, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith(('.', 'build')) and d != 'node_modules']
        for name in files:
            if name != 'CMakeLists.txt' and not name.endswith('.cmake'):
                continue
            path = os.path.join(base, name)
            text = without_cmake_comments(open(path, encoding='utf-8').read())
            for source in (s for call in CMAKE_TARGET.findall(text) for s in CMAKE_SOURCE.findall(call)):
                if '/' in source and not CURRENT_FOLDER.match(source):
                    faults.append(f'{os.path.relpath(path, root)}: compiles {source} by path '
                                  '(link the library of its folder instead)')


def check_summary_names(root, batch, faults):
    header = subprocess.run([batch, '--summary', '--format', 'csv'], capture_output=True, text=True,
                            check=True).stdout.split('\n')[0].split(',')
    if header[:3] != ['robot', 'method', 'contour'] or len(header) < 10:
        faults.append(f'{batch} --summary --format csv: unexpected header {header[:5]}')
        return
    texts = [(path, without_comments(text)) for folder in LAYERS
             for path, text in sources(root, folder, SOURCE_SUFFIXES + ('.js',))]
    for column in header[3:]:
        where = [path for path, text in texts if f'"{column}"' in text or f"'{column}'" in text]
        if len(where) != 1:
            faults.append(f'summary figure {column}: named in {len(where)} source files '
                          f'({", ".join(where) or "none"}); its one place is the table of study/summary.cpp')


def check_readmes(root, faults):
    for folder in list(LAYERS) + ['tests', 'bench']:
        path = os.path.join(root, folder, 'README.md')
        if not os.path.isfile(path):
            faults.append(f'{folder}/: no README.md saying what it holds and what it may include')
            continue
        said = re.search(r'^May include: (.*)$', open(path, encoding='utf-8').read(), re.M)
        if not said:
            faults.append(f'{folder}/README.md: no line "May include: ..."')
        elif folder in LAYERS and sorted(re.findall(r'`([a-z_]+)/`', said.group(1))) != sorted(LAYERS[folder]):
            faults.append(f'{folder}/README.md: says it may include {said.group(1)}, '
                          f'the rule is {", ".join(LAYERS[folder]) or "nothing"}')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--root', default=os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
    parser.add_argument('--batch', help='hybridsim-batch, for the summary figures (rule 4)')
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    faults = []
    check_layers(root, faults)
    check_gl(root, faults)
    check_builds(root, faults)
    if args.batch:
        check_summary_names(root, args.batch, faults)
    check_readmes(root, faults)
    for fault in faults:
        print(fault)
    if faults:
        print(f'{len(faults)} broken rules of the folders (docs/architecture.md)')
        return 1
    print('the folders keep their rules')
    return 0


if __name__ == '__main__':
    sys.exit(main())
