#!/usr/bin/env python3
"""Plant one small fault at a time in the C++ sources, rebuild, run the tests, and report which
faults the tests killed.

  scripts/mutants.py --build "cmake --build build --target pellix_board_tests" \
      --test "build/tests/board/pellix_board_tests --gtest_fail_fast" \
      --count 80 --seed 1 --json before.json src/board
  (change the tests, then the same again with --json after.json)
  scripts/mutants.py --compare before.json after.json

The faults: a flipped comparison, an off-by-one in an integer constant, a negated condition, && for
|| and back, a flipped boolean constant, and a dropped call statement. Sites are read from the .cpp
files directly in the folders given (not their subfolders), outside comments and string literals;
the same seed, count and sources give the same faults. A fault the build refuses is not counted.
Every file is restored when the run ends, however it ends.
"""

import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time

COMPARISONS = {'<': '>=', '>=': '<', '>': '<=', '<=': '>', '==': '!=', '!=': '=='}
KEYWORDS_BEFORE_CALL = ('return', 'if', 'while', 'for', 'switch', 'case', 'throw', 'delete', 'co_',
                        'else', 'do', 'goto', 'break', 'continue', 'using', 'typedef', 'static_assert')


def code_mask(text):
    """True for each character that is code: not in a comment, string, character literal or
    preprocessor line."""
    mask = [True] * len(text)
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == '#':
            j = text.find('\n', i)
            j = n if j < 0 else j
            for k in range(i, j):
                mask[k] = False
            i = j
            continue
        if c == '\n':
            line_start = True
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
            for k in range(i, j):
                mask[k] = False
            i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            for k in range(i, j):
                mask[k] = False
            i = j
        elif text.startswith('R"', i):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(')' + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            for k in range(i, j):
                mask[k] = False
            i = j
        elif c in '"\'':
            if c == "'" and i > 0 and text[i - 1].isalnum():  # a digit separator: 1'000
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            j += 1
            for k in range(i, min(j, n)):
                mask[k] = False
            i = j
        else:
            i += 1
    return mask


def matching_paren(text, open_at):
    depth = 0
    for k in range(open_at, len(text)):
        if text[k] == '(':
            depth += 1
        elif text[k] == ')':
            depth -= 1
            if depth == 0:
                return k
    return -1


def sites_in(path, text):
    mask = code_mask(text)
    found = []

    def add(start, end, replacement, kind):
        if all(mask[start:end]):
            found.append({'file': path, 'start': start, 'end': end, 'before': text[start:end],
                          'after': replacement, 'kind': kind,
                          'line': text.count('\n', 0, start) + 1})

    for m in re.finditer(r'(?<=\s)(<=|>=|==|!=|<|>)(?=\s)', text):
        add(m.start(), m.end(), COMPARISONS[m.group(1)], 'comparison')
    for m in re.finditer(r'(?<=\s)(&&|\|\|)(?=\s)', text):
        add(m.start(), m.end(), '||' if m.group(1) == '&&' else '&&', 'logic')
    for m in re.finditer(r'(?<![\w.\'])(\d+)(?![\w.\'])', text):
        value = int(m.group(1))
        add(m.start(), m.end(), str(value + 1), 'constant')
    for m in re.finditer(r'\b(true|false)\b', text):
        add(m.start(), m.end(), 'false' if m.group(1) == 'true' else 'true', 'boolean')
    for m in re.finditer(r'\b(if|while)\s*\(', text):
        open_at = m.end() - 1
        close_at = matching_paren(text, open_at)
        if close_at > 0 and 'constexpr' not in text[m.start():open_at] and ';' not in text[open_at:close_at]:
            inner = text[open_at + 1:close_at]
            add(open_at, close_at + 1, '(!(' + inner + '))', 'negation')
    for m in re.finditer(r'(?m)^([ \t]+)([A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*\s*\([^;{}]*\))\s*;[ \t]*$', text):
        statement = m.group(2)
        head = statement.split('(')[0].strip()
        if head.startswith(KEYWORDS_BEFORE_CALL) or '=' in statement.split('(')[0]:
            continue
        add(m.start(2), m.end(), ';', 'dropped call')
    return found


def all_sites(root, folders):
    sites = []
    for folder in folders:
        full = os.path.join(root, folder)
        for name in sorted(os.listdir(full)):
            if name.endswith('.cpp'):
                path = os.path.join(folder, name)
                with open(os.path.join(root, path), encoding='utf-8') as f:
                    sites.extend(sites_in(path, f.read()))
    sites.sort(key=lambda s: (s['file'], s['start'], s['kind']))
    return sites


def run(command, cwd, timeout):
    """Exit status of a shell command; None when it ran out of time (its whole group is killed)."""
    process = subprocess.Popen(command, shell=True, cwd=cwd, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return None


def key(site):
    return '%s:%d:%s:%s->%s' % (site['file'], site['line'], site['kind'], site['before'], site['after'])


def compare(before_path, after_path):
    with open(before_path) as f:
        before = {key(m): m for m in json.load(f)['mutants']}
    with open(after_path) as f:
        after = {key(m): m for m in json.load(f)['mutants']}
    both = [k for k in before if k in after]
    if not set(after) <= set(before):
        print('the two runs planted different faults: not the same code, seed or count')
        return 2
    print('%d faults in both runs' % len(both))
    lost = [k for k in both if before[k]['result'] == 'killed' and after[k]['result'] == 'survived']
    won = [k for k in both if before[k]['result'] == 'survived' and after[k]['result'] == 'killed']
    for name, rows in (('lost catches', lost), ('new catches', won)):
        print('%s: %d' % (name, len(rows)))
        for k in rows:
            print('  ' + k)
    return 1 if lost else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('folders', nargs='*', help='source folders, relative to --root')
    parser.add_argument('--root', default='.', help='the source tree (default: here)')
    parser.add_argument('--build', help='the command that rebuilds the tests, run in --root')
    parser.add_argument('--test', help='the command that runs the tests, run in --root; non-zero kills')
    parser.add_argument('--count', type=int, default=60)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--build-timeout', type=float, default=900, help='seconds for one build')
    parser.add_argument('--test-timeout', type=float, default=300,
                        help='seconds for one test run; a fault that makes the tests hang counts as killed')
    parser.add_argument('--json', help='write every fault and its result here')
    parser.add_argument('--list', action='store_true', help='print the chosen faults and stop')
    parser.add_argument('--only', nargs=2, metavar=('RUN.json', 'RESULT'),
                        help='of the chosen faults, plant only those with this result (killed, survived) in an '
                             'earlier run; to look for lost catches first when time is short')
    parser.add_argument('--compare', nargs=2, metavar=('BEFORE', 'AFTER'),
                        help='list the faults one run killed and the other did not')
    args = parser.parse_args()
    if args.compare:
        return compare(*args.compare)
    if not args.folders:
        parser.error('name the source folders')

    sites = all_sites(args.root, args.folders)
    chosen = random.Random(args.seed).sample(sites, min(args.count, len(sites)))
    chosen.sort(key=lambda s: (s['file'], s['start']))
    if args.only:
        with open(args.only[0]) as f:
            wanted = {key(m) for m in json.load(f)['mutants'] if m['result'] == args.only[1]}
        chosen = [site for site in chosen if key(site) in wanted]
    print('%d sites, %d faults chosen (seed %d)' % (len(sites), len(chosen), args.seed), flush=True)
    if args.list:
        for site in chosen:
            print(key(site))
        return 0
    if not args.build or not args.test:
        parser.error('--build and --test are needed for a run')

    originals = {}
    results = []

    def restore():
        for path, text in originals.items():
            with open(os.path.join(args.root, path), 'w', encoding='utf-8') as f:
                f.write(text)

    def stop(signum, frame):
        restore()
        sys.exit(130)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    started = time.time()
    try:
        if run(args.build, args.root, args.build_timeout) != 0 or run(args.test, args.root, args.test_timeout) != 0:
            print('the unchanged code does not build or pass its tests')
            return 2
        for number, site in enumerate(chosen, 1):
            path = os.path.join(args.root, site['file'])
            if site['file'] not in originals:
                with open(path, encoding='utf-8') as f:
                    originals[site['file']] = f.read()
            text = originals[site['file']]
            with open(path, 'w', encoding='utf-8') as f:
                f.write(text[:site['start']] + site['after'] + text[site['end']:])
            try:
                if run(args.build, args.root, args.build_timeout) != 0:
                    result = 'unbuilt'
                else:
                    status = run(args.test, args.root, args.test_timeout)
                    result = 'survived' if status == 0 else 'killed'
            finally:
                with open(path, 'w', encoding='utf-8') as f:
                    f.write(text)
            results.append(dict(site, result=result))
            print('%3d/%d %-8s %s' % (number, len(chosen), result, key(site)), flush=True)
    finally:
        restore()
        run(args.build, args.root, args.build_timeout)

    killed = sum(r['result'] == 'killed' for r in results)
    survived = sum(r['result'] == 'survived' for r in results)
    score = 100.0 * killed / max(1, killed + survived)
    print('killed %d of %d built faults (%.0f%%), %d did not build, %.0f s'
          % (killed, killed + survived, score, len(results) - killed - survived, time.time() - started))
    if args.json:
        with open(args.json, 'w') as f:
            json.dump({'seed': args.seed, 'count': args.count, 'folders': args.folders, 'killed': killed,
                       'survived': survived, 'score': score, 'mutants': results}, f, indent=1)
    return 0


if __name__ == '__main__':
    sys.exit(main())
