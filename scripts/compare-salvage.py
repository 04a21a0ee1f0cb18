#!/usr/bin/env python3
"""Damages archives written by several ZIP writers in the ways real archives
break, salvages them with tessaly-zip-cli (both repair modes) and with the
archivers a user would otherwise try, and counts for each tool the files
that come out byte-exact and the bytes of each file that come out right
before the first wrong one ("exact/KB good" per cell). A row is flagged when
another tool salvages more than a repair mode.

Usage: compare-salvage.py CLI WORKDIR [SEED]   (scripts/compare-salvage.sh
builds the tool and runs it). Environment: ARCHIVES (a comma-separated
selection of the archive names below), KEEP_DAMAGED (a folder that keeps
every damaged archive).
"""
import os, sys, random, struct, subprocess, shutil, zipfile, io

CLI, WORK = sys.argv[1], sys.argv[2]
random.seed(int(sys.argv[3]) if len(sys.argv) > 3 else 7)
SRC = os.path.join(WORK, 'src')
PASSWORD = 'correct horse'
PASSWORD_FILE = os.path.join(WORK, 'password.txt')
OUT = os.path.join(WORK, 'out')
# A folder to keep every damaged archive in (for other comparisons), or None.
KEEP = os.environ.get('KEEP_DAMAGED')
if KEEP: os.makedirs(KEEP, exist_ok=True)


