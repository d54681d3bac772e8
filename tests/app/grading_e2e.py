#!/usr/bin/env python3
"""A course grading a folder of submissions with one command of the built
batch runner: a lesson file that locks every setting but fn2 and alpha2, and
task files that pass, fail a goal, change a locked setting and cannot be
read.  The JUnit report is parsed (xml.etree) and the JSON (json), and both
are checked against each other and the exit status."""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

parser = argparse.ArgumentParser()
parser.add_argument('--batch', required=True)
args = parser.parse_args()
args.batch = os.path.abspath(args.batch)

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print('FAIL:', what)


def batch(*argv, cwd):
    """The batch runner within a deadline: one that hangs fails the test."""
    try:
        return subprocess.run([args.batch, *argv], cwd=cwd, capture_output=True, text=True, timeout=120)
    except subprocess.TimeoutExpired:
        sys.exit('hybridsim-batch %s did not end within 120 s' % ' '.join(argv))


GOALS = ['overshoot_pct <= 5', 'settling_t_s < 0.3']
LESSON = {
    'title': {'en': 'Tune the force loop', 'ja': '力制御系を調整する'},
    'text': {'en': 'Change fn2 and alpha2 only.', 'ja': 'fn2 と alpha2 だけを変えます。'},
    'set': [],
    'goals': GOALS,
    'free': ['fn2', 'alpha2'],
}

