#!/usr/bin/env python3
"""Prints which folders of src/ each folder includes from, and fails when the folders include
from each other in a cycle (a pair that includes both ways, or any longer loop)."""
import pathlib
import re
import sys

SRC = pathlib.Path(__file__).resolve().parent.parent / "src"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_graph():
    graph = {}
    for path in sorted(SRC.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        folder = path.parent.relative_to(SRC).as_posix()
        uses = graph.setdefault(folder, set())
        for header in INCLUDE.findall(path.read_text()):
            target = (SRC / header).parent
            if (SRC / header).is_file() and target != path.parent:
                uses.add(target.relative_to(SRC).as_posix())
    return graph


def find_cycle(graph):
    state = {}

    def visit(folder, trail):
        state[folder] = "open"
        for used in sorted(graph.get(folder, ())):
            if state.get(used) == "open":
                return trail[trail.index(used):] + [used]
            if used not in state:
                cycle = visit(used, trail + [used])
                if cycle:
                    return cycle
        state[folder] = "done"
        return None

    for folder in sorted(graph):
        if folder not in state:
            cycle = visit(folder, [folder])
            if cycle:
                return cycle
    return None


def main():
    graph = folder_graph()
    for folder in sorted(graph):
        print(f"{folder:<14} -> {', '.join(sorted(graph[folder])) or '(nothing)'}")
    cycle = find_cycle(graph)
    if cycle:
        print("folder_deps: cycle: " + " -> ".join(cycle), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
