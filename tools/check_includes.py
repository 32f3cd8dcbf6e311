#!/usr/bin/env python3
"""The include graph of the tree has no cycle, between files or between
folders, and the importer's command folder is included by the importer
alone (and by its own tests, benchmarks and fuzz targets).

Includes in double quotes name a header by its bare file name (the
libraries put their folders on the include path), so each name must be
one file of the tree. Usage: check_includes.py [SOURCE-FOLDER]; status 0
when the graph is sound, 1 with a line per fault otherwise.
"""
import os
import re
import sys

SKIPPED = {".git", "packaging", "docs", "examples", "face-data"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
# Folders whose files may include the importer's command line besides itself.
IMPORTER = "import/command"
IMPORTER_USERS = {IMPORTER, "tests", "bench", "fuzz"}


def sources(root):
    for folder, subfolders, names in os.walk(root):
        rel = os.path.relpath(folder, root)
        subfolders[:] = sorted(d for d in subfolders if d not in SKIPPED and not d.startswith("build"))
        for name in sorted(names):
            if name.endswith((".h", ".cpp", ".in")):
                yield os.path.normpath(os.path.join(rel, name))


def headers_by_name(files, faults):
    by_name = {}
    for path in files:
        if path.endswith(".h"):
            name = os.path.basename(path)
            if name in by_name:
                faults.append(f"{path}: the header name is {by_name[name]}'s too; an include of it is ambiguous")
            by_name[name] = path
    return by_name


def include_graph(root, files, by_name):
    graph = {}
    for path in files:
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        graph[path] = sorted({by_name[n] for n in INCLUDE.findall(text) if n in by_name})
    return graph


def cycle(graph):
    """One cycle of the graph as a list of its nodes, or None."""
    state = {}
    for start in sorted(graph):
        if start in state:
            continue
        stack = [(start, iter(graph[start]))]
        path = [start]
        state[start] = "open"
        while stack:
            node, children = stack[-1]
            child = next(children, None)
            if child is None:
                state[node] = "done"
                stack.pop()
                path.pop()
            elif state.get(child) == "open":
                return path[path.index(child):] + [child]
            elif child not in state:
                state[child] = "open"
                stack.append((child, iter(graph.get(child, []))))
                path.append(child)
    return None


def folder_graph(graph):
    folders = {}
    for path, included in graph.items():
        here = os.path.dirname(path)
        folders.setdefault(here, set())
        for header in included:
            there = os.path.dirname(header)
            if there != here:
                folders[here].add(there)
    return {k: sorted(v) for k, v in folders.items()}


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    faults = []
    files = list(sources(root))
    by_name = headers_by_name(files, faults)
    graph = include_graph(root, files, by_name)
    for kind, g in (("files", graph), ("folders", folder_graph(graph))):
        found = cycle(g)
        if found:
            faults.append(f"the {kind} include one another in a circle: " + " -> ".join(found))
    for path, included in sorted(graph.items()):
        folder = os.path.dirname(path)
        for header in included:
            if os.path.dirname(header) == IMPORTER and folder not in IMPORTER_USERS:
                faults.append(f"{path}: includes {header}, the importer's own command line")
    for fault in faults:
        print(fault)
    if not faults:
        print(f"{len(files)} files, {sum(map(len, graph.values()))} includes: no circle")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
