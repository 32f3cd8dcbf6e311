"""mienscope-report in a real browser: pages that load from disk with
nothing from outside, whose numbers are mienscope-compare's, whose stills
are the renderer's pictures, and which print on at most two A4 pages.

    MIENSCOPE_REPORT=... MIENSCOPE_COMPARE=... MIENSCOPE_RENDER=... MAKE_FACE_DATA=... SOURCE_DIR=. \\
        python3 tests/test_report.py
"""
import base64
import csv
import datetime
import os
import re
import subprocess
import unittest

from PIL import Image
from selenium.webdriver.common.print_page_options import PrintOptions

from browser import Folder, colour_of, coloured_difference, dataset, run, start_chromium, wait_for

REPORT = os.environ['MIENSCOPE_REPORT']
COMPARE = os.environ['MIENSCOPE_COMPARE']
RENDER = os.environ['MIENSCOPE_RENDER']
MAKE_FACE_DATA = os.environ['MAKE_FACE_DATA']
SOURCE = os.environ['SOURCE_DIR']
FACE_SET = os.path.join(SOURCE, 'examples', 'face24.set')
OPTIONS = ['--markers', FACE_SET, '--smooth', '6', '--duration', '3']


class ReportPages(unittest.TestCase):
    """A report written in setUpClass into the folder's report/, and a browser to open its pages."""

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.folder.remove()

    def open(self, page):
        self.driver.get('about:blank')
        self.driver.get('file://' + self.folder(os.path.join('report', page)))
        wait_for(lambda: self.driver.execute_script('return document.readyState') == 'complete', page)


