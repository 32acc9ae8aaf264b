"""The real program under the real screen reader: Orca on a private accessibility bus, its speech
written to files by speech-dispatcher's generic module (no audio). The program is driven by keyboard
like a blind user would, and after every step the German text Orca spoke is checked.

Run inside `dbus-run-session` (tests/a11y/orca_test.sh does that):
    orca_session.py PROGRAM_DIR SCHEMA_SQL PRACTICE_SQL WORK_DIR
Writes WORK_DIR/transcript.txt: every step with what was spoken after it.
"""

import os
import re
import shutil
import sqlite3
import subprocess
import sys
import time

program_dir, schema_sql, practice_sql, work = sys.argv[1:5]
transcript_path = os.path.join(work, 'transcript.txt')
debug_path = os.path.join(work, 'orca-debug.out')
spoken_path = os.path.join(work, 'spoken.txt')
children = []
transcript = []


def log(line):
    transcript.append(line)
    print(line, flush=True)


def start(args, **kwargs):
    process = subprocess.Popen(args, **kwargs)
    children.append(process)
    return process


def stop_all():
    # The last started first: the program before Orca, Orca before speech and bus, Xvfb last.
    for process in reversed(children):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def wait_until(what, condition, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.2)
    raise AssertionError(f'Zeitüberschreitung: {what}')


UTTERANCE = re.compile(r"SPEECH OUTPUT: '(.*?)' ?\{'established'", re.DOTALL)


def speech_lines():
    """Every utterance Orca sent to speech so far, in order (a text with line breaks as one)."""
    try:
        with open(debug_path, encoding='utf-8', errors='replace') as f:
            text = f.read()
    except FileNotFoundError:
        return []
    return [' '.join(u.split()) for u in UTTERANCE.findall(text)]


def quiet(seconds=1.2, longest=20):
    """Waits until Orca has said nothing new for a while (a busy machine makes it slow)."""
    last = len(speech_lines())
    calm_since = time.monotonic()
    deadline = time.monotonic() + longest
    while time.monotonic() < deadline:
        time.sleep(0.2)
        now = len(speech_lines())
        if now != last:
            last, calm_since = now, time.monotonic()
        elif time.monotonic() - calm_since >= seconds:
            return


def environment():
    env = dict(os.environ)
    for name, sub in (('HOME', 'home'), ('XDG_CONFIG_HOME', 'config'), ('XDG_DATA_HOME', 'data'),
                      ('XDG_CACHE_HOME', 'cache'), ('XDG_RUNTIME_DIR', 'runtime')):
        path = os.path.join(work, sub)
        os.makedirs(path, exist_ok=True)
        env[name] = path
    os.chmod(env['XDG_RUNTIME_DIR'], 0o700)
    env['LANG'] = env['LC_ALL'] = 'C.UTF-8'
    env.pop('QT_QPA_PLATFORM', None)
    return env


def start_display(env):
    read, write = os.pipe()
    start(['Xvfb', '-displayfd', str(write), '-screen', '0', '1280x1024x24', '-noreset', '-nolisten', 'tcp'],
          pass_fds=[write], stderr=subprocess.DEVNULL)
    os.close(write)
    number = b''
    while not number.endswith(b'\n'):
        chunk = os.read(read, 16)
        if not chunk:
            raise AssertionError('Xvfb hat keine Anzeige geöffnet')
        number += chunk
    os.close(read)
    env['DISPLAY'] = ':' + number.decode().strip()