def make_tree():
    shutil.rmtree(SRC, ignore_errors=True)
    words = 'alpha beta gamma delta salvage archive record header central local stream'.split()
    rng = random.Random(1)
    for i in range(40):
        folder = rng.choice(['', 'docs', 'img', 'deep/er'])
        size = rng.choice([100, 2000, 30000, 200000])
        os.makedirs(os.path.join(SRC, folder), exist_ok=True)
        if folder == 'img':
            data = bytes(rng.randrange(256) for _ in range(size))
        else:
            data = ' '.join(rng.choice(words) for _ in range(size // 6)).encode()[:size]
        ext = 'bin' if folder == 'img' else 'txt'
        open(os.path.join(SRC, folder, 'file%02d.%s' % (i, ext)), 'wb').write(data)


class Unseekable(io.RawIOBase):
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)


def make_archives():
    made = {}
    def run(cmd, out=None):
        with open(out, 'wb') if out else open(os.devnull, 'wb') as sink:
            subprocess.run(cmd, cwd=SRC, stdout=sink, check=True)
    run(['zip', '-qr', os.path.join(WORK, 'infozip.zip'), '.'])
    run(['zip', '-qr0', os.path.join(WORK, 'stored.zip'), '.'])
    # Written to a pipe, zip streams: sizes follow the data in descriptors.
    subprocess.run('zip -qr - . | cat > ' + os.path.join(WORK, 'streamed.zip'), cwd=SRC, shell=True, check=True)
    run(['bsdtar', '-a', '-cf', os.path.join(WORK, 'bsdtar.zip'), '.'])
    run(['7zz', 'a', '-tzip', '-bso0', '-bsp0', os.path.join(WORK, '7z.zip'), '.'])
    stream = Unseekable()
    with zipfile.ZipFile(stream, 'w', zipfile.ZIP_DEFLATED) as z:
        for root, _, files in os.walk(SRC):
            for f in sorted(files):
                p = os.path.join(root, f)
                z.write(p, os.path.relpath(p, SRC))
    open(os.path.join(WORK, 'pystream.zip'), 'wb').write(stream.data)
    names = ['infozip.zip', 'stored.zip', 'streamed.zip', 'bsdtar.zip', '7z.zip', 'pystream.zip']
    # Other methods, and encryption (the password is PASSWORD below).
    for method in ('Deflate64', 'BZip2', 'LZMA'):
        name = '7z-%s.zip' % method.lower()
        run(['7zz', 'a', '-tzip', '-bso0', '-bsp0', '-mm=' + method, os.path.join(WORK, name), '.'])
        names.append(name)
    for method, code in (('bzip2', zipfile.ZIP_BZIP2), ('lzma', zipfile.ZIP_LZMA)):
        name = 'py-%s.zip' % method
        with zipfile.ZipFile(os.path.join(WORK, name), 'w', code) as z:
            for root, _, files in os.walk(SRC):
                for f in sorted(files):
                    p = os.path.join(root, f)
                    z.write(p, os.path.relpath(p, SRC))
        names.append(name)
    for encryption in ('AES256', 'ZipCrypto'):
        name = 'pw-%s.zip' % encryption.lower()
        run(['7zz', 'a', '-tzip', '-bso0', '-bsp0', '-p' + PASSWORD, '-mem=' + encryption, os.path.join(WORK, name), '.'])
        names.append(name)
    only = os.environ.get('ARCHIVES')
    return [n for n in names if not only or n in only.split(',')]

def local_offsets(b):
    out = []; i = b.find(b'PK\x03\x04')
    while i >= 0:
        out.append(i); i = b.find(b'PK\x03\x04', i + 1)
    return out

def damages(b):
    n = len(b); cd = b.find(b'PK\x01\x02')
    yield 'healthy', b
    for f in (0.3, 0.6, 0.9): yield f'trunc{int(f*100)}', b[:int(n * f)]
    z = bytearray(b)
    for _ in range(3):
        s = random.randrange(0, n - 4096); z[s:s + 4096] = bytes(4096)
    yield 'zeroed', bytes(z)
    z = bytearray(b)
    for _ in range(20):
        s = random.randrange(0, n); z[s] ^= 1 << random.randrange(8)
    yield 'bitflips', bytes(z)
    if cd > 0: yield 'nodir', b[:cd]
    yield 'stub', os.urandom(10000) + b
    z = bytearray(b); offs = local_offsets(b)
    for o in random.sample(offs, min(5, len(offs))): struct.pack_into('<I', z, o + 18, random.randrange(0, 1 << 20))
    yield 'wrongsize', bytes(z)
    z = bytearray(b)
    for o in random.sample(offs, min(5, len(offs))): z[o:o + 4] = b'XXXX'
    yield 'centralonly', bytes(z)

def score(outdir):
    exact = 0; good = 0
    for name, data in orig.items():
        p = os.path.join(outdir, name)
        if os.path.isfile(p):
            got = open(p, 'rb').read()
            if got == data: exact += 1
            k = 0
            while k < min(len(got), len(data)) and got[k] == data[k]: k += 1
            good += k
    return exact, good

def run(tool, arch, out, password):
    shutil.rmtree(out, ignore_errors=True); os.makedirs(out)
    pw = {'quick': ['--password-file', PASSWORD_FILE], 'advance': ['--password-file', PASSWORD_FILE],
          'unzip': ['-P', PASSWORD], '7zz': ['-p' + PASSWORD], 'bsdtar': ['--passphrase', PASSWORD]}
    extra = pw[tool] if password else []
    cmds = {
        'quick': [CLI, 'extract', '--mode', 'quick'] + extra + ['-d', out, arch],
        'advance': [CLI, 'extract', '--mode', 'advance'] + extra + ['-d', out, arch],
        'unzip': ['unzip', '-qq', '-o'] + extra + [arch, '-d', out],
        '7zz': ['7zz', 'x', '-y', '-bso0', '-bse0', '-bsp0'] + extra + ['-o' + out, arch],
        'bsdtar': ['bsdtar', '-xf', arch, '-C', out] + extra,
    }
    try: subprocess.run(cmds[tool], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    except subprocess.TimeoutExpired: return (-1, -1)
    return score(out)

make_tree()
open(PASSWORD_FILE, 'w').write(PASSWORD + '\n')
archives = make_archives()
orig = {}
for root, _, files in os.walk(SRC):
    for f in files:
        p = os.path.join(root, f)
        orig[os.path.relpath(p, SRC)] = open(p, 'rb').read()
tools = ['quick', 'advance', 'unzip', '7zz', 'bsdtar']
print('%-14s %-12s' % ('archive', 'damage') + ''.join('%16s' % t for t in tools))
for archname in archives:
    b = open(os.path.join(WORK, archname), 'rb').read()
    for dname, d in damages(b):
        path = os.path.join(WORK, 'damaged.zip'); open(path, 'wb').write(d)
        if KEEP:
            open(os.path.join(KEEP, '%s-%s.zip' % (archname[:-4], dname)), 'wb').write(d)
        res = [run(t, path, OUT, archname.startswith('pw-')) for t in tools]
        best_other = max(res[2:])
        flag = ''
        if res[1] < best_other: flag += ' ADV<'
        if res[0] < best_other and dname != 'centralonly': flag += ' QCK<'
        print('%-14s %-12s' % (archname, dname) + ''.join('%16s' % ('%d/%d' % (r[0], r[1] // 1000)) for r in res) + flag)
shutil.rmtree(OUT, ignore_errors=True)
