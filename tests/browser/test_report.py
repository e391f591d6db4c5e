#!/usr/bin/python3
"""Opens session reports written by ibtimport in headless Chromium and checks what a driver sees.

Run by CTest (see tests/CMakeLists.txt) with Debian's python3, chromium, chromium-driver and
python3-selenium; exits with 77 (skipped) and says why when one of them is missing.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

CHROMIUM = '/usr/bin/chromium'
CHROMEDRIVER = '/usr/bin/chromedriver'
SKIPPED = 77
PLUGIN_NO_TIME_MS = 3599000

args = None


def missing_tools():
    missing = [path for path in (CHROMIUM, CHROMEDRIVER) if not os.access(path, os.X_OK)]
    try:
        import selenium  # noqa: F401
    except ImportError:
        missing.append('the selenium module (python3-selenium)')
    return missing


def run_cli(*arguments):
    done = subprocess.run([args.cli] + list(arguments), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def start_browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update', '--disable-sync',
                 '--user-data-dir=' + tempfile.mkdtemp(prefix='report-browser-')):
        options.add_argument(flag)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


def lap_value(traces, lap, key, k):
    """A lap's trace value at grid index k: arrays hold one per point (per stride points for thinned channels,
    linear between), a number is constant over the lap."""
    v = lap['values'].get(key)
    if k >= len(lap['time']) or v is None:
        return None
    if not isinstance(v, list):
        return v
    stride = next(c.get('stride', 1) for c in traces['channels'] if c['key'] == key)
    i, rest = divmod(k, stride)
    if i >= len(v) or v[i] is None:
        return None
    if rest == 0 or i + 1 >= len(v) or v[i + 1] is None:
        return v[i]
    return v[i] + (v[i + 1] - v[i]) * rest / stride


def time_at(lap, step, distance):
    """The reference's elapsed time at a distance on its own file's grid, linear between points."""
    at = distance / step
    i = int(at)
    t = lap['time']
    if i >= len(t) or t[i] is None:
        return None
    if at == i:
        return t[i]
    if i + 1 >= len(t) or t[i + 1] is None:
        return None
    return t[i] + (t[i + 1] - t[i]) * (at - i)


class ReportPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.out = args.out
        os.makedirs(cls.out, exist_ok=True)
        cls.work = tempfile.mkdtemp(prefix='report-inputs-')
        for kind in ('race', 'practice', 'roadcourse'):
            setattr(cls, kind, os.path.join(cls.work, kind + '.ibt'))
            subprocess.run([args.scenario, kind, getattr(cls, kind)], check=True)
        cls.broken = os.path.join(cls.work, 'broken.ibt')
        with open(cls.broken, 'wb') as f:
            f.write(b'not a telemetry file')
        cls.driver = start_browser()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.work, ignore_errors=True)

    def write_report(self, name, *inputs, expected_status=0):
        path = os.path.join(self.out, name)
        status, out, err = run_cli('--report', path, *inputs)
        if expected_status is None:
            self.assertIn(status, (0, 1), err)
        else:
            self.assertEqual(status, expected_status, err)
        self.assertIn('Session report written to', out)
        return path

    def open(self, path, size=(1280, 800)):
        self.driver.set_window_size(*size)
        self.driver.get('file://' + path)
        from selenium.webdriver.support.ui import WebDriverWait
        WebDriverWait(self.driver, 20).until(lambda d: d.execute_script('return document.body.dataset.ready') == '1')
        self.report = self.driver.execute_script('return window.reportData')
        return self.report

    def assert_no_console_errors(self):
        errors = [entry['message'] for entry in self.driver.get_log('browser') if entry['level'] == 'SEVERE']
        self.assertEqual(errors, [])

    def assert_self_contained(self, path):
        with open(path, encoding='utf-8') as f:
            page = f.read()
        self.assertIsNone(re.search(r'(https?|ftp):/|\b(src|href)\s*=|@import|url\(', page))

    def set_control(self, element_id, value, event='change'):
        """Sets a form control as a driver's input does, with the event the page listens for."""
        self.js("var s = document.getElementById(arguments[0]); s.value = arguments[1];"
                "s.dispatchEvent(new Event(arguments[2]))", element_id, value, event)

    def show_file(self, index):
        self.set_control('file', str(index))

    def js(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def over(self, chart=0):
        """The plotting area of a chart, and its width."""
        over = self.driver.find_elements('css selector', '#charts .u-over')[chart]
        return over, over.size['width']

    def actions(self):
        from selenium.webdriver.common.action_chains import ActionChains
        return ActionChains(self.driver)

    def chart(self, name):
        """The script expression of the chart of that name, undefined when there is none."""
        return "reportView.plots.find(u => u.root.parentNode.dataset.chart === '%s')" % name

    def move_to(self, fraction, chart=0):
        over, width = self.over(chart)
        self.actions().move_to_element_with_offset(over, int(width * (fraction - 0.5)), 0).perform()

    # ---- the checks on one file of a report ----

    def state(self):
        return self.js('return window.reportState')

    def row(self, file, lap, part=''):
        return self.driver.find_element('css selector', '#laps tr[data-file="%d"][data-lap="%d"] %s' % (file, lap, part))

    def click(self, file, lap, part):
        """A box of a lap's row, wherever the table has scrolled it."""
        self.js('arguments[0].click()', self.row(file, lap, part))

    def each(self, selector, expression):
        """The expression of e over the elements the selector finds; [this file] selects the shown file's."""
        selector = selector.replace('[this file]', '[data-file="\' + reportState.file + \'"]')
        return self.js("return [...document.querySelectorAll('%s')].map(e => %s)" % (selector, expression))

    def check_rows(self, summary):
        self.assertEqual(self.each('#laps tr[this file]', 'e.dataset.lap'), [str(lap['lapNumber']) for lap in summary['laps']])

    def check_contract(self, summary):
        """What the charts draw is in window.reportState: two different laps when two exist, the
        reference among them with a valid time; the table's kinds, gaps and radios agree."""
        state = self.state()
        f = state['file']
        shown = [tuple(e) for e in state['shown']]
        self.assertEqual(len(shown), len(set(shown)))
        lap_of = {lap['lapNumber']: lap for lap in summary['laps']}
        if len(summary['traces']['laps']) >= 2:
            self.assertGreaterEqual(len(shown), 2)
        reference = state['reference']
        ref_ms = None
        if reference:
            self.assertIn(tuple(reference), shown)
            ref_lap = next(l for l in self.report['files'][reference[0]]['laps'] if l['lapNumber'] == reference[1])
            self.assertTrue(ref_lap['validTime'])
            ref_ms = ref_lap['lapTimeMs']
        for lap in summary['laps']:
            n = lap['lapNumber']
            self.assertEqual(self.row(f, n, 'td.kind').text, '' if lap['kind'] == '-' else lap['kind'])
            self.assertEqual(not self.row(f, n, 'input.ref').is_enabled(),
                             not lap['validTime'] or not any(t['lapNumber'] == n for t in summary['traces']['laps']))
            if lap['validTime'] and ref_ms is not None:
                self.assertEqual(self.row(f, n, 'td.gap').text, '%+.3f' % ((lap['lapTimeMs'] - ref_ms) / 1000))
        # The delta is 0 at 0 m and reaches the line, where it equals the gap.
        delta = self.js("var u = %s; return u ? u.data.slice(1) : null" % self.chart('delta'))
        for (file, n), series in zip(shown, delta or []):
            lap = lap_of.get(n) if file == f else None
            trace = next((t for t in summary['traces']['laps'] if t['lapNumber'] == n), None) if lap else None
            if not lap or not trace['fromLine'] or not reference:
                continue
            self.assertEqual(series[0], 0)
            if lap['validTime'] and len(trace['time']) == len(series):
                self.assertAlmostEqual(series[-1], (lap['lapTimeMs'] - ref_ms) / 1000, delta=0.00011)
        # Gears are whole numbers on their axis; the map's selector names an enabled colouring.
        ticks = self.js("var u = %s; return u ? u.axes[1]._splits.filter((v, i) => u.axes[1]._values[i] !== '') : []"
                        % self.chart('gear'))
        self.assertTrue(all(float(v).is_integer() for v in ticks), ticks)
        self.assertTrue(self.js("var s = document.getElementById('map-colour'); return !s.selectedOptions[0].disabled"))

    def check_ticking(self):
        before = self.js('return reportView.plots.map(u => u.series.length)')
        row = self.js("var r = [...document.querySelectorAll('#laps tr[data-file=\"' + reportState.file + '\"]')].find(r => {"
                      "  var c = r.querySelector('input.show'); return !c.checked && !c.disabled; });"
                      "return r ? r.dataset.lap : null")
        if row is None:
            return None
        self.click(self.state()['file'], int(row), 'input.show')
        after = self.js('return reportView.plots.map(u => u.series.length)')
        # One more series per channel on each chart: throttle and brake share one.
        self.assertEqual(after[0], before[0] + 1)
        self.assertEqual(after[1], before[1] + 2)
        self.assertIn([self.state()['file'], int(row)], self.state()['shown'])
        self.check_untick_before_last()
        # Unticked, its series go again from every chart; ticked once more for the checks that follow.
        self.click(self.state()['file'], int(row), 'input.show')
        self.assertEqual(self.js('return reportView.plots.map(u => u.series.length)'), before)
        self.assertNotIn([self.state()['file'], int(row)], self.state()['shown'])
        self.click(self.state()['file'], int(row), 'input.show')
        return int(row)

    def drawn(self):
        """Per chart the lap and label of each series, and per lap drawn its colour in the read-out and the lap table."""
        return self.js("return [reportView.plots.map(u => u.owners.slice(1).map((e, i) => [e.file, e.lap, u.series[i + 1].label])),"
                       "Object.fromEntries([...document.querySelectorAll('#readout tr[data-lap], #laps tr.ticked')].map(r =>"
                       "  [r.closest('div').id + ' ' + r.dataset.file + ':' + r.dataset.lap, r.querySelector('.swatch').style.background]))]")

    def check_untick_before_last(self):
        """Unticking a lap of this file ticked before others takes exactly its series off the charts as they
        stand, and the laps left keep their colours; ticked again, it comes last."""
        state = self.state()
        middle = next((e for e in state['shown'][:-1] if e != state['reference'] and e[0] == state['file']), None)
        if middle is None:
            return
        series, colours = self.drawn()
        self.js('reportView.plots.forEach(u => u.kept = true)')
        self.click(*middle, 'input.show')
        self.assertEqual(self.drawn(), [[[s for s in chart if s[:2] != middle] for chart in series],
                                        {k: v for k, v in colours.items() if not k.endswith(' %d:%d' % tuple(middle))}])
        self.assertTrue(self.js('return reportView.plots.every(u => u.kept)'))
        self.click(*middle, 'input.show')

    def pixels(self, canvas, condition):
        """How many pixels of a canvas have a colour (r, g, b) that meets the condition."""
        return self.js("var c = document.getElementById(arguments[0]), d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;"
                       "var n = 0; for (var i = 0; i < d.length; i += 4) { var r = d[i], g = d[i + 1], b = d[i + 2]; if (%s) ++n; }"
                       "return n" % condition, canvas)

    def map_pixels(self, file, lap):
        """How many pixels of the map have the colour the lap has in the read-out."""
        want = self.js("return getComputedStyle(document.querySelector('#readout tr[data-file=\"%d\"][data-lap=\"%d\"] .swatch'))"
                       ".backgroundColor.match(/\\d+/g).map(Number)" % (file, lap))
        return self.pixels('map', 'Math.abs(r - %d) + Math.abs(g - %d) + Math.abs(b - %d) < 6' % tuple(want[:3]))

    def check_picker(self):
        """Picking a channel adds a chart of it and a column of the read-out; typing filters the list,
        whose entries carry the recording's description."""
        key = self.js("var o = [...document.querySelectorAll('#channel-picker option')].slice(1)"
                      ".find(o => reportView.picked.indexOf(o.value) < 0); return o ? o.value : null")
        if key is None:
            return
        options = "return [...document.querySelectorAll('#channel-picker option')].slice(1).map(o => o.textContent)"
        listed = self.js(options)
        word = key.split(':')[-1]
        self.set_control('channel-filter', word, 'input')
        filtered = self.js(options)
        self.assertTrue(filtered and all(word.lower() in text.lower() for text in filtered), filtered)
        self.set_control('channel-filter', '', 'input')
        self.assertEqual(self.js(options), listed)
        charts = self.js('return reportView.plots.length')
        self.set_control('channel-picker', key)
        self.assertEqual(self.js('return reportView.plots.length'), charts + 1)
        self.assertIn(key, self.js('return reportView.picked'))

    def check_reference(self):
        """Choosing a ticked lap from the line as the reference makes its own delta zero."""
        f = self.state()['file']
        lap = self.js("var f = reportState.file; var t = reportState.shown.filter(e => e[0] === f).map(e => e[1]).filter(n => {"
                      "  var r = document.querySelector('#laps tr[data-file=\"' + f + '\"][data-lap=\"' + n + '\"] input.ref');"
                      "  return r && !r.checked && !r.disabled; });"
                      "var laps = window.reportData.files[f].traces.laps;"
                      "return t.find(n => laps.find(l => l.lapNumber === n).fromLine) ?? null")
        if lap is None:
            return
        self.click(f, lap, 'input.ref')
        self.assertEqual(self.state()['reference'], [f, lap])
        delta = self.js("var u = " + self.chart('delta') + ";"
                        "var i = reportState.shown.findIndex(e => e[0] === arguments[0] && e[1] === arguments[1]) + 1;"
                        "return u.data[i]", f, lap)
        self.assertTrue(all(v in (0, None) for v in delta))

    def check_cursor(self, summary, fraction):
        self.move_to(fraction)
        k = int(self.js("return document.getElementById('cursor-distance').dataset.index"))
        traces = summary['traces']
        step = traces['stepM']
        shown = self.js('var u = reportView.plots[0]; return u.posToVal(u.cursor.left, "x")')
        self.assertLessEqual(abs(shown - k * step), step)
        reference = self.state()['reference']
        laps = {lap['lapNumber']: lap for lap in traces['laps']}
        ref_time = None
        if reference:
            ref_traces = self.report['files'][reference[0]]['traces']
            ref_lap = next(lap for lap in ref_traces['laps'] if lap['lapNumber'] == reference[1])
            ref_time = time_at(ref_lap, ref_traces['stepM'], k * step)
        # The laps of this file; another file's are carried over from its own grid.
        cells = self.each('#readout tr[this file] td[data-key]', '[+e.parentNode.dataset.lap, e.dataset.key, e.dataset.value]')
        self.assertTrue(cells)
        for lap_number, key, text in cells:
            lap = laps[lap_number]
            if key == 'delta':
                # Only laps timed from the line have a delta.
                known = lap['fromLine'] and lap['time'][k] is not None and ref_time is not None
                expected = lap['time'][k] - ref_time if known else None
            else:
                expected = lap_value(traces, lap, key, k)
            if expected is None:
                self.assertEqual(text, '', (lap_number, key))
            else:
                # The page keeps the delta to a tenth of a millisecond.
                tolerance = 0.00011 if key == 'delta' else 1e-9
                self.assertAlmostEqual(float(text), expected, delta=tolerance, msg=(lap_number, key, k))
        return k, cells

    def check_map(self, summary):
        extent = 0
        for lap in summary['traces']['laps']:
            for axis in ('x', 'y'):
                known = [v for v in lap.get(axis) or [] if v is not None]
                extent = max([extent, max(known) - min(known)] if known else [extent])
        if extent < 50:
            return  # a car that never moved has no map to draw
        drawn = self.js("var c = document.getElementById('map'); if (c.offsetParent === null) return null;"
                        "var d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data, ink = 0, colours = {};"
                        "for (var i = 0; i < d.length; i += 4) { if (d[i] + d[i+1] + d[i+2] < 750) ++ink;"
                        "  colours[d[i] + ',' + d[i+1] + ',' + d[i+2]] = 1; }"
                        "return [ink / (d.length / 4), Object.keys(colours).length]")
        self.assertIsNotNone(drawn, 'map hidden')
        self.assertGreater(drawn[0], 0.01)
        self.assertGreater(drawn[1], 5)
        # Moving over the map moves the one cursor: charts and read-out follow.
        before = self.js("return document.getElementById('cursor-distance').dataset.index")
        canvas = self.driver.find_element('css selector', '#map')
        for dx, dy in ((0.3, 0), (0, 0.3), (-0.3, 0), (0, -0.3)):
            self.actions().move_to_element_with_offset(
                canvas, int(dx * canvas.size['width']), int(dy * canvas.size['height'])).perform()
            after = self.js("return document.getElementById('cursor-distance').dataset.index")
            if after != before:
                break
        self.assertNotEqual(after, before)
        self.assertEqual(int(after), self.js('return reportView.cursor'))

    def check_zoom(self):
        ranges = 'return reportView.plots.map(u => [u.scales.x.min, u.scales.x.max])'
        full = self.js(ranges)
        over, width = self.over()
        self.actions().move_to_element_with_offset(over, int(-0.3 * width), 0).click_and_hold() \
            .move_by_offset(int(0.3 * width), 0).release().perform()
        zoomed = self.js(ranges)
        self.assertGreater(zoomed[0][0], full[0][0])
        self.assertLess(zoomed[0][1], full[0][1])
        for r in zoomed:
            self.assertEqual(r, zoomed[0])
        self.actions().move_to_element_with_offset(over, 0, 0).double_click().perform()
        self.assertEqual(self.js(ranges), full)

    def check_file(self, report, index, name):
        summary = report['files'][index]
        if self.state()['file'] != index:
            self.show_file(index)
        self.check_rows(summary)
        if not summary.get('traces') or not summary['traces']['laps']:
            return
        self.check_contract(summary)
        self.check_ticking()
        self.check_reference()
        self.check_picker()
        self.check_cursor(summary, 0.37)
        self.check_cursor(summary, 0.81)
        self.driver.save_screenshot(os.path.join(self.out, name + '-1280x800.png'))
        self.check_map(summary)
        self.check_zoom()
        self.assertLessEqual(self.js('return document.documentElement.scrollWidth'),
                             self.js('return window.innerWidth'))
        self.assert_no_console_errors()

    # ---- the reports ----

    def test_generated_race(self):
        """The race at a desktop's width; at 390 px nothing scrolls sideways, and a picked channel neither
        squeezes the lap table nor leaves the charts short of their column."""
        path = self.write_report('race.html', self.race)
        self.assert_self_contained(path)
        report = self.open(path)
        self.check_file(report, 0, 'race')
        self.open(path, (390, 844))
        page_fits = 'return document.documentElement.scrollWidth <= window.innerWidth'
        self.assertTrue(self.js(page_fits))
        table = self.js("return document.getElementById('lap-box').clientWidth")
        self.check_picker()
        self.check_picker()
        self.assertTrue(self.js(page_fits))
        self.assertEqual(self.js("return document.getElementById('lap-box').clientWidth"), table)
        self.assertTrue(self.js("var w = document.getElementById('charts').clientWidth;"
                                "return reportView.plots.every(u => Math.abs(u.width - w) <= 1)"))
        self.driver.save_screenshot(os.path.join(self.out, 'race-390x844.png'))
        self.open(path, (1920, 1080))
        self.driver.save_screenshot(os.path.join(self.out, 'race-1920x1080.png'))
        self.assert_no_console_errors()

    def test_corners(self):
        """A road course of five corners: the corner table, a click on a row zooms every chart to the
        corner and says so in reportState.xRange, the g-g diagram is drawn, the setup is shown."""
        report = self.open(self.write_report('roadcourse.html', self.roadcourse))
        corners = report['files'][0]['corners']
        self.assertEqual(len(corners), 5)
        self.assertEqual(self.each('table#corners tr[data-corner]', '+e.dataset.corner'), [c['number'] for c in corners])
        full = self.state()['xRange']
        self.assertEqual(full[0], 0)
        self.js("document.querySelector('table#corners tr[data-corner=\"3\"]').click()")
        zoomed = self.state()['xRange']
        self.assertLess(zoomed[0], corners[2]['startM'])
        self.assertGreater(zoomed[1], corners[2]['endM'])
        self.assertLess(zoomed[1] - zoomed[0], full[1] / 2)
        self.assertEqual(self.js('return reportView.plots.map(u => [u.scales.x.min, u.scales.x.max])')[0], zoomed)
        self.assertGreater(self.pixels('gg', 'r !== g || g !== b'), 100)  # coloured points, not only the grey rings
        self.assertIn('of the lap above 80 %', self.js("return document.getElementById('gg-legend').textContent"))
        self.assertIn('WingAngle', self.js("return document.getElementById('setup').textContent"))
        self.driver.save_screenshot(os.path.join(self.out, 'roadcourse-1280x800.png'))
        # Numbered by a library, the caption says since when and on which lap; a file's name stays text.
        origin_text = "return document.getElementById('corner-origin').textContent"
        self.assertEqual(self.js(origin_text), '')
        named = os.path.join(self.work, '<b>lap.ibt')
        shutil.copy(self.roadcourse, named)
        library = os.path.join(self.work, 'laps.db')
        self.assertEqual(run_cli('--library', library, '--add', named)[0], 0)
        report = self.open(self.write_report('roadcourse-library.html', '--library', library, named))
        origin = report['files'][0]['cornersFrom']
        self.assertEqual(self.js(origin_text), ' (numbered as in the library since %s: lap %d of <b>lap.ibt)'
                         % (origin['storedAt'][:10], origin['lapNumber']))
        self.assertEqual(self.js("return document.querySelectorAll('#corner-box b').length"), 0)
        self.assert_no_console_errors()

    def test_across_files(self):
        """Laps of two files on one track: the page opens on the file with more timed laps, a lap of
        the other file is drawn and can be the reference, and the old reference can be chosen again."""
        report = self.open(self.write_report('across.html', self.practice, self.race))
        race = next(i for i, f in enumerate(report['files']) if f['path'] == self.race)
        practice = 1 - race
        self.assertEqual(self.state()['file'], race)
        self.assertIsNotNone(self.state()['reference'])
        self.show_file(practice)
        self.check_contract(report['files'][practice])
        lap = next(l['lapNumber'] for l in report['files'][practice]['laps']
                   if l['validTime'] and [practice, l['lapNumber']] != self.state()['reference'])
        self.click(practice, lap, 'input.ref')
        self.show_file(race)
        state = self.state()
        self.assertEqual(state['file'], race)
        # The practice lap stays drawn, listed under the race's laps, and can still be the reference.
        self.assertIn([practice, lap], state['shown'])
        self.click(practice, lap, 'input.ref')
        self.assertEqual(self.state()['reference'], [practice, lap])
        self.assertIn(state['reference'], self.state()['shown'])
        self.click(*state['reference'], 'input.ref')
        self.assertEqual(self.state()['reference'], state['reference'])
        self.assertEqual(self.js('return reportView.plots.map(u => u.series.length)')[0], len(self.state()['shown']) + 1)
        # The practice lap is on the map too, in its colour: its point at the cursor shows beside the race's.
        self.move_to(0.5)
        self.assertGreater(self.map_pixels(practice, lap), 20)
        self.check_file(report, race, 'across')

    def test_real_recordings(self):
        if not os.path.isdir(args.data):
            self.skipTest('no real recordings at ' + args.data)
        path = self.write_report('recordings.html', args.data, expected_status=None)
        report = self.open(path)
        self.assertEqual(len(self.driver.find_elements('css selector', '#file option')), len(report['files']))
        for index, summary in enumerate(report['files']):
            with self.subTest(path=summary['path']):
                self.check_file(report, index, os.path.splitext(os.path.basename(summary['path']))[0])

    def test_failures(self):
        """A file that failed shows its errors, alone or beside a session."""
        for name, inputs in (('failures', (self.broken,)), ('mixed', (self.race, self.broken))):
            with self.subTest(report=name):
                report = self.open(self.write_report(name + '.html', *inputs, expected_status=1))
                self.assert_no_console_errors()
                failed = next(i for i, f in enumerate(report['files']) if f['error'])
                self.show_file(failed)
                errors = [m['text'] for m in report['files'][failed]['messages'] if m['verbose'] < 0]
                self.assertTrue(errors)
                self.assertEqual(self.each('#session .error', 'e.textContent'), errors)
                self.check_rows(report['files'][failed])
                if len(report['files']) > 1:
                    self.check_file(report, 1 - failed, name)


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument('--cli', required=True, help='the ibtimport binary')
    parser.add_argument('--scenario', required=True, help='the scenariofile binary')
    parser.add_argument('--out', required=True, help='where reports and screenshots go')
    parser.add_argument('--data', required=True, help='the folder of real recordings')
    args, rest = parser.parse_known_args()
    missing = missing_tools()
    if missing:
        print('SKIPPED: the browser test needs ' + ', '.join(missing) +
              ' (./scripts/setup-debian installs chromium, chromium-driver and python3-selenium)')
        return SKIPPED
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == '__main__':
    sys.exit(main())