class Report(ReportPages):
    @classmethod
    def setUpClass(cls):
        cls.folder = Folder()
        study = cls.folder('study')
        os.makedirs(os.path.join(study, 'controls'))
        os.makedirs(os.path.join(study, 'patients'))
        table = os.path.join(study, 'study.csv')
        for args in (['--group', '4', '--table', table, '--as', 'controls', os.path.join(study, 'controls')],
                     ['--group', '2', '--weak-side', 'right', '--weak', '0.5', '--table', table, '--as',
                      'patients:before', os.path.join(study, 'patients')]):
            assert run(MAKE_FACE_DATA, *args)[0] == 0
        cls.table = table
        status, _, err = run(REPORT, *OPTIONS, '--norm', 'controls', '--out', cls.folder('report'), table)
        assert status == 0, err
        status, _, err = run(COMPARE, *OPTIONS, '--norm', 'controls', '--out', cls.folder('compare'), table)
        assert status == 0, err
        cls.driver = start_chromium(cls.folder('profile'))

    def references(self):
        """Every reference the page makes, but to data inside it."""
        return self.driver.execute_script('''
            const found = [];
            for (const e of document.querySelectorAll('*'))
                for (const a of ['src', 'href', 'srcset', 'data', 'action'])
                    if (e.hasAttribute(a) && !e.getAttribute(a).startsWith('data:'))
                        found.push(e.getAttribute(a));
            for (const sheet of document.styleSheets)
                for (const rule of sheet.cssRules)
                    if (rule.cssText.includes('url('))
                        found.push(rule.cssText);
            return found.concat(performance.getEntriesByType('resource').map(r => r.name));''')

    def table_rows(self, selector):
        return self.driver.execute_script('''
            return Array.from(document.querySelectorAll(arguments[0] + ' tr')).slice(1)
                .map(tr => Array.from(tr.children).map(td => td.textContent));''', selector)

    def assertShownAs(self, shown, kept, places):
        """A number the page rounds for its reader: the CSV files keep four decimals, the page `places`,
        so the page's figure is the CSV's within half its last digit (and the CSV's own rounding)."""
        if kept == '':
            self.assertEqual(shown, '')
            return
        self.assertRegex(shown, r'^-?\d+\.\d{%d}$' % places)
        self.assertLessEqual(abs(float(shown) - float(kept)), 0.5 * 10 ** -places + 0.00005, (shown, kept))

    def test_pages_load_alone_with_compares_numbers(self):
        names = ['subject01', 'subject02', 'subject03', 'subject04', 'patient01', 'patient02']
        self.open('index.html')
        self.assertEqual(self.references(), [n + '.html' for n in names], 'the index links every page, and only them')
        with open(self.folder('compare/pairs.csv')) as table:
            pairs = list(csv.DictReader(table))
        with open(self.folder('compare/norm.csv')) as table:
            norm = {(r['file'], r['name']): r for r in csv.DictReader(table) if r['measure'] == 'asymmetry_pct'}
        self.assertTrue(any(r['outside'] == 'yes' for r in norm.values()), 'some asymmetry is marked')
        for name in names:
            self.open(name + '.html')
            self.assertTrue(all(r in ('index.html',) for r in self.references()), self.references())
            wait_for(lambda: dataset(self.driver).get('frame') == '0', 'the view paused at its rest frame')
            self.assertEqual(dataset(self.driver)['playing'], 'false')
            file = ('controls/' if name.startswith('subject') else 'patients/') + name + '.dat'
            rows = self.table_rows('table.pairs')
            expected = [p for p in pairs if p['file'] == file]
            self.assertEqual(len(rows), len(expected), name)
            for row, want in zip(rows, expected):
                left, right, left_peak, right_peak, difference, ratio, asymmetry, direction, lag, lag_s, z, outside = row
                self.assertEqual((left, right, lag), (want['left'], want['right'], want['lag_frames']))
                for shown, kept, places in ((left_peak, want['left_peak_mm'], 1), (right_peak, want['right_peak_mm'], 1),
                                            (difference, want['difference_mm'], 1), (ratio, want['ratio'], 2),
                                            (direction, want['direction_cos'], 2), (lag_s, want['lag_s'], 2)):
                    self.assertShownAs(shown, kept, places)
                score = norm.get((file, left + '/' + right))
                if score is None:
                    self.assertShownAs(asymmetry, want['asymmetry_pct'], 1)
                    self.assertEqual((z, outside), ('', ''), 'the group\'s own')
                    continue
                marked = asymmetry.endswith('\u00a0!')
                self.assertEqual(marked, score['outside'] == 'yes', (name, left, asymmetry))
                self.assertShownAs(asymmetry.removesuffix('\u00a0!'), want['asymmetry_pct'], 1)
                self.assertShownAs(z, score['z'], 2)
                self.assertEqual(outside, score['outside'])
            self.assertIn(datetime.date.today().isoformat(), self.driver.find_element('css selector', '.facts').text)

    def test_stills_are_the_renderers_pictures(self):
        self.open('patient01.html')
        peak = int(re.search(r'frame (\d+)', self.driver.find_element('css selector', 'img.peak').get_attribute('alt'))
                   .group(1))
        marker_file = os.path.join(os.path.dirname(self.table), 'patients', 'patient01.dat')
        pictures = {}
        for name, frame in (('rest', 0), ('peak', peak)):
            png = self.folder(name + '.png')
            status, _, err = run(RENDER, '--force', '--size', '400x640', '--frame', str(frame), '--markers', FACE_SET,
                                 marker_file, png)
            self.assertEqual(status, 0, err)
            pictures[name] = Image.open(png).convert('RGB')
            shot = self.folder(name + '-shot.png')
            self.driver.find_element('css selector', 'img.' + name).screenshot(shot)
            difference, coloured = coloured_difference(Image.open(shot), pictures[name])
            self.assertGreater(coloured, 1000, name)
            self.assertLessEqual(difference, 0.03, name)
        # Overlaid: green where the rest is, red where the peak is.
        shot = self.folder('both-shot.png')
        self.driver.find_element('css selector', 'img.both').screenshot(shot)
        both = Image.open(shot).convert('RGB').load()
        rest, at_peak = pictures['rest'].load(), pictures['peak'].load()
        counts = {'g': [0, 0], 'r': [0, 0]}
        for y in range(640):
            for x in range(400):
                c = colour_of(both[x, y])
                if c in counts:
                    counts[c][0] += 1
                    counts[c][1] += colour_of((rest if c == 'g' else at_peak)[x, y]) == 'g'
        for c, (all_of, placed) in counts.items():
            self.assertGreater(all_of, 200, c)
            self.assertGreaterEqual(placed / all_of, 0.97, c)

    def test_pages_print_on_two_a4_pages(self):
        options = PrintOptions()
        options.page_width, options.page_height, options.background = 21.0, 29.7, True
        for name in ('patient01', 'subject03'):
            self.open(name + '.html')
            pdf = self.folder(name + '.pdf')
            with open(pdf, 'wb') as out:
                out.write(base64.b64decode(self.driver.print_page(options)))
            info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True).stdout
            pages = int(re.search(r'Pages:\s+(\d+)', info).group(1))
            self.assertEqual(pages, 2, name)
            self.assertIn('595.92 x 841.92 pts (A4)', info)
            first = subprocess.run(['pdftotext', '-f', '1', '-l', '1', '-layout', pdf, '-'], capture_output=True,
                                   text=True).stdout
            for text in ('The recording', 'The movement', 'Left and right', 'LMouth', "Every marker's measures"):
                self.assertIn(text, first, name)
            second = subprocess.run(['pdftotext', '-f', '2', '-l', '2', '-layout', pdf, '-'], capture_output=True,
                                    text=True).stdout
            self.assertIn('Over time', second, 'the plots begin a page of their own')
            self.assertNotIn('Over time', first)
            subprocess.run(['pdftoppm', '-r', '150', '-f', '1', '-l', '1', '-png', pdf, self.folder(name + '-page')],
                           check=True)
            page = Image.open(self.folder(name + '-page-1.png')).convert('RGB')
            colours = [colour_of(p) for p in page.getdata()]
            self.assertGreater(colours.count('g'), 200, 'the stills are on the first page')
            self.assertGreater(colours.count('r'), 20, 'the overlaid peak too')
            self.assertNotIn('mienscope-canvas', first)


    def plot_curves(self):
        """Each pair's two curves in the page's plot, in the order drawn: the heights (in the picture's units)
        of the left's and the right's longest runs of points (a key's sample is a run of two); and whether
        every normal band stays above its panel's 0 mm, the first point of the panel's left curve (the rest
        frame; the picture's y grows down)."""
        shapes = self.driver.execute_script('''
            return Array.from(document.querySelectorAll('.plot svg path, .plot svg polygon'))
                .map(p => [p.tagName, (p.getAttribute('stroke') || '').replace(/ /g, ''),
                           p.getAttribute('d') || p.getAttribute('points') || '']);''')

        def longest_run(d):
            runs = [[float(y) for y in re.findall(r',(-?[\d.]+)', run)] for run in d.split('M')]
            return max(runs, key=len)
        left, right, band_lowest, bands_above = [], [], [], True
        for tag, stroke, d in shapes:
            if tag == 'polygon':
                band_lowest += [float(y) for y in re.findall(r',(-?[\d.]+)', d)]
            elif stroke in ('rgb(31,79,208)', 'rgb(194,80,10)'):
                run = longest_run(d)
                (left if stroke == 'rgb(31,79,208)' else right).append(max(run) - min(run))
                if stroke == 'rgb(31,79,208)':
                    bands_above = bands_above and all(y <= run[0] + 0.01 for y in band_lowest)
                    band_lowest = []
        return left, right, bands_above

    def test_each_page_plots_its_own_two_sides(self):
        """In every pair's panel the left curve rises as far above the right as the recording's own left peak
        is above its right: the controls' sides alike, the weak-sided patients' left twice the right; the
        normal range's bands stop at 0 mm; the axis is in seconds, every recording being timed."""
        with open(self.folder('compare/pairs.csv')) as table:
            pairs = list(csv.DictReader(table))
        ratios = set()
        for name in ('subject01', 'subject02', 'subject03', 'subject04', 'patient01', 'patient02'):
            self.open(name + '.html')
            file = ('controls/' if name.startswith('subject') else 'patients/') + name + '.dat'
            expected = [p for p in pairs if p['file'] == file]
            left, right, bands_above = self.plot_curves()
            self.assertEqual((len(left), len(right)), (len(expected), len(expected)), name)
            self.assertTrue(bands_above, name + ': the normal bands stop at 0 mm')
            axes = self.driver.execute_script(
                "return Array.from(document.querySelectorAll('.plot svg text')).map(t => t.textContent);")
            self.assertEqual(axes.count('s'), len(expected), 'every recording timed: each panel in seconds')
            self.assertNotIn('frame', axes)
            for want, up, across in zip(expected, left, right):
                peaks = float(want['left_peak_mm']), float(want['right_peak_mm'])
                if min(peaks) < 1.0:
                    continue
                self.assertAlmostEqual(up / across, peaks[0] / peaks[1], delta=0.01 * peaks[0] / peaks[1],
                                       msg=(name, want['left']))
                ratios.add(round(peaks[0] / peaks[1], 1))
        self.assertGreater(max(ratios), 1.8, 'some pair of a weak-sided patient')

    def test_index_counts_each_recordings_own_measures(self):
        """The index's count outside the normal range is its row's: compare's norm.csv rows of that file
        marked outside, each measure once (its form in seconds is its frame form again)."""
        with open(self.folder('compare/norm.csv')) as table:
            norm = list(csv.DictReader(table))
        self.open('index.html')
        rows = self.table_rows('table.index')
        self.assertEqual(len(rows), 6)
        counts = []
        for row in rows:
            name, group, count = row[0], row[1], row[-1]
            file = group + '/' + name + '.dat'
            if group == 'controls':
                self.assertEqual(count, '', 'the normal group itself is not scored')
                continue
            expected = sum(1 for r in norm if r['file'] == file and r['outside'] == 'yes'
                           and r['measure'] not in ('onset_s', 'peak_speed_mm_per_s', 'lag_s'))
            self.assertEqual(count, str(expected), name)
            counts.append(expected)
        self.assertTrue(all(c > 0 for c in counts), counts)

    def test_index_names_pages_apart_and_ranks_pairs_that_move(self):
        """A recording named index.* gets the page index-2.html, the index keeping its own name; a pair whose
        larger side moves under 1 mm is not the largest asymmetry, however lopsided."""
        folder = self.folder('index-name')
        os.makedirs(folder)
        with open(os.path.join(self.folder('study'), 'controls', 'subject01.dat')) as source:
            rows = [line.split() for line in source]
        rest = {m: [float(v) for v in rows[m]] for m in (0, 5)}
        for f in range(180):
            rows[f * 24 + 0] = ['%.2f' % v for v in rest[0]]  # RBrowOut still
            lift = 0.5 * min(1.0, max(0.0, (f - 40) / 30))  # LBrowOut up half a millimetre
            rows[f * 24 + 5] = ['%.2f' % v for v in (rest[5][0], rest[5][1] + lift, rest[5][2])]
        with open(os.path.join(folder, 'index.dat'), 'w') as out:
            out.writelines(' '.join(r) + '\n' for r in rows)
        status, _, err = run(REPORT, *OPTIONS, '--out', os.path.join(folder, 'out'), os.path.join(folder, 'index.dat'))
        self.assertEqual(status, 0, err)
        self.assertEqual(sorted(os.listdir(os.path.join(folder, 'out'))), ['index-2.html', 'index.html'])
        self.driver.get('file://' + os.path.join(folder, 'out', 'index.html'))
        wait_for(lambda: self.driver.execute_script('return document.readyState') == 'complete', 'the index')
        self.assertEqual(self.references(), ['index-2.html'])
        page = self.table_rows('table.index')[0]
        self.driver.get('file://' + os.path.join(folder, 'out', 'index-2.html'))
        wait_for(lambda: self.driver.execute_script('return document.readyState') == 'complete', 'the page')
        pairs = self.table_rows('table.pairs')
        brows = [p for p in pairs if (p[0], p[1]) == ('LBrowOut', 'RBrowOut')]
        self.assertEqual(len(brows), 1)
        self.assertEqual((brows[0][2], brows[0][3], brows[0][6]), ('0.5', '0.0', '100.0'))
        moving = [p for p in pairs if max(float(p[2]), float(p[3])) >= 1.0]
        largest = max(moving, key=lambda p: float(p[6]))
        self.assertEqual((page[5], page[6]), (largest[0] + '/' + largest[1], largest[6]))

    def test_no_input_is_written_over(self):
        """A recording whose page would have its own name is never replaced, with --force or without."""
        folder = self.folder('own')
        os.makedirs(folder)
        marker_file = os.path.join(self.folder('study'), 'patients', 'patient01.dat')
        recording = os.path.join(folder, 'patient01.html')
        with open(marker_file) as source, open(recording, 'w') as copy:
            copy.write(source.read())
        status, _, err = run(REPORT, *OPTIONS, '--force', '--out', folder, recording)
        self.assertEqual(status, 1)
        self.assertEqual(err, recording + ': is the recording being read; choose another name\n')
        with open(marker_file) as source, open(recording) as kept:
            self.assertEqual(kept.read(), source.read())
        self.assertEqual(sorted(os.listdir(folder)), ['patient01.html'])


