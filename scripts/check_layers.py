#!/usr/bin/env python3
"""Fails when an #include in src/ runs upward through the layers.

The layers, lowest first:
  platform -> base -> scan -> finders, safety, stats, inspect -> widgets
  -> the features' ui/ folders -> app
and cli, which may use the engines but no widget or window.
An include may reach its own layer or any layer below it. Within the engines, scan is
below the other four, which are siblings and must not include each other.

Two more rules keep the GUI on its side:
- below src/widgets (platform, base, the engines and cli) no file includes a header of
  Qt's GUI modules (QtGui, QtWidgets, QtPrintSupport, QtCharts) nor names one of their
  classes (QWidget, QMessageBox, QGuiApplication, QPainter, QPixmap, QIcon, QClipboard...);
- no file of src/widgets includes an engine header: a widget draws plain data it is
  handed, and the features' ui/ folders wire it to the engines.
"""
import glob
import os
import re
import subprocess
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')
RANK = {'platform': 0, 'base': 1, 'scan': 2, 'finders': 3, 'safety': 3, 'stats': 3,
        'inspect': 3, 'widgets': 4, 'app': 6}
ENGINE_SIBLINGS = {'finders', 'safety', 'stats', 'inspect'}
ENGINES = ENGINE_SIBLINGS | {'scan'}
INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')
SYSTEM_INCLUDE = re.compile(r'\s*#\s*include\s+<([^>]+)>')
GUI_MODULES = ('QtGui', 'QtWidgets', 'QtPrintSupport', 'QtCharts', 'QtOpenGLWidgets')
# Used when Qt's headers cannot be found: the GUI classes the program uses or might.
GUI_CLASSES_FALLBACK = {
    'QAction', 'QApplication', 'QBrush', 'QClipboard', 'QColor', 'QCursor', 'QDialog',
    'QFont', 'QFontMetrics', 'QGuiApplication', 'QIcon', 'QImage', 'QKeySequence',
    'QLabel', 'QMainWindow', 'QMenu', 'QMessageBox', 'QPainter', 'QPalette', 'QPen',
    'QPixmap', 'QPrinter', 'QScreen', 'QStandardItemModel', 'QTextDocument', 'QWidget',
}
TOKEN = re.compile(r'\bQ[A-Z]\w*')
STRING_OR_COMMENT = re.compile(r'//.*|"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'')


def qt_headers_folder():
    try:
        out = subprocess.run(['qtpaths6', '--query', 'QT_INSTALL_HEADERS'],
                             capture_output=True, text=True, check=False).stdout.strip()
        if out and os.path.isdir(out):
            return out
    except OSError:
        pass
    for folder in glob.glob('/usr/include/*/qt6') + ['/usr/include/qt6']:
        if os.path.isdir(os.path.join(folder, 'QtGui')):
            return folder
    return None


def gui_classes():
    """The class headers of Qt's GUI modules (QWidget, QPainter...), by name."""
    folder = qt_headers_folder()
    names = set()
    if folder:
        for module in GUI_MODULES:
            for path in glob.glob(os.path.join(folder, module, 'Q*')):
                name = os.path.basename(path)
                if '.' not in name and not name.startswith('Qt'):
                    names.add(name)
    return names or set(GUI_CLASSES_FALLBACK)


def below_widgets(here, rank):
    return here == 'cli' or (rank is not None and rank < RANK['widgets'])


def gui_uses(rel, lines, classes):
    """Where a file below the widgets includes or names a GUI class."""
    found = []
    in_block = False
    for number, line in enumerate(lines, 1):
        m = SYSTEM_INCLUDE.match(line)
        if m:
            header = m.group(1)
            module = header.split('/')[0]
            if module in GUI_MODULES or header in classes:
                found.append('%s:%d includes <%s>, a GUI header' % (rel, number, header))
            continue
        code = line
        if in_block:
            end = code.find('*/')
            if end < 0:
                continue
            code = code[end + 2:]
            in_block = False
        code = STRING_OR_COMMENT.sub('', code)
        start = code.find('/*')
        while start >= 0:
            end = code.find('*/', start + 2)
            if end < 0:
                code = code[:start]
                in_block = True
                break
            code = code[:start] + code[end + 2:]
            start = code.find('/*')
        for token in sorted(set(TOKEN.findall(code)) & classes):
            found.append('%s:%d uses %s, a GUI class' % (rel, number, token))
    return found


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
    classes = gui_classes()
    for folder, _, files in os.walk(ROOT):
        for name in files:
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, ROOT)
            here, rank = layer(rel)
            with open(path, encoding='utf-8', errors='replace') as f:
                lines = f.read().split('\n')
            if below_widgets(here, rank):
                bad.extend(gui_uses(rel, lines, classes))
            for number, line in enumerate(lines, 1):
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
                # a widget draws what it is handed; the engines are the ui/ folders' to wire
                engine_in_widget = here == 'widgets' and there in ENGINES
                if upward or sibling or engine_in_widget:
                    bad.append('%s:%d includes %s' % (rel, number, m.group(1)))
    for line in bad:
        print(line)
    if bad:
        print('%d include(s) or use(s) run upward, across the engines, into the GUI below '
              'the widgets or from a widget into an engine.' % len(bad), file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
