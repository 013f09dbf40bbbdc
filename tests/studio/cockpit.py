"""A cockpit for the Studio's browser tests: the real plug-in in the headless host xphost, in
real time, with the board library's firmware on a virtual Uno (corvane-avr-board) as its USB
board, and Debian's Chromium, headless, driven by Selenium on the page the plug-in serves.

Everything stays on loopback: IP_ADDRESS is 127.0.0.1, the UDP and Studio ports are free ones.
"""
import os
import queue
import re
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.common.by import By

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class Lines:
    """The lines a program writes, read by a thread of their own."""

    def __init__(self, stream, keep=None):
        self.queue = queue.Queue()
        self.keep = keep
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for raw in stream:
            line = raw.decode('utf-8', 'replace').rstrip('\r\n')
            if self.keep is not None:
                self.keep.append(line)
            self.queue.put(line)
        self.queue.put(None)

    def next(self, timeout):
        try:
            return self.queue.get(timeout=timeout)
        except queue.Empty:
            return None


class Cockpit:
    """The plug-in folder, the board, the host and the browser; stop() ends all of them."""

    def __init__(self, programs, data_cfg, files=None, aircraft=None):
        self.programs = programs
        self.root = tempfile.mkdtemp(prefix='corvane-studio-')
        self.folder = os.path.join(self.root, 'Resources', 'plugins', 'Corvane')
        self.devices = os.path.join(self.root, 'dev')
        os.makedirs(os.path.join(self.folder, 'lin_x64'))
        os.makedirs(self.devices)
        shutil.copy(programs['plugin'], os.path.join(self.folder, 'lin_x64', 'Corvane.xpl'))
        shutil.copytree(os.path.join(SOURCE, 'studio'), os.path.join(self.folder, 'studio'))
        self.studio_port = free_port(socket.SOCK_STREAM)
        with open(os.path.join(self.folder, 'config.ini'), 'w') as f:
            f.write('IP_ADDRESS = 127.0.0.1\nPORT = %d\nUSB_DEVICE_COUNT = 1\nSTUDIO_PORT = %d\n'
                    % (free_port(socket.SOCK_DGRAM), self.studio_port))
        self.write('data.cfg', data_cfg)
        for name, text in (files or {}).items():
            self.write(name, text)
        self.processes = []
        self.log = []
        self.driver = None
        link = os.path.join(self.devices, 'ttyACM0')
        self.board = subprocess.Popen(
            [programs['avrboard'], '--mcu', 'atmega328p', '--board-id', '1',
             '--firmware', programs['firmware'], '--link', link],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.processes.append(self.board)
        self.board_lines = Lines(self.board.stdout)
        if self.board_lines.next(30) != 'ready ' + link:
            raise RuntimeError('the virtual board did not start')
        command = [programs['xphost'], '--plugin', os.path.join(self.folder, 'lin_x64', 'Corvane.xpl'),
                   '--realtime', '--fps', '40', '--echo-log',
                   '--datarefs', os.path.join(SOURCE, 'examples', 'datarefs.txt')]
        if aircraft:
            os.makedirs(os.path.join(self.root, os.path.dirname(aircraft)), exist_ok=True)
            open(os.path.join(self.root, aircraft), 'w').close()
            command += ['--aircraft', aircraft]
        self.host = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, cwd=self.root,
                                     env=dict(os.environ, CORVANE_DEVICE_DIR=self.devices))
        self.processes.append(self.host)
        self.host_lines = Lines(self.host.stdout)
        Lines(self.host.stderr, self.log)
        self.address = self.wait_log(r'Studio at (http://127\.0\.0\.1:\d+/\?token=[0-9a-f]+)', 60).group(1)

    # ---- files ----
    def path(self, name):
        return os.path.join(self.folder, name)

    def write(self, name, text):
        os.makedirs(os.path.dirname(self.path(name)), exist_ok=True)
        with open(self.path(name), 'wb') as f:
            f.write(text.encode() if isinstance(text, str) else text)

    def read(self, name):
        with open(self.path(name), 'rb') as f:
            return f.read()

    # ---- programs ----
    def wait_log(self, pattern, seconds=30):
        deadline = time.time() + seconds
        while time.time() < deadline:
            for line in list(self.log):
                m = re.search(pattern, line)
                if m:
                    return m
            time.sleep(0.05)
        raise AssertionError('the plug-in never wrote %r; its log:\n%s' % (pattern, '\n'.join(self.log[-40:])))

    def ask_board(self, line):
        self.board.stdin.write((line + '\n').encode())
        self.board.stdin.flush()
        return self.board_lines.next(30)

    def ask_host(self, line):
        self.host.stdin.write((line + '\n').encode())
        self.host.stdin.flush()
        return self.host_lines.next(30)

    def until(self, what, done, seconds=30):
        """Waits for done() to hold (generous deadlines: the machine may be loaded)."""
        deadline = time.time() + seconds
        while time.time() < deadline:
            try:
                got = done()
            except StaleElementReferenceException:
                got = None  # the page redrew what done() was reading: read it again
            if got:
                return got
            time.sleep(0.05)
        raise AssertionError('waited %d s in vain for %s' % (seconds, what))

    def api(self, method, path, body=None):
        """A call of the Studio's interface with the token: (status, body as text)."""
        base, token = self.address.split('/?token=')
        request = urllib.request.Request(base + path, method=method, data=body.encode() if body else None,
                                         headers={'X-Corvane-Token': token, 'Content-Type': 'application/json'})
        try:
            with urllib.request.urlopen(request, timeout=30) as answer:
                return answer.status, answer.read().decode()
        except urllib.error.HTTPError as refused:
            return refused.code, refused.read().decode()

    # ---- browser ----
    def browser(self, width=1280, height=900):
        options = webdriver.ChromeOptions()
        for arg in ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
                    '--disable-component-update', '--disable-sync', '--no-first-run',
                    '--disable-dev-shm-usage', '--user-data-dir=' + os.path.join(self.root, 'chromium'),
                    '--window-size=%d,%d' % (width, height)]:
            options.add_argument(arg)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        self.driver = webdriver.Chrome(service=Service(self.programs['chromedriver']), options=options)
        return self.driver

    def open_page(self):
        d = self.driver
        d.get(self.address)
        self.until('the page to be ready', lambda: d.execute_script('return document.body.dataset.ready'))
        return d.execute_script("return performance.getEntriesByName('studio-ready')[0].startTime")

    def console_errors(self):
        return [e['message'] for e in self.driver.get_log('browser') if e['level'] == 'SEVERE']

    def stop(self):
        if self.driver:
            try:
                self.driver.quit()
            except Exception:
                pass
        for p in self.processes:
            if p.poll() is None:
                try:
                    p.stdin.write(b'quit\n')
                    p.stdin.flush()
                except Exception:
                    pass
        for p in self.processes:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        shutil.rmtree(self.root, ignore_errors=True)


def css(driver, selector):
    return driver.find_elements(By.CSS_SELECTOR, selector)