SMILE_DEMO = os.path.join(SOURCE, '..', 'shared', 'testdata', 'openface', 'smile_demo.csv')


def closing_left_eye(closed):
    """An OpenFace table of 180 rows 1/30 s apart, every one smile_demo.csv's first face but for the left
    eye's upper lid (points 43 and 44), which closes onto the lower (47 and 46) by `closed` at row 90 and
    opens again: its eye closure is 100 x closed %, the right eye's 0."""
    with open(SMILE_DEMO) as table:
        rows = list(csv.reader(table, skipinitialspace=True))
    header, first = rows[0], rows[1]
    column = {name: i for i, name in enumerate(header)}
    lines = [', '.join(header)]
    for frame in range(180):
        row = list(first)
        closing = closed * (1 - abs(frame - 90) / 90)
        for upper, lower in ((43, 47), (44, 46)):
            for axis in 'XYZ':
                top, bottom = float(first[column[f'{axis}_{upper}']]), float(first[column[f'{axis}_{lower}']])
                row[column[f'{axis}_{upper}']] = '%.9f' % (top + closing * (bottom - top))
        row[column['frame']], row[column['timestamp']] = str(frame + 1), '%.6f' % (frame / 30)
        lines.append(', '.join(row))
    return '\n'.join(lines) + '\n'


