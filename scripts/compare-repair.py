#!/usr/bin/env python3
"""Repairs damaged archives with tessaly-zip-cli repair (both modes) and with
the fixes other archivers offer (Info-ZIP's zip -FF, and bsdtar re-writing
what it can read), then judges every repaired archive: whether unzip -t,
7zz t, Python's zipfile and bsdtar -tf read it without an error, and how
many files come out of it byte-exact and how many bytes of each before the
first wrong one ("readers exact/KB" per cell). A row is flagged when another
fix keeps more than a repair mode, or when a reader refuses a repaired
archive of ours though it reads the healthy archive of the same writer
(unzip, say, has no LZMA).

Usage: compare-repair.py CLI DAMAGED_DIR SOURCE_DIR WORKDIR PASSWORD
(scripts/compare-repair.sh makes the damaged archives with
compare-salvage.py and runs this).
"""
import os, sys, subprocess, shutil, zipfile

CLI, DAMAGED, SRC, WORK, PASSWORD = sys.argv[1:6]
PASSWORD_FILE = os.path.join(WORK, 'password.txt')
open(PASSWORD_FILE, 'w').write(PASSWORD + '\n')

orig = {}
for root, _, files in os.walk(SRC):
    for f in files:
        p = os.path.join(root, f)
        orig[os.path.relpath(p, SRC)] = open(p, 'rb').read()


def quiet(cmd, **kw):
    try:
        return subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, **kw).returncode
    except subprocess.TimeoutExpired:
        return -1


def fix(tool, damaged, out, password):
    if os.path.exists(out): os.remove(out)
    pw = ['--password-file', PASSWORD_FILE] if password else []
    if tool in ('quick', 'advance'):
        quiet([CLI, 'repair', '--mode', tool] + pw + ['-o', out, damaged])
    elif tool == 'zip -FF':
        quiet(['zip', '-FF', damaged, '--out', out], input=b'y\n' * 20)
    elif tool == 'bsdtar':
        quiet(['bsdtar', '-cf', out, '--format', 'zip'] + (['--passphrase', PASSWORD] if password else []) +
              ['@' + damaged])
    return os.path.isfile(out)


def readers(path, password):
    """The readers that refuse the archive ('' when all read it)."""
    refused = ''
    pw = PASSWORD if password else 'none'
    if quiet(['unzip', '-tq', '-P', pw, path]) != 0: refused += 'u'
    if quiet(['7zz', 't', '-bd', '-p' + pw, path]) != 0: refused += '7'
    check = ('import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n'
             'for i in z.infolist():\n'
             '    if i.compress_type in (0, 8, 12, 14): z.open(i, pwd=sys.argv[2].encode()).read()\n')
    if quiet(['/usr/bin/python3', '-c', check, path, pw]) != 0: refused += 'p'
    if quiet(['bsdtar', '-tf', path]) != 0: refused += 'b'
    return refused


def contents(path, password):
    """Files byte-exact and good bytes, each member read as far as it goes."""
    exact = good = 0
    try:
        z = zipfile.ZipFile(path)
    except Exception:
        return 0, 0
    out = os.path.join(WORK, 'x')
    shutil.rmtree(out, ignore_errors=True)
    # 7zz reads every method and encryption here; each member as far as it goes.
    quiet(['7zz', 'x', '-y', '-p' + (PASSWORD if password else 'none'), '-o' + out, path])
    for name, data in orig.items():
        p = os.path.join(out, name)
        if not os.path.isfile(p): continue
        got = open(p, 'rb').read()
        if got == data: exact += 1
        k = 0
        while k < min(len(got), len(data)) and got[k] == data[k]: k += 1
        good += k
    return exact, good


baseline = {}  # the readers that refuse each writer's healthy archive


def refused_anyway(name, password):
    writer = name.rsplit('-', 1)[0]
    if writer not in baseline:
        healthy = os.path.join(DAMAGED, writer + '-healthy.zip')
        baseline[writer] = readers(healthy, password) if os.path.isfile(healthy) else ''
    return baseline[writer]


tools = ['quick', 'advance', 'zip -FF', 'bsdtar']
print('%-28s' % 'damaged archive' + ''.join('%18s' % t for t in tools))
flags = 0
for name in sorted(os.listdir(DAMAGED)):
    damaged = os.path.join(DAMAGED, name)
    password = name.startswith('pw-')
    cells, scores = [], []
    for tool in tools:
        out = os.path.join(WORK, 'fixed.zip')
        if not fix(tool, damaged, out, password):
            cells.append('-'); scores.append((0, 0)); continue
        refused = readers(out, password)
        exact, good = contents(out, password)
        cells.append('%s %d/%d' % (refused or 'ok', exact, good // 1000))
        scores.append((exact, good, refused))
    flag = ''
    best_other = max((s[0], s[1]) for s in scores[2:])
    for i, mode in enumerate(('QCK', 'ADV')):
        s = scores[i]
        if len(s) > 2 and set(s[2]) - set(refused_anyway(name, password)): flag += ' %s-refused' % mode
        if (s[0], s[1]) < best_other: flag += ' %s<' % mode
    flags += bool(flag)
    print('%-28s' % name[:28] + ''.join('%18s' % c for c in cells) + flag)
print('\n%d rows flagged' % flags)
