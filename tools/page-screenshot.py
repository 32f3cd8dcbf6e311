"""A screenshot of a page in headless Chromium, after the page has drawn
its view, or the page printed to PDF on A4: for the README.

    python3 tools/page-screenshot.py PAGE.html[#FRAGMENT] WIDTHxHEIGHT OUTPUT.png
    python3 tools/page-screenshot.py --print PAGE.html OUTPUT.pdf
"""
import base64
import os
import sys

from selenium.webdriver.common.print_page_options import PrintOptions

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests'))
from browser import Folder, start_chromium, wait_for  # noqa: E402


def address(page):
    path, _, fragment = page.partition('#')
    return 'file://' + os.path.abspath(path) + ('#' + fragment if fragment else '')


def main():
    printing = sys.argv[1] == '--print'
    page, output = (sys.argv[2], sys.argv[3]) if printing else (sys.argv[1], sys.argv[3])
    folder = Folder()
    driver = start_chromium(folder('profile'))
    try:
        if not printing:
            width, height = (int(n) for n in sys.argv[2].split('x'))
            driver.set_window_size(width, height)
        driver.get(address(page))
        wait_for(lambda: driver.execute_script('return document.body.dataset.frame'), 'the page to draw')
        if printing:
            options = PrintOptions()
            options.page_width, options.page_height, options.background = 21.0, 29.7, True
            with open(output, 'wb') as pdf:
                pdf.write(base64.b64decode(driver.print_page(options)))
        else:
            driver.save_screenshot(output)
    finally:
        driver.quit()
        folder.remove()


main()
