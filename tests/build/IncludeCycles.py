#!/usr/bin/env python3
"""Fails when the project's own includes form a cycle between modules.

A module is a header and its source file (a/b.h with a/b.cpp); module A
depends on module B when a file of A includes B's header. A cycle means that
no module of it can be understood, built or tested without the others.

usage: IncludeCycles.py ROOT FOLDER...   (folders relative to ROOT, searched
recursively for .h and .cpp files)
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def modules(root, folders):
    """{module: set of modules it includes} for the files under the folders."""
    graph = {}
    for folder in folders:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if not name.endswith(('.h', '.cpp')):
                    continue
                path = os.path.join(directory, name)
                module = os.path.splitext(os.path.relpath(path, root))[0]
                edges = graph.setdefault(module, set())
                with open(path, encoding='utf-8', errors='replace') as f:
                    for included in INCLUDE.findall(f.read()):
                        target = os.path.splitext(os.path.normpath(included))[0]
                        if target != module:
                            edges.add(target)
    return graph


def cycles(graph):
    """The strongly connected components of more than one module (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(start):
        work = [(start, iter(sorted(graph.get(start, ()))))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is None:
                work.pop()
                if work:
                    low[work[-1][0]] = min(low[work[-1][0]], low[node])
                if low[node] == index[node]:
                    component = []
                    while True:
                        member = stack.pop()
                        on_stack.discard(member)
                        component.append(member)
                        if member == node:
                            break
                    if len(component) > 1:
                        found.append(sorted(component))
                continue
            if child not in graph:
                continue  # a header of another folder or of the system
            if child not in index:
                index[child] = low[child] = counter[0]
                counter[0] += 1
                stack.append(child)
                on_stack.add(child)
                work.append((child, iter(sorted(graph.get(child, ())))))
            elif child in on_stack:
                low[node] = min(low[node], index[child])

    for module in sorted(graph):
        if module not in index:
            visit(module)
    return found


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    graph = modules(argv[1], argv[2:])
    if not graph:
        print('no source files under', ', '.join(argv[2:]), file=sys.stderr)
        return 2
    found = cycles(graph)
    for component in found:
        print('include cycle between:', ' '.join(component))
    if not found:
        print(f'{len(graph)} modules, no include cycle')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
