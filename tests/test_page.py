"""mienscope-render's web page in a real browser: its picture against the
renderer's PNG of the same state, its keys, mouse and slider, the address
that keeps the view, and a file that needs nothing outside itself.

    MIENSCOPE_RENDER=build/mienscope-render SOURCE_DIR=. python3 tests/test_page.py
"""
import os
import time
import unittest

import numpy
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

from browser import Folder, canvas_picture, coloured_difference, dataset, run, start_chromium, wait_for

RENDER = os.environ['MIENSCOPE_RENDER']
SOURCE = os.environ['SOURCE_DIR']
TESTDATA = os.path.join(SOURCE, '..', 'shared', 'testdata')
ALLOWED = 0.03  # share of coloured pixels that may differ from the renderer's


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = Folder()
        cls.driver = start_chromium(cls.folder('profile'))

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.folder.remove()

    def render(self, name, *args):
        """mienscope-render run in the repository (for face-data/), OUTPUT in the test's folder."""
        status, _, err = run(RENDER, '--force', *args, self.folder(name), folder=SOURCE)
        self.assertEqual(status, 0, err)
        return self.folder(name)

    def open(self, path, fragment=''):
        """A fresh load of the page, and its first picture drawn."""
        self.driver.get('about:blank')
        self.driver.get('file://' + path + fragment)
        return wait_for(lambda: dataset(self.driver).get('frame') is not None and dataset(self.driver), 'the page')

    def keys(self, *keys):
        ActionChains(self.driver).send_keys(*keys).perform()

    def assert_like_render(self, picture_name, *render_args):
        png = self.render(picture_name + '.png', *render_args)
        from PIL import Image
        difference, coloured = coloured_difference(canvas_picture(self.driver, self.folder(picture_name + '-page.png')),
                                                   Image.open(png))
        self.assertGreater(coloured, 5000, 'the picture is drawn')
        self.assertLessEqual(difference, ALLOWED, picture_name)

    def test_pictures_are_the_renderers(self):
        page = self.render('exhibit1.html')
        self.open(page)
        self.assert_like_render('start', '--frame', '0')
        self.open(page, '#frame=179')
        self.assertEqual(dataset(self.driver)['frame'], '179')
        self.assert_like_render('end', '--frame', '179')
        self.open(page, '#frame=90&turn-x=-10&turn-y=-30&distance=5.5&faces=both')
        state = dataset(self.driver)
        self.assertEqual((state['frame'], state['turnX'], state['turnY'], state['distance'], state['faces']),
                         ('90', '-10', '-30', '5.5', 'both'))
        self.assert_like_render('turned', '--frame', '90', '--turn-x', '-10', '--turn-y', '-30', '--distance', '5.5')

    def test_keys_turn_move_and_play_as_the_viewer(self):
        page = self.render('files.html', '--duration', '6', 'face-data/sm1.dat', 'face-data/sm2.dat')
        self.open(page)
        self.keys(*[Keys.ARROW_LEFT] * 10, *[Keys.ARROW_UP] * 5, *['<'] * 5)
        distance = numpy.float32(5.0)
        for _ in range(5):
            distance = numpy.float32(float(distance) * 1.1)  # a float each time, as the viewer keeps it
        wait_for(lambda: dataset(self.driver)['distance'] == repr(float(distance)), 'the distance after 5 presses of <')
        state = dataset(self.driver)
        self.assertEqual((state['turnY'], state['turnX']), ('-20', '-10'))
        self.assert_like_render('keys', '--faces', 'both', '--duration', '6', '--turn-y', '-20', '--turn-x', '-10',
                                '--distance', repr(float(distance)), 'face-data/sm1.dat', 'face-data/sm2.dat')

        # c plays both faces at 179 frames in 6 s.
        self.keys('c')
        wait_for(lambda: dataset(self.driver)['playing'] == 'true', 'playing')
        samples = []
        wait_for(lambda: samples.append((time.monotonic(), int(dataset(self.driver)['frame']))) or samples[-1][1] >= 120,
                 'frame 120')
        (t0, f0), (t1, f1) = samples[0], samples[-1]
        pace = (f1 - f0) / (t1 - t0)
        self.assertAlmostEqual(pace, 179 / 6, delta=0.1 * 179 / 6)
        self.assertEqual(dataset(self.driver)['faces'], 'both')

        # Space pauses and resumes; '.' steps one frame; End and Home.
        self.keys(' ')
        wait_for(lambda: dataset(self.driver)['playing'] == 'false', 'a pause')
        paused = dataset(self.driver)['frame']
        start = time.monotonic()
        wait_for(lambda: time.monotonic() - start > 0.5, 'half a second')
        self.assertEqual(dataset(self.driver)['frame'], paused, 'the frame holds while paused')
        self.keys(' ')
        wait_for(lambda: int(dataset(self.driver)['frame']) > int(paused), 'playing on')
        self.keys(' ')
        wait_for(lambda: dataset(self.driver)['playing'] == 'false', 'a second pause')
        held = int(dataset(self.driver)['frame'])
        self.keys('.')
        wait_for(lambda: int(dataset(self.driver)['frame']) != held, 'a step')
        self.assertEqual(int(dataset(self.driver)['frame']), held + 1)
        self.keys(',', ',')
        wait_for(lambda: int(dataset(self.driver)['frame']) == held - 1, 'two steps back')
        self.keys(Keys.END)
        wait_for(lambda: dataset(self.driver)['frame'] == '179', 'End')
        self.assertIn('frame=179', self.driver.execute_script('return location.hash'))
        self.keys(Keys.HOME)
        wait_for(lambda: dataset(self.driver)['frame'] == '0', 'Home')
        self.assertEqual(self.driver.find_element('css selector', '.mienscope-status').text,
                         'sm1.dat, sm2.dat - frame 0, 0.00 s')

    def test_dragging_the_slider_and_the_address(self):
        page = self.render('drag.html', '--duration', '6', 'face-data/sm1.dat', 'face-data/sm2.dat')
        self.open(page)
        canvas = self.driver.find_element('css selector', 'canvas')
        ActionChains(self.driver).move_to_element(canvas).click_and_hold().move_by_offset(40, 0).move_by_offset(0, 20) \
            .release().perform()
        wait_for(lambda: dataset(self.driver)['turnX'] == '5', 'dragging down 20 pixels: 5 degrees about x')
        self.assertEqual(dataset(self.driver)['turnY'], '10', 'dragging right 40 pixels: 10 degrees about y')

        slider = self.driver.find_element('css selector', '.mienscope-slider')
        ActionChains(self.driver).move_to_element_with_offset(slider, 0, 0).click().perform()
        wait_for(lambda: abs(int(dataset(self.driver)['frame']) - 90) <= 3, 'the slider at its middle')
        frame = dataset(self.driver)['frame']
        self.keys(Keys.ARROW_RIGHT)
        wait_for(lambda: dataset(self.driver)['turnY'] == '12', 'Right, with the slider focused')
        self.assertEqual(dataset(self.driver)['frame'], frame, 'the slider does not take the arrows')
        wait_for(lambda: self.driver.execute_script('return location.hash') ==
                 '#frame=' + frame + '&turn-x=5&turn-y=12&distance=5&faces=both', 'the address following the view')
        self.assertEqual(self.driver.find_element('css selector', '.mienscope-status').text,
                         'sm1.dat, sm2.dat - frame %s, %.2f s' % (frame, int(frame) * 6 / 179))

    def test_frames_written_and_the_start(self):
        page = self.render('part.html', '--frames', '30:60', '--turn-y', '8')
        state = self.open(page)
        self.assertEqual((state['frame'], state['turnY'], state['faces']), ('30', '8', 'both'))
        state = self.open(page, '#frame=100&faces=second')
        self.assertEqual((state['frame'], state['faces']), ('60', 'second'), 'a frame outside is held to the last')
        self.keys(Keys.END)
        self.keys('a')
        wait_for(lambda: dataset(self.driver)['frame'] == '60' and dataset(self.driver)['playing'] == 'false',
                 'a play to the last frame written')
        self.assertEqual(dataset(self.driver)['faces'], 'first')

    def test_the_farthest_markers_stay_where_they_are(self):
        """Half the markers at the face's largest coordinate, the other half at its negative, two columns
        across the picture (a marker file's third coordinate): the page's 16-bit positions must hold the
        largest itself, not wrap it round to the other column."""
        far = self.folder('far.dat')
        with open(far, 'w') as out:
            for _ in range(180):
                for m in range(24):
                    out.write('%d %d %d\n' % ((m % 3) * 5, (m % 12) * 8 - 44, 60 if m < 12 else -60))
        page = self.render('far.html', far)
        self.open(page)
        self.assert_like_render('far', '--frame', '0', far)

    def test_slider_space_and_time_with_part_of_the_frames(self):
        """The frame the slider is set to is the frame shown; Space at the last frame plays again from the
        first written; the time under the picture is the frame's own, from the recording's first frame."""
        page = self.render('later.html', '--frames', '60:120', '--duration', '60', 'face-data/sm1.dat')
        self.open(page)
        status = lambda: self.driver.find_element('css selector', '.mienscope-status').text
        self.assertEqual(status(), 'sm1.dat - frame 60, %.2f s' % (60 * 60 / 179))
        self.driver.execute_script("""
            const slider = document.querySelector('.mienscope-slider');
            slider.value = 100;
            slider.dispatchEvent(new Event('input'));""")
        wait_for(lambda: dataset(self.driver)['frame'] == '100', 'frame 100 from the slider')
        self.assertEqual(self.driver.find_element('css selector', '.mienscope-slider').get_attribute('value'), '100')
        self.assertEqual(status(), 'sm1.dat - frame 100, %.2f s' % (100 * 60 / 179))
        self.assert_like_render('slider', '--frame', '100', '--duration', '60', 'face-data/sm1.dat')

        self.keys(Keys.END)
        wait_for(lambda: dataset(self.driver)['frame'] == '120', 'End')
        self.keys(' ')
        wait_for(lambda: dataset(self.driver)['playing'] == 'true' and int(dataset(self.driver)['frame']) < 120,
                 'Space at the last frame playing again from the first')
        self.assertGreaterEqual(int(dataset(self.driver)['frame']), 60)
        self.keys(' ')
        wait_for(lambda: dataset(self.driver)['playing'] == 'false', 'a pause')

    def test_the_page_needs_nothing_outside_it(self):
        page = self.render('two.html', 'face-data/sm1.dat', 'face-data/sm2.dat')
        self.assertLess(os.path.getsize(page), 307200)
        self.open(page)
        references = self.driver.execute_script('''
            const found = [];
            for (const e of document.querySelectorAll('*'))
                for (const a of ['src', 'href', 'srcset', 'data', 'action'])
                    if (e.hasAttribute(a) && !e.getAttribute(a).startsWith('#'))
                        found.push(e.tagName + ' ' + a + '=' + e.getAttribute(a));
            for (const sheet of document.styleSheets)
                for (const rule of sheet.cssRules)
                    if (rule.cssText.includes('url('))
                        found.push(rule.cssText);
            for (const e of document.querySelectorAll('[style]'))
                if (e.getAttribute('style').includes('url('))
                    found.push(e.getAttribute('style'));
            return found.concat(performance.getEntriesByType('resource').map(r => r.name));''')
        self.assertEqual(references, [])
        recording = os.path.join(TESTDATA, 'openface', 'smile_demo.csv')
        if not os.path.exists(recording):
            self.skipTest('no %s: the shared test recordings are not beside this checkout' % recording)
        page = self.render('smile.html', '--to', '5.9', recording)
        self.open(page)
        self.assertEqual(self.driver.find_element('css selector', '.mienscope-status').text,
                         'smile_demo.csv - frame 0, 0.00 s')
        self.assert_like_render('smile', '--to', '5.9', recording)


if __name__ == '__main__':
    unittest.main(verbosity=2)