@unittest.skipUnless(os.path.exists(SMILE_DEMO), 'no ../shared/testdata/openface/smile_demo.csv beside the checkout')
class ExamPage(ReportPages):
    """An exam of OpenFace tables whose eye closures are known by construction: three controls closing the
    left eye tightly by 80, 90 and 100 % (mean 90, sd 10), a patient by 20 % and, puckering, by 40 %."""

    @classmethod
    def setUpClass(cls):
        cls.folder = Folder()
        exam = cls.folder('exam')
        os.makedirs(exam)
        rows = ['file,group,subject,expression']
        for name, group, subject, expression, closed in (
                ('c1t', 'controls', 'c1', 'eyes_tight', 0.8), ('c2t', 'controls', 'c2', 'Eyes_Tight', 0.9),
                ('c3t', 'controls', 'c3', 'eyes_tight', 1.0), ('pt', 'patients', 'p 1', 'eyes_tight', 0.2),
                ('pp', 'patients', 'p 1', 'pucker', 0.4)):
            with open(os.path.join(exam, name + '.csv'), 'w') as table:
                table.write(closing_left_eye(closed))
            rows.append(','.join((name + '.csv', group, subject, expression)))
        with open(os.path.join(exam, 'exam.csv'), 'w') as table:
            table.write('\n'.join(rows) + '\n')
        status, _, err = run(REPORT, '--norm', 'controls', '--out', cls.folder('report'),
                             os.path.join(exam, 'exam.csv'))
        assert status == 0, err
        cls.driver = start_chromium(cls.folder('profile'))

    def test_a_subjects_grading_page(self):
        self.open('index.html')
        links = self.driver.execute_script(
            'return Array.from(document.querySelectorAll("section.exams a")).map(a => a.getAttribute("href"))')
        self.assertEqual(links, ['c1-exam.html', 'c2-exam.html', 'c3-exam.html', 'p_1-exam.html'])
        self.open('p_1-exam.html')
        rows = self.driver.execute_script(
            'return Array.from(document.querySelectorAll("table.exam tr")).slice(1)'
            '.map(tr => Array.from(tr.children).map(td => td.textContent));')
        expressions = ['rest', 'brow', 'eyes_gentle', 'eyes_tight', 'smile', 'teeth', 'pucker']
        self.assertEqual([row[0] for row in rows if row[0] in expressions], expressions)
        self.assertEqual([row[0] for row in rows if row[1:] == ['not recorded']],
                         ['rest', 'brow', 'eyes_gentle', 'smile', 'teeth'])
        tight = [row for row in rows if row[0] == 'eyes_tight'][0]
        self.assertEqual(tight[1:], ['Eye closure (%)', '0.0', '20.0', '0', '', '-7.00', ''],
                         'z of L: (20 - 90) / 10; the right eye and the score do not vary among the controls')
        pucker = [row for row in rows if row[0] == 'pucker'][0]
        self.assertEqual(rows[rows.index(pucker) + 1][:4], ['Ocular synkinesis: eye closure (%)', '0.0', '40.0', '0'])
        summary = self.driver.execute_script(
            'return Array.from(document.querySelectorAll("dl.summary dd")).map(d => d.firstChild.textContent.trim())')
        self.assertEqual(summary[0], '0', 'the only movement scored, the tight closure: 0 against 20')
        self.assertEqual(summary[1], '40.0 %', 'the largest closure in pucker')
        self.assertIn('not a validated clinical grade', self.driver.page_source)

    def test_the_grading_page_prints_on_at_most_two_a4_pages(self):
        options = PrintOptions()
        options.page_width, options.page_height, options.background = 21.0, 29.7, True
        self.open('p_1-exam.html')
        pdf = self.folder('exam.pdf')
        with open(pdf, 'wb') as out:
            out.write(base64.b64decode(self.driver.print_page(options)))
        info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True).stdout
        self.assertLessEqual(int(re.search(r'Pages:\s+(\d+)', info).group(1)), 2)
        text = subprocess.run(['pdftotext', '-layout', pdf, '-'], capture_output=True, text=True).stdout
        for words in ('Exam of p 1', 'Movement score', 'eyes_tight', 'pucker', 'not recorded'):
            self.assertIn(words, text)


if __name__ == '__main__':
    unittest.main(verbosity=2)
