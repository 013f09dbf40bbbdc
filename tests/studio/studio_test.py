"""The Studio's page in a real browser (Debian's Chromium, headless) against the real plug-in in
xphost with the board library's firmware on a virtual Uno.

    studio_test.py PLUGIN XPHOST AVRBOARD FIRMWARE_ELF [--shots DIR] [--failures DIR]

--shots (or the environment's CORVANE_STUDIO_SHOTS) writes the screenshots of the builder's
walk-through (docs/studio.md, studio-*.png) into DIR; a test that fails keeps a screenshot in
--failures (default: the current folder). Exit status 77 when the plug-in has no Studio to test
(built without it). The page's ready time and the time from a press on the board to the page
showing it are printed at the end.
"""
import os
import sys
import time
import unittest

from selenium.common.exceptions import StaleElementReferenceException, WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from cockpit import Cockpit, css

PROGRAMS = {}
SHOTS = None
FAILURES = '.'
MEASURED = {}

# The file in force: the guide's first board, with a button, a switch and an encoder more.
BASE = (
    '# A first board: board ID 1, with one switch and one lamp.\n'
    '*1\n'
    '# board: Uno\n'
    '[I]\n'
    '# The landing light switch on pin 5: on when it closes, off when it opens.\n'
    'D5+ sim/cockpit2/switches/landing_lights_on 1\n'
    'D5- sim/cockpit2/switches/landing_lights_on 0\n'
    'D6+ sim/lights/taxi_lights_toggle\n'
    'D7+ sim/cockpit2/switches/beacon_on 1\n'
    'D7- sim/cockpit2/switches/beacon_on 0\n'
    'E8+ sim/instruments/barometer_up\n'
    'E8- sim/instruments/barometer_down\n'
    '[O]\n'
    '# The landing light\'s lamp on pin 13, lit while the landing lights are on.\n'
    '13L 0 sim/cockpit2/switches/landing_lights_on\n'
)
# A profile of the same board with nothing on pins 6 to 9 yet: what is learnt there is new.
PROFILE = '*1\r\n# board: Uno\r\n[I]\r\nD5+ sim/cockpit2/switches/landing_lights_on 1\r\n'


class StudioTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.cockpit = Cockpit(PROGRAMS, BASE, {'profiles/B738.cfg': PROFILE})
        cls.d = cls.cockpit.browser()
        # The board has answered and been configured once the plug-in says so.
        cls.cockpit.wait_log(r'Config sent: 61 bytes', 60)
        # A plug-in whose checker is not built in answers 501: the page works without verdicts.
        cls.checker = cls.cockpit.api('POST', '/api/check', '{"name": "data.cfg", "text": ""}')[0] != 501

    @classmethod
    def tearDownClass(cls):
        cls.cockpit.stop()

    def setUp(self):
        self.cockpit.write('data.cfg', BASE)
        self.cockpit.write('profiles/B738.cfg', PROFILE)
        # Unsaved changes of the last test: leave without the page's question.
        self.d.execute_script("window.addEventListener('beforeunload', (e) => e.stopImmediatePropagation(), true)")
        self.d.get('about:blank')
        self.cockpit.driver.get_log('browser')
        MEASURED.setdefault('load_ms', []).append(self.cockpit.open_page())

    def tearDown(self):
        result = self._outcome.result
        if any(test is self or getattr(test, 'test_case', None) is self
               for test, _ in result.failures + result.errors):
            path = os.path.join(FAILURES, 'studio-failure-%s.png' % self._testMethodName)
            self.d.save_screenshot(path)
            print('\nscreenshot of the failure: ' + path, file=sys.stderr)
        errors = [e for e in self.cockpit.console_errors() if 'favicon' not in e and
                  (self.checker or not ('/api/check' in e or '/api/names' in e))]
        self.assertEqual(errors, [], 'the browser console has errors')

    # ---- helpers ----
    def until(self, what, done, seconds=30):
        return self.cockpit.until(what, done, seconds)

    def shot(self, name):
        if SHOTS:
            self.d.save_screenshot(os.path.join(SHOTS, name))

    def raw(self):
        self.d.find_element(By.ID, 'tab-text').click()
        return self.d.find_element(By.ID, 'raw')

    def open_file(self, name):
        Select(self.d.find_element(By.ID, 'file-select')).select_by_value(name)
        self.until(name + ' to open', lambda: self.d.execute_script(
            "return document.getElementById('file-select').value") == name and
            not self.d.find_element(By.ID, 'dirty').is_displayed())

    def click(self, selector):
        # The board's pane is drawn anew when the plug-in tells of a board: find it again then.
        for attempt in range(3):
            try:
                el = self.d.find_element(By.CSS_SELECTOR, selector)
                self.d.execute_script('arguments[0].scrollIntoView({block: "center"})', el)
                el.click()
                return el
            except StaleElementReferenceException:
                if attempt == 2:
                    raise

    def board(self, line):
        answer = self.cockpit.ask_board(line)
        self.assertTrue(answer.startswith('ok') or answer.startswith('pin'), line + ': ' + str(answer))
        # At a hand's pace: the board takes a contact's change once it held for 5 ms.
        time.sleep(0.1)
        return answer

    # ---- tests ----
    def test_opens_with_its_token_and_draws_the_board(self):
        d = self.d
        item = self.until('board ID 1 in the list', lambda: css(d, '[data-board="1"]'))[0]
        self.until('board ID 1 connected on its port', lambda: ' · ttyACM0 · connected' in item.text)
        pins = {'5': 'use-input', '13': 'use-output', '6': 'use-input', '8': 'use-input', '9': 'use-input', '12': 'use-free'}
        pin = lambda key, attribute: d.execute_script(
            "const p = document.querySelector('.board [data-key=\"' + arguments[0] + '\"]'); return p && p.getAttribute(arguments[1])", key, attribute)
        for key, use in pins.items():
            self.assertIn(use, self.until('pin ' + key, lambda: pin(key, 'class')), 'pin ' + key)
        self.assertIn('line 6: D5+ sim/cockpit2/switches/landing_lights_on 1', pin('5', 'aria-label'))
        # Tapped again when the pane was drawn anew after the tap.
        self.until('the note of pin 13', lambda: self.click('.board [data-key="13"] rect') and
                   'line 15: 13L 0' in d.find_element(By.ID, 'pin-note').text)
        # The checker's words on every entry row.
        if self.checker:
            self.until('the checker\'s words', lambda: 'input 0, tag D5+' in d.find_element(By.ID, 'row-5').text)
        self.shot('studio-board.png')
        # A page without its token is told to open the address with it.
        d.delete_all_cookies()
        d.execute_script("sessionStorage.clear()")
        d.get(self.cockpit.address.split('?')[0])
        self.until('the token note', lambda: 'token' in d.find_element(By.ID, 'banner').text)
        self.cockpit.driver.get_log('browser')  # the 401 itself is expected

    def test_learns_a_press_a_switch_and_an_encoder(self):
        d = self.d
        self.open_file('profiles/B738.cfg')
        rows = [
            # form, board lines before Learn, board lines after, the first line the form writes
            ('button', ['press 6'], ['release 6', 'press 6'], 'D6+'),
            ('switch', [], ['press 7', 'release 7'], 'D7+'),
            # Turned down the way it reports: that direction becomes the encoder's up.
            ('encoder', [], ['turn 8 9 -1'], 'E8-'),
        ]
        for kind, before, after, first in rows:
            with self.subTest(kind=kind, first=first):
                self.close_form()
                for line in before:
                    self.board(line)
                self.click('[data-add="%s"]' % kind)
                d.find_element(By.ID, 'form-learn-button').click()
                self.listening()
                for line in after:
                    self.board(line)
                preview = d.find_element(By.ID, 'form-preview')
                self.until(first + ' learnt', lambda: preview.text.startswith(first))
                if kind == 'switch':
                    self.assertIn('D7-', preview.text)
                if first == 'D6+':
                    self.shot('studio-learn.png')
                name = d.find_element(By.ID, 'f-name')
                name.send_keys('sim/cockpit2/switches/navigation_lights_on')
                if kind == 'button':
                    Select(d.find_element(By.ID, 'f-action')).select_by_value('dataref')
                d.find_element(By.ID, 'form-ok').click()
                self.release_all()
                self.assertIn('\n' + first + ' sim/cockpit2/switches/navigation_lights_on', self.raw().get_attribute('value'))
                d.find_element(By.ID, 'tab-board').click()
        # A control that already has an entry goes to it.
        self.open_file_discarding('data.cfg')
        d.find_element(By.ID, 'learn').click()
        self.listening()
        self.board('press 5')
        self.until('the jump to line 6', lambda: 'already has an entry: line 6' in d.find_element(By.ID, 'banner').text)
        self.board('release 5')

    def close_form(self):
        """Closes a form a failed row left open, so that the next row starts clean."""
        if css(self.d, '#form-dialog[open]'):
            self.d.find_element(By.ID, 'form-cancel').click()

    def listening(self):
        """Waits until the page listens: the plug-in learns and every board got its upload."""
        start = self.d.execute_script('return performance.now()')
        self.until('the page listening', lambda: self.d.execute_script('return document.body.dataset.learning') == 'ready')
        MEASURED.setdefault('learn_ready_ms', []).append(self.d.execute_script('return performance.now()') - start)

    def plugin_learning(self):
        return '"learning":true' in self.cockpit.api('GET', '/api/state')[1]

    def test_learns_controls_on_pins_no_entry_names(self):
        d = self.d
        # data.cfg (in force) names pins 5 to 9 and 13 (12 too, once the LED test applied it);
        # 2, 3, 4, 10, 11 and the analog channels are free.
        rows = [
            # how (a form's Learn or the page's "Press a control"), board lines before it and
            # after the page listens, what the form then writes first (and more)
            ('switch', [], ['press 10', 'release 10'], 'D10+', ['D10-']),
            ('page', ['press 4'], ['release 4', 'press 4'], 'D4+', []),  # the press, not the release
            ('page', [], ['turn 2 3 -1 8000'], 'E2-', []),  # turned down: down is its up
            ('page', ['analog 2 100'], ['analog 2 900'], 'A2', []),
        ]
        for how, before, after, first, more in rows:
            with self.subTest(how=how, first=first):
                self.close_form()
                for line in before:
                    self.board(line)
                if how == 'page':
                    d.find_element(By.ID, 'learn').click()
                else:
                    self.click('[data-add="%s"]' % how)
                    d.find_element(By.ID, 'form-learn-button').click()
                self.listening()
                self.assertTrue(self.plugin_learning(), 'the plug-in learns while the page listens')
                for line in after:
                    self.board(line)
                preview = d.find_element(By.ID, 'form-preview')
                self.until(first + ' learnt', lambda: preview.is_displayed() and preview.text.startswith(first + ' '))
                for tag in more:
                    self.assertIn('\n' + tag + ' ', preview.text)
                # Learnt: the plug-in stops learning and the boards get their own uploads again.
                self.until('learning off', lambda: not self.plugin_learning())
                if how == 'switch':
                    d.find_element(By.ID, 'f-name').send_keys('sim/cockpit2/switches/navigation_lights_on')
                    d.find_element(By.ID, 'form-ok').click()
                    self.assertIn('\nD10+ sim/cockpit2/switches/navigation_lights_on', self.raw().get_attribute('value'))
                    d.find_element(By.ID, 'tab-board').click()
                else:
                    d.find_element(By.ID, 'form-cancel').click()
                self.cockpit.ask_board('release 4')
        # Listening stopped by the builder: the plug-in stops learning too.
        d.find_element(By.ID, 'learn').click()
        self.listening()
        d.find_element(By.ID, 'learn').click()
        self.until('learning off', lambda: not self.plugin_learning())

    def open_file_discarding(self, name):
        Select(self.d.find_element(By.ID, 'file-select')).select_by_value(name)
        if css(self.d, '#ask-dialog[open]'):
            self.d.find_element(By.ID, 'ask-other').click()
        self.until(name + ' to open', lambda: not self.d.find_element(By.ID, 'dirty').is_displayed())

    def release_all(self):
        for line in ['release 6', 'release 7']:
            self.cockpit.ask_board(line)

    def test_an_led_added_by_form_is_its_line_saved_applied_and_lit(self):
        d = self.d
        self.click('[data-add="lamp"]')
        d.find_element(By.ID, 'f-number').send_keys('12')
        d.find_element(By.ID, 'f-dataref').send_keys('sim/cockpit2/switches/beacon_on')
        self.until('the line in the preview', lambda: d.find_element(By.ID, 'form-preview').text == '12L 0 sim/cockpit2/switches/beacon_on')
        if self.checker:
            self.until('the checker\'s verdict in the form', lambda: 'output 1, tag 12L' in d.find_element(By.ID, 'form-verdict').text)
        self.shot('studio-form.png')
        d.find_element(By.ID, 'form-ok').click()
        want = BASE + '12L 0 sim/cockpit2/switches/beacon_on\n'
        self.assertEqual(self.raw().get_attribute('value'), want)
        configured = lambda: sum('Config sent: 61 bytes' in line for line in self.cockpit.log)
        before = configured()
        d.find_element(By.ID, 'apply').click()  # saves first, then reconnects
        self.until('the saved file', lambda: self.cockpit.read('data.cfg') == want.encode())
        self.until('the board configured again', lambda: configured() > before, 60)
        self.cockpit.ask_host('set sim/cockpit2/switches/beacon_on 1')
        self.until('the LED on pin 12 lit', lambda: self.cockpit.ask_board('pin 12') == 'pin 12 1')
        self.cockpit.ask_host('set sim/cockpit2/switches/beacon_on 0')
        self.until('the LED on pin 12 dark', lambda: self.cockpit.ask_board('pin 12') == 'pin 12 0')
        # Backups: the version before the save comes back, and Undo is not needed to see it.
        d.find_element(By.ID, 'backups').click()
        self.until('the backups', lambda: css(d, '[data-backup]'))
        self.click('[data-backup]')
        self.assertEqual(self.raw().get_attribute('value'), BASE)

    def test_an_untouched_file_saves_byte_for_byte(self):
        files = [
            b'# notes\r\n*1\r\n# board: Uno\r\n[I]\r\n\tD5+   sim/cockpit2/switches/landing_lights_on 1 \r\n\r\nodd line\r\n[X]\r\nwhatever\r\n@info\r\nfree text\r\n[O]\r\n13L 0 sim/cockpit2/switches/landing_lights_on',
            b'*1\n[I]\nD5+ sim/cockpit2/switches/landing_lights_on 1\n\n\n#end\n',
        ]
        for data in files:
            with self.subTest(data=data[:20]):
                self.cockpit.write('data.cfg', data)
                self.d.get('about:blank')
                self.cockpit.open_page()
                raw = self.raw()
                raw.send_keys(Keys.CONTROL, Keys.HOME, Keys.NULL, 'x')  # an edit, and its undo
                self.d.find_element(By.ID, 'undo').click()
                self.d.find_element(By.ID, 'save').click()
                self.until('the save', lambda: 'Saved' in self.d.find_element(By.ID, 'banner').text)
                self.assertEqual(self.cockpit.read('data.cfg'), data)

    def test_a_stale_save_shows_both_files(self):
        d = self.d
        raw = self.raw()
        raw.send_keys(Keys.CONTROL, Keys.END, Keys.NULL, '# mine\n')
        theirs = BASE + '# theirs\n'
        self.cockpit.write('data.cfg', theirs)
        d.find_element(By.ID, 'save').click()
        self.until('the conflict', lambda: d.find_element(By.ID, 'conflict-dialog').is_displayed())
        self.assertIn('# mine', d.find_element(By.ID, 'conflict-mine').text)
        self.assertIn('# theirs', d.find_element(By.ID, 'conflict-theirs').text)
        self.shot('studio-conflict.png')
        self.cockpit.driver.get_log('browser')  # the refusal (409) is expected
        self.assertEqual(self.cockpit.read('data.cfg'), theirs.encode())
        d.find_element(By.ID, 'conflict-mine-button').click()
        self.until('mine saved', lambda: self.cockpit.read('data.cfg') == (BASE + '# mine\n').encode())

    def test_a_problem_shows_on_its_line_while_typing(self):
        if not self.checker:
            self.skipTest('the plug-in\'s checker is not built in (/api/check answers 501)')
        d = self.d
        raw = self.raw()
        raw.send_keys(Keys.CONTROL, Keys.END, Keys.NULL, '12L 0 sim/cockpit2/switches/beacn_on')
        line = BASE.count('\n') + 1
        mark = self.until('the mark on line %d' % line, lambda: css(d, '.gutter .bad[data-gline="%d"]' % line))
        self.assertIn('beacn_on', mark[0].get_attribute('title'))
        self.until('the problem in the list', lambda: 'line %d' % line in d.find_element(By.ID, 'problems').get_attribute('textContent'))
        self.assertEqual(d.find_element(By.ID, 'problem-count').text, '1')
        self.until('the line\'s note', lambda: 'beacn_on' in d.find_element(By.ID, 'line-note').text)
        self.shot('studio-problems.png')
        # The checker's suggestion mends the line.
        d.find_element(By.ID, 'tab-problems').click()
        self.click('[data-suggest]')
        self.assertIn('\n12L 0 sim/cockpit2/switches/beacon_on', self.raw().get_attribute('value'))
        self.until('no problem left', lambda: d.find_element(By.ID, 'problem-count').text == '0')

    def test_a_press_shows_on_its_row(self):
        d = self.d
        self.until('the D5+ row', lambda: css(d, '#row-5 [data-live]'))
        # Watched from the page's body: the table may be drawn anew before the press arrives.
        d.execute_script(
            "window.seen = 0; new MutationObserver(() => { const cell = document.querySelector('#row-5 [data-live]');"
            " if (!window.seen && cell && cell.textContent.includes('D5+')) window.seen = performance.now(); })"
            ".observe(document.body, {childList: true, subtree: true, characterData: true});")
        start = d.execute_script('return performance.now()')
        self.board('press 5')
        seen = self.until('the press on the page', lambda: d.execute_script('return window.seen'))
        MEASURED.setdefault('press_ms', []).append(seen - start)
        self.until('the landing lights on', lambda: self.cockpit.ask_host('get sim/cockpit2/switches/landing_lights_on').endswith('= 1'))
        self.board('release 5')
        self.until('the lamp output shown', lambda: 'sent' in d.find_element(By.CSS_SELECTOR, '#row-14 [data-live]').text)