with tempfile.TemporaryDirectory() as top:
    with open(os.path.join(top, 'lab.json'), 'w', encoding='utf-8') as f:
        json.dump({'version': 1, 'lessons': [
            {'title': {'en': 'Another lesson', 'ja': '別のレッスン'}, 'text': {'en': '.', 'ja': '.'}, 'set': []},
            LESSON]}, f, ensure_ascii=False)
    subs = os.path.join(top, 'submissions')
    os.mkdir(subs)
    # each submission a task file the batch runner writes from settings
    submissions = {'a_pass.dat': ['fn2=40'], 'b_fail.dat': ['alpha2=20'], 'c_locked.dat': ['Fn=12']}
    for name, sets in submissions.items():
        argv = []
        for s in sets:
            argv += ['--set', s]
        r = batch(*argv, '--write-task', os.path.join(subs, name), cwd=top)
        check(r.returncode == 0, 'writing %s: %s' % (name, r.stderr))
    with open(os.path.join(subs, 'd_broken.dat'), 'w') as f:
        f.write('b 0.5\n')
    files = ['submissions/' + n for n in sorted(os.listdir(subs))]

    # one command: text lines, JUnit and status; a file refused makes it 2
    r = batch('--lesson', 'lab.json:2', '--junit', 'grades.xml', *files, cwd=top)
    check(r.returncode == 2, 'status %d, expected 2 (a file refused): %s' % (r.returncode, r.stderr))
    blocks = r.stdout.split('\n\n')
    check(len(blocks) == 4, 'four blocks of lines: %r' % r.stdout)
    check(blocks[0].startswith('task file submissions/a_pass.dat\npass  overshoot_pct = 1.39722 <= 5\n'),
          'the passing block: %r' % blocks[0])
    check(blocks[2].startswith('task file submissions/c_locked.dat\n'
                               'FAIL  submissions/c_locked.dat changes Fn, which the lesson locks\npass  '),
          'the locked block: %r' % blocks[2])
    check(blocks[3].startswith('task file submissions/d_broken.dat\nrefused  submissions/d_broken.dat: '),
          'the refused block: %r' % blocks[3])
    check('d_broken.dat: the file ends after 2 tokens' in r.stderr, 'the refusal on standard error: %r' % r.stderr)

    report = ET.parse(os.path.join(top, 'grades.xml')).getroot()
    check(report.tag == 'testsuites' and report.get('name') == 'Tune the force loop', 'the report: %r' % report.attrib)
    suites = report.findall('testsuite')
    check([s.get('name') for s in suites] == files, 'one suite per file in order: %r' % [s.get('name') for s in suites])
    expected = {  # per file: (test case, failed?) in order
        'a_pass.dat': [('settings the lesson locks', False), (GOALS[0], False), (GOALS[1], False)],
        'b_fail.dat': [('settings the lesson locks', False), (GOALS[0], True), (GOALS[1], False)],
        'c_locked.dat': [('settings the lesson locks', True), (GOALS[0], False), (GOALS[1], False)],
    }
    total = {'tests': 0, 'failures': 0, 'errors': 0}
    for suite in suites:
        name = os.path.basename(suite.get('name'))
        cases = suite.findall('testcase')
        for k in total:
            total[k] += int(suite.get(k))
        if name == 'd_broken.dat':
            check(len(cases) == 1 and cases[0].find('error') is not None and suite.get('errors') == '1',
                  'the refused file is one error')
            check('token 3' in cases[0].find('error').get('message'), 'the error says why')
            continue
        got = [(c.get('name'), c.find('failure') is not None) for c in cases]
        check(got == expected[name], '%s: %r' % (name, got))
        check(int(suite.get('tests')) == 3 and int(suite.get('failures')) == sum(f for _, f in got),
              '%s: its counts %r' % (name, suite.attrib))
        for c in cases:
            check(c.get('classname') == suite.get('name'), 'classname of %s' % c.get('name'))
    check({k: int(report.get(k)) for k in total} == total, 'the report\'s counts %r, the suites\' %r'
          % (report.attrib, total))
    failed = [c.find('failure').get('message') for s in suites for c in s.findall('testcase')
              if c.find('failure') is not None]
    check(failed == ['FAIL  overshoot_pct = 11.5333 <= 5', 'submissions/c_locked.dat changes Fn, which the lesson locks'],
          'the failure messages: %r' % failed)

    # the same as JSON: an array, one entry a file, figures that agree with the lines
    r = batch('--lesson', 'lab.json:2', '--goals-format', 'json', *files, cwd=top)
    check(r.returncode == 2, 'JSON: status %d' % r.returncode)
    entries = json.loads(r.stdout)
    check([e['task'] for e in entries] == files, 'JSON: the tasks %r' % [e.get('task') for e in entries])
    by = {os.path.basename(e['task']): e for e in entries}
    check(by['a_pass.dat']['passed'] == 2 and by['a_pass.dat']['fraction'] == 1 and 'locked' not in by['a_pass.dat'],
          'JSON: a_pass %r' % by['a_pass.dat'])
    fail = by['b_fail.dat']
    check(fail['passed'] == 1 and fail['total'] == 2 and fail['fraction'] == 0.5, 'JSON: b_fail %r' % fail)
    check([g['goal'] for g in fail['goals']] == [g.replace(' ', '') for g in GOALS]
          and [g['pass'] for g in fail['goals']] == [False, True],
          'JSON: b_fail goals %r' % fail['goals'])
    check(abs(fail['goals'][0]['measured'] - 11.5333) < 1e-4 and fail['goals'][0]['operator'] == '<='
          and fail['goals'][0]['value'] == 5 and fail['goals'][0]['figure'] == 'overshoot_pct',
          'JSON: b_fail measured %r' % fail['goals'][0])
    check(by['c_locked.dat'].get('locked') == 'Fn' and by['c_locked.dat']['passed'] == 2, 'JSON: c_locked %r'
          % by['c_locked.dat'])
    check(by['d_broken.dat']['goals'] == [] and 'token 3' in by['d_broken.dat']['error'], 'JSON: d_broken %r'
          % by['d_broken.dat'])

    # without the refused file the worst is a goal not met: 1; the free settings alone pass: 0
    r = batch('--lesson', 'lab.json:2', *files[:3], cwd=top)
    check(r.returncode == 1, 'status %d without the refused file, expected 1' % r.returncode)
    r = batch('--lesson', 'lab.json:2', '--goals-format', 'json', files[0], cwd=top)
    check(r.returncode == 0, 'the passing file alone: status %d' % r.returncode)
    one = json.loads(r.stdout)
    check('task' not in one and one['passed'] == 2, 'one task file: goalResults\' object alone %r' % one)
    # a locked setting changed fails alone, goals met or not
    r = batch('--lesson', 'lab.json:2', files[2], cwd=top)
    check(r.returncode == 1 and r.stdout.startswith('FAIL  submissions/c_locked.dat changes Fn, which the lesson '
                                                    'locks\n'), 'the locked file alone: %d %r' % (r.returncode, r.stdout))

    # a lesson past the file's last, a file that is not there, a file refused: status 2, one line
    for argv, says in ((['--lesson', 'lab.json:3'], '--lesson lab.json:3: the file has 2 lessons'),
                       (['--lesson', 'missing.json'], "cannot read the lesson file 'missing.json'"),
                       (['--lesson', 'submissions/a_pass.dat:1'], '--lesson submissions/a_pass.dat: ')):
        r = batch(*argv, cwd=top)
        check(r.returncode == 2 and r.stderr.count('\n') == 1 and says in r.stderr,
              '%s: %d %r' % (' '.join(argv), r.returncode, r.stderr))
    # the link of a lesson of a file carries the lesson itself
    r = batch('--lesson', 'lab.json:2', '--link', cwd=top)
    check(r.returncode == 0 and '&lesson=' in r.stdout and 'Tune%20the%20force%20loop' in r.stdout,
          'the link: %r' % r.stdout)

if failures:
    sys.exit('%d checks failed' % len(failures))
print('grading end to end: ok')
