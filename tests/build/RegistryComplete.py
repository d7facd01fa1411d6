#!/usr/bin/env python3
"""Fails when a check of the checker is not run through the registry alone.

Every check that a module defines (`const KeywordCheck kName{` or
`const FileCheck kName{`) must have exactly one row in the registry table, and
no engine file but the registry may include the header of a module that
defines a check: the engine tells the registry, never a check by name.

usage: RegistryComplete.py CHECKER_FOLDER ENGINE_SUBFOLDER REGISTRY_FILE
(the registry file and the engine folder relative to the checker folder)
"""
import os
import re
import sys

DEFINITION = re.compile(r'^const\s+(?:KeywordCheck|FileCheck)\s+(k\w+)\s*[{=]', re.M)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources(folder):
    for directory, _, files in os.walk(folder):
        for name in sorted(files):
            if name.endswith(('.h', '.cpp')):
                yield os.path.join(directory, name)


def read(path):
    with open(path, encoding='utf-8', errors='replace') as f:
        return f.read()


def main(checker, engine, registry):
    checker = os.path.normpath(checker)
    registry_path = os.path.join(checker, registry)
    prefix = os.path.basename(checker)
    defined = {}  # check name -> header of its module (as includes name it)
    for path in sources(checker):
        if not path.endswith('.cpp'):
            continue
        for name in DEFINITION.findall(read(path)):
            relative = os.path.relpath(os.path.splitext(path)[0] + '.h', os.path.dirname(checker))
            defined.setdefault(name, []).append(relative.replace(os.sep, '/'))
    problems = []
    if not defined:
        problems.append('no check definitions found under ' + checker)
    if not os.path.isfile(registry_path):
        print('no registry table: ' + registry_path)
        return 1
    rows = re.findall(r'&(k\w+)\s*,', read(registry_path))
    for name, headers in sorted(defined.items()):
        if len(headers) > 1:
            problems.append('%s is defined in more than one module: %s' % (name, ', '.join(headers)))
        count = rows.count(name)
        if count != 1:
            problems.append('%s has %d rows in %s (one wanted)' % (name, count, registry))
    for name in sorted(set(rows) - set(defined)):
        problems.append('%s has a registry row but no definition' % name)
    check_headers = {h for headers in defined.values() for h in headers}
    for path in sources(os.path.join(checker, engine)):
        if os.path.normpath(path) in (os.path.normpath(registry_path),
                                      os.path.normpath(os.path.splitext(registry_path)[0] + '.h')):
            continue
        for included in INCLUDE.findall(read(path)):
            if included in check_headers:
                problems.append('%s names a check: it includes %s' % (os.path.relpath(path, os.path.dirname(checker)),
                                                                       included))
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print('%d checks, each registered once; the engine (%s/%s) names none' % (len(defined), prefix, engine))
    return 0


if __name__ == '__main__':
    if len(sys.argv) != 4:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
