"""Pages in a real browser for the tests: Debian's headless Chromium, its
WebGL drawn by SwiftShader on the processor, driven through chromedriver,
and the pictures the tests compare, read with Pillow. Every wait polls a
condition against a deadline."""
import os
import shutil
import subprocess
import tempfile
import time

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

DEADLINE = 20.0  # seconds to wait for any expected state of a page

CHROMIUM_FLAGS = [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--force-device-scale-factor=1', '--window-size=900,1400',
    # WebGL on SwiftShader: the software renderer that Chromium ships.
    '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
]


def start_chromium(user_data):
    """A new headless Chromium with an empty profile in user_data."""
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in CHROMIUM_FLAGS + ['--user-data-dir=' + user_data]:
        options.add_argument(flag)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL', 'performance': 'ALL'})
    return webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)


def wait_for(condition, what, deadline=DEADLINE):
    """condition() polled until it is true; an AssertionError naming what after the deadline."""
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.02)
    raise AssertionError('gave up waiting for ' + what)


def dataset(driver):
    """The page's state, as it publishes it on the body."""
    return driver.execute_script('return Object.assign({}, document.body.dataset);')


def run(binary, *args, folder=None):
    """A program run to its end; its status, standard output and error."""
    done = subprocess.run([binary, *args], cwd=folder, capture_output=True, text=True, timeout=120,
                          env={k: v for k, v in os.environ.items() if k != 'DISPLAY'})
    return done.returncode, done.stdout, done.stderr


def colour_of(pixel):
    """green, red, blue or white as the pictures draw them flat; None for black and for blends."""
    r, g, b = pixel[:3]
    if g > 200 and r < 60 and b < 60:
        return 'g'
    if r > 200 and g < 60 and b < 60:
        return 'r'
    if b > 200 and r < 60 and g < 60:
        return 'b'
    return None


def coloured_difference(a, b):
    """The share of coloured pixels (green, red or blue in either picture) that are not the same colour in
    both; and the number coloured."""
    if a.size != b.size:
        return 1.0, 0
    pa, pb = a.convert('RGB').load(), b.convert('RGB').load()
    coloured = differ = 0
    for y in range(a.size[1]):
        for x in range(a.size[0]):
            ca, cb = colour_of(pa[x, y]), colour_of(pb[x, y])
            if ca or cb:
                coloured += 1
                differ += ca != cb
    return (differ / coloured if coloured else 1.0), coloured


def canvas_picture(driver, path):
    """A screenshot of the page's canvas, as a picture."""
    driver.find_element('css selector', 'canvas').screenshot(path)
    return Image.open(path)


class Folder:
    """A temporary folder, removed at the end."""

    def __init__(self):
        self.path = tempfile.mkdtemp(prefix='mienscope-page-')

    def __call__(self, name):
        return os.path.join(self.path, name)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)