def start_speech(env):
    config = os.path.join(env['XDG_CONFIG_HOME'], 'speech-dispatcher')
    os.makedirs(os.path.join(config, 'modules'), exist_ok=True)
    with open(os.path.join(config, 'speechd.conf'), 'w') as f:
        f.write('AddModule "filelog" "sd_generic" "filelog.conf"\n'
                'DefaultModule filelog\n'
                'LanguageDefaultModule "de" "filelog"\n'
                'LanguageDefaultModule "en" "filelog"\n'
                'AudioOutputMethod "libao"\n')
    with open(os.path.join(config, 'modules', 'filelog.conf'), 'w') as f:
        f.write(f'GenericExecuteSynth "echo \\\'$DATA\\\' >> {spoken_path}"\n'
                'GenericCmdDependency "echo"\n'
                'AddVoice "de" "MALE1" "de"\n'
                'AddVoice "en" "MALE1" "en"\n'
                'GenericLanguage "de" "de" "utf-8"\n'
                'GenericLanguage "en" "en" "utf-8"\n')
    socket_dir = os.path.join(env['XDG_RUNTIME_DIR'], 'speech-dispatcher')
    os.makedirs(socket_dir, exist_ok=True)
    socket = os.path.join(socket_dir, 'speechd.sock')
    start(['speech-dispatcher', '-s', '-t', '0', '-C', config, '-c', 'unix_socket', '-S', socket],
          env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env['SPEECHD_ADDRESS'] = 'unix_socket:' + socket
    wait_until('speech-dispatcher', lambda: os.path.exists(socket), 30)


def start_orca(env):
    prefs = os.path.join(work, 'orca-prefs')
    os.makedirs(prefs, exist_ok=True)
    # Orca opens its debug file block-buffered: line-buffered, the file can be read while Orca runs.
    launcher = os.path.join(work, 'orca-launcher.py')
    with open(launcher, 'w') as f:
        f.write('import builtins, runpy, sys\n'
                f'target = {debug_path!r}\n'
                'real_open = builtins.open\n'
                'def line_open(file, mode="r", *args, **kwargs):\n'
                '    if file == target:\n'
                '        return real_open(file, mode, 1, encoding="utf-8")\n'
                '    return real_open(file, mode, *args, **kwargs)\n'
                'builtins.open = line_open\n'
                f'sys.argv = ["orca", "-u", {prefs!r}, "--debug-file", target]\n'
                'runpy.run_path("/usr/bin/orca", run_name="__main__")\n')
    # Orca runs once per user: it ends at once when another Orca of this user runs (another run of
    # this test, or the user's own screen reader, which must not be replaced).
    def other_orca():
        return subprocess.run(['pgrep', '-u', str(os.getuid()), '-x', 'orca'], capture_output=True).returncode == 0
    try:
        wait_until('kein anderes Orca dieses Benutzers', lambda: not other_orca(), 300)
    except AssertionError:
        raise AssertionError('ein anderes Orca dieses Benutzers läuft (pgrep -x orca); es wird nicht ersetzt')
    orca = start(['/usr/bin/python3', launcher], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_until('Orca spricht', lambda: orca.poll() is not None or
               any(line.startswith('Screen reader on') for line in speech_lines()), 180)
    if orca.poll() is not None:
        raise AssertionError(f'Orca endete beim Start (Status {orca.returncode})')
    quiet()


def prepare_program(env):
    bin_dir = os.path.join(work, 'bin')
    shutil.copytree(program_dir, bin_dir)
    database = os.path.join(bin_dir, 'Kavemo.mdb')
    if os.path.exists(database):
        os.remove(database)
    with sqlite3.connect(database) as db:
        for sql in (schema_sql, practice_sql):
            with open(sql, encoding='utf-8') as f:
                db.executescript(f.read())
    env['QT_LINUX_ACCESSIBILITY_ALWAYS_ON'] = '1'
    env['QT_ACCESSIBILITY'] = '1'
    return os.path.join(bin_dir, 'lunaris')


def xdotool(*args):
    subprocess.run(['xdotool', *args], check=True, env=ENV, timeout=60)


class Step:
    """A step: keys, then what Orca says until it is quiet; expected texts must all be among it."""

    def __init__(self):
        self.failures = []

    def __call__(self, title, keys, expect=(), absent=(), timeout=30, retry=None):
        """retry: keys that undo a half-done attempt; then the step is tried again (twice at most).
        A busy machine may hold a key until the screen reader has let it pass."""
        before = len(speech_lines())
        for attempt in range(3 if retry else 1):
            if attempt:
                log(f'   (noch einmal, nach {retry})')
                self.press(retry)
                quiet()
                before = len(speech_lines())
            self.press(keys)
            if self.wait_for(before, expect, timeout if not retry else 15):
                break
        quiet()
        lines = speech_lines()[before:]
        log(f'## {title}  [{keys}]')
        for line in lines:
            log(f'   „{line}“')
        text = ' | '.join(lines)
        missing = [e for e in expect if e not in text]
        present = [a for a in absent if a in text]
        if missing:
            self.failures.append(f'{title}: nicht gesprochen: {missing}')
            log(f'   FEHLT: {missing}')
        if present:
            self.failures.append(f'{title}: gesprochen, aber falsch: {present}')
            log(f'   FALSCH: {present}')
        return lines

    @staticmethod
    def press(keys):
        for key in keys.split():
            *modifiers, last = key.split('+')
            # Modifiers are held a while around the key: the program gets every key only after the
            # screen reader has seen it, and on a busy machine a quick release can overtake the key.
            for modifier in modifiers:
                xdotool('keydown', modifier)
            if modifiers:
                time.sleep(0.4)
            xdotool('key', last)
            if modifiers:
                time.sleep(0.4)
            for modifier in reversed(modifiers):
                xdotool('keyup', modifier)
            time.sleep(0.15)

    @staticmethod
    def wait_for(before, expect, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            text = ' | '.join(speech_lines()[before:])
            if all(e in text for e in expect):
                return True
            time.sleep(0.2)
        return False


def main():
    global ENV
    env = environment()
    ENV = env
    start_display(env)
    start(['/usr/libexec/at-spi-bus-launcher', '--launch-immediately'], env=env,
          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    start(['openbox', '--sm-disable'], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    start_speech(env)
    start_orca(env)
    program = prepare_program(env)
    start([program], env=env, cwd=os.path.dirname(program), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_until('Fenster „Lunaris“', lambda: subprocess.run(
        ['xdotool', 'search', '--onlyvisible', '--name', '^Lunaris$'], env=env,
        capture_output=True).returncode == 0, 60)
    wid = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', '^Lunaris$'], env=env,
                         capture_output=True, text=True).stdout.split()[0]
    # The window manager may still be starting on a busy machine: try again for a while, then give the
    # window the keyboard directly (as without a window manager).
    try:
        wait_until('Fenster aktiv', lambda: subprocess.run(
            ['xdotool', 'windowactivate', '--sync', wid], env=env, capture_output=True,
            timeout=30).returncode == 0, 30)
    except AssertionError:
        log('(kein Fenstermanager antwortet: das Fenster bekommt die Tastatur direkt)')
        xdotool('windowfocus', '--sync', wid)
    quiet()

    import orca_steps
    step = Step()
    orca_steps.run(step, log)

    with open(transcript_path, 'w', encoding='utf-8') as f:
        f.write('\n'.join(transcript) + '\n')
    if step.failures:
        print('\n'.join(['FEHLGESCHLAGEN:'] + step.failures), flush=True)
        return 1
    if not os.path.exists(spoken_path) or os.path.getsize(spoken_path) == 0:
        print('FEHLGESCHLAGEN: speech-dispatcher hat nichts in die Datei gesprochen', flush=True)
        return 1
    return 0


if __name__ == '__main__':
    status = 1
    try:
        status = main()
    except Exception as error:  # any setup failure ends the test with its reason
        print(f'FEHLGESCHLAGEN: {error}', flush=True)
        with open(transcript_path, 'w', encoding='utf-8') as f:
            f.write('\n'.join(transcript) + '\n')
    finally:
        stop_all()
    sys.exit(status)