def main():
    global SHOTS, FAILURES
    args = sys.argv[1:]
    SHOTS = os.environ.get('CORVANE_STUDIO_SHOTS') or None
    if '--shots' in args:
        i = args.index('--shots')
        SHOTS = args[i + 1]
        del args[i:i + 2]
    if '--failures' in args:
        i = args.index('--failures')
        FAILURES = args[i + 1]
        del args[i:i + 2]
    PROGRAMS.update(zip(['plugin', 'xphost', 'avrboard', 'firmware'], args[:4]))
    PROGRAMS['chromedriver'] = os.environ.get('CHROMEDRIVER', '/usr/bin/chromedriver')
    missing = [k + ' ' + v for k, v in PROGRAMS.items() if not v or not os.path.exists(v)]
    if missing:
        print('cannot run: missing ' + ', '.join(missing), file=sys.stderr)
        return 77
    with open(PROGRAMS['plugin'], 'rb') as f:
        if b'Studio at ' not in f.read():
            print('the plug-in has no Studio: nothing to test', file=sys.stderr)
            return 77
    result = unittest.main(argv=[sys.argv[0]] + args[4:], exit=False, verbosity=2).result
    for key, values in MEASURED.items():
        print('%s: %s' % (key, ', '.join('%.0f' % v for v in values)), file=sys.stderr)
    return 0 if result.wasSuccessful() else 1


if __name__ == '__main__':
    sys.exit(main())
