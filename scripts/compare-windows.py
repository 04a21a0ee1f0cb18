#!/usr/bin/env python3
"""Runs the Linux tessaly-zip-cli and the Windows one (under wine) on the same
archives, in both repair modes, and compares what they report and what they
write, file by file: each entry's outcome, detail and bytes written, then the
bytes (and, for whole entries, the modification time) of the file each build
names for it. Files on disk that no entry names count as differences too. An
entry written under another name on Windows (a device name, a reserved
character) is compared under the name each build reports.

Usage: compare-windows.py LINUX_CLI WINDOWS_EXE WORKDIR [--password-file F] ARCHIVE...
Prints one line per archive and mode, and each difference; exits 1 when
there is any.
"""
import json, os, shutil, subprocess, sys, tempfile


def run(command, destination):
    shutil.rmtree(destination, ignore_errors=True)
    # The report goes through a file, not a pipe: the helper processes the
    # first wine program starts inherit its output and outlive it.
    with tempfile.TemporaryFile() as output:
        status = subprocess.run(command, stdout=output, stderr=subprocess.DEVNULL, timeout=600).returncode
        output.seek(0)
        try:
            report = json.loads(output.read().decode('utf-8'))
        except ValueError:
            report = None
    return status, report


def files_under(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, root).replace(os.sep, '/')] = path
    return found


def entry_file(entry, destination):
    # Windows paths come back with backslashes; both are made relative.
    path = entry.get('path')
    if not path:
        return None
    path = path.replace('\\', '/')
    prefix = destination.rstrip('/') + '/'
    return path[len(prefix):] if path.startswith(prefix) else path


def without_renaming(detail):
    # The note a file written under another name carries; compared apart.
    if not detail:
        return None
    kept = [part for part in detail.split('; ') if not part.startswith('written as ')]
    return '; '.join(kept) or None


def compare(archive, mode, linux_cli, windows_exe, work, password_args, notes):
    out_linux, out_windows = os.path.join(work, 'linux'), os.path.join(work, 'windows')
    common = ['extract', '--json', '--mode', mode] + password_args
    status_linux, linux = run([linux_cli] + common + ['-d', out_linux, archive], out_linux)
    status_windows, windows = run(['wine', windows_exe] + common + ['-d', out_windows, archive], out_windows)
    differences = []
    if status_linux != status_windows:
        differences.append('exit status %d (Linux) vs %d (Windows)' % (status_linux, status_windows))
    if linux is None or windows is None:
        return differences + ['no JSON report from the %s build' % ('Linux' if linux is None else 'Windows')]
    entries_linux = linux['archives'][0]['entries']
    entries_windows = windows['archives'][0]['entries']
    if len(entries_linux) != len(entries_windows):
        differences.append('%d entries (Linux) vs %d (Windows)' % (len(entries_linux), len(entries_windows)))
    files_linux, files_windows = files_under(out_linux), files_under(out_windows)
    named_linux, named_windows = set(), set()
    for a, b in zip(entries_linux, entries_windows):
        label = 'entry %d %r' % (a['index'], a['name'])
        for key in ('name', 'outcome', 'bytesWritten'):
            if a.get(key) != b.get(key):
                differences.append('%s: %s %r (Linux) vs %r (Windows)' % (label, key, a.get(key), b.get(key)))
        if without_renaming(a.get('detail')) != without_renaming(b.get('detail')):
            differences.append('%s: detail %r (Linux) vs %r (Windows)' % (label, a.get('detail'), b.get('detail')))
        path_a, path_b = entry_file(a, out_linux), entry_file(b, out_windows)
        named_linux.add(path_a)
        named_windows.add(path_b)
        if path_a is None or path_b is None:
            continue
        if path_a != path_b:
            notes.append('%s written as %r on Windows' % (label, path_b))
        file_a, file_b = files_linux.get(path_a), files_windows.get(path_b)
        if (file_a is None) != (file_b is None):
            differences.append('%s: reported file missing on %s' % (label, 'Linux' if file_a is None else 'Windows'))
            continue
        if file_a is None:
            continue
        if open(file_a, 'rb').read() != open(file_b, 'rb').read():
            differences.append('%s: bytes differ' % label)
        # Only whole entries get the archive's time; the others keep the time they were written.
        if a['outcome'] == 'ok' and int(os.stat(file_a).st_mtime) != int(os.stat(file_b).st_mtime):
            differences.append('%s: modification time differs' % label)
    for build, files, named in (('Linux', files_linux, named_linux), ('Windows', files_windows, named_windows)):
        for extra in sorted(set(files) - named):
            differences.append('%s wrote %r, which no entry names' % (build, extra))
    return differences


def main(argv):
    if len(argv) < 5:
        sys.exit(__doc__)
    linux_cli, windows_exe, work = (os.path.abspath(a) for a in argv[1:4])
    rest = argv[4:]
    password_args = []
    if rest[:1] == ['--password-file']:
        password_args, rest = ['--password-file', os.path.abspath(rest[1])], rest[2:]
    os.makedirs(work, exist_ok=True)
    different = 0
    for archive in rest:
        for mode in ('quick', 'advance'):
            notes = []
            differences = compare(os.path.abspath(archive), mode, linux_cli, windows_exe, work, password_args, notes)
            print('%-40s %-8s %s' % (os.path.basename(archive), mode, 'differ' if differences else 'same'))
            for line in notes + differences:
                print('    ' + line)
            different += bool(differences)
    print('%d of %d runs differ' % (different, 2 * len(rest)))
    return 1 if different else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
