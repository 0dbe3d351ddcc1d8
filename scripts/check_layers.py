#!/usr/bin/env python3
"""Fails when an #include in src/ runs upward through the layers.

The layers, lowest first:
  platform -> base -> scan -> finders, safety, stats, inspect -> widgets
  -> the features' ui/ folders -> app
and cli, which may use the engines but no widget or window.
An include may reach its own layer or any layer below it. Within the engines, scan is
below the other four, which are siblings and must not include each other.
"""
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')
RANK = {'platform': 0, 'base': 1, 'scan': 2, 'finders': 3, 'safety': 3, 'stats': 3,
        'inspect': 3, 'widgets': 4, 'app': 6}
ENGINE_SIBLINGS = {'finders', 'safety', 'stats', 'inspect'}
INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')


def layer(rel):
    parts = rel.split('/')
    top = parts[0]
    if top == 'cli':
        return 'cli', 3.5
    if len(parts) > 2 and parts[1] == 'ui' and top in RANK:
        return top + '/ui', 5
    return top, RANK.get(top)


def main():
    bad = []
    for folder, _, files in os.walk(ROOT):
        for name in files:
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, ROOT)
            here, rank = layer(rel)
            with open(path, encoding='utf-8', errors='replace') as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m or '/' not in m.group(1):
                        continue
                    if not os.path.exists(os.path.join(ROOT, m.group(1))):
                        continue
                    there, other = layer(m.group(1))
                    if rank is None or other is None:
                        continue
                    upward = other > rank
                    # the command line sits on the engines: no widget, window or program
                    if here == 'cli' and other >= 4:
                        upward = True
                    sibling = (here in ENGINE_SIBLINGS and there in ENGINE_SIBLINGS
                               and here != there)
                    if upward or sibling:
                        bad.append('%s:%d includes %s' % (rel, number, m.group(1)))
    for line in bad:
        print(line)
    if bad:
        print('%d include(s) run upward or across the engines.' % len(bad), file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
