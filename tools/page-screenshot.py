"""A screenshot of a page in headless Chromium, the whole window, after the
page has drawn its view: for the README.

    python3 tools/page-screenshot.py PAGE.html[#FRAGMENT] WIDTHxHEIGHT OUTPUT.png
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests'))
from browser import Folder, start_chromium, wait_for  # noqa: E402


def main():
    page, size, output = sys.argv[1:4]
    width, height = (int(n) for n in size.split('x'))
    folder = Folder()
    driver = start_chromium(folder('profile'))
    try:
        driver.set_window_size(width, height)
        driver.get('file://' + os.path.abspath(page.split('#')[0]) + ('#' + page.split('#', 1)[1] if '#' in page else ''))
        wait_for(lambda: driver.execute_script('return document.body.dataset.frame'), 'the page to draw')
        driver.save_screenshot(output)
    finally:
        driver.quit()
        folder.remove()


main()
