#!/usr/bin/env python3
"""The web console in a real browser: Debian's chromium, headless, driven by
selenium through chromedriver, against `korvaserver serve` of a repository in
a temporary home on 127.0.0.1, into which korvapush published the example
(examples/publish.xml and examples/reports) with one more user, "outsider",
who holds NoAccess on the top-level folders.

  console_browser_test.py CASE TOOLS SOURCE WORK

CASE is one of the functions named case_* below (without the prefix); TOOLS
holds korvaserver and korvapush; WORK is made anew and keeps the server's
log, the downloads and CASE.png, the screenshot of the page the case ended
on. Exits 0 when the case passes, 1 with the reason when it does not, 77
when the browser or its driver is missing.
"""

import os
import re
import shutil
import subprocess
import sys

APS = "korva-console"
PASSWORD = "Pw-console-7Rk"
OUTSIDER = "Pw-outsider-3Jd"
TIMEOUT = 30  # seconds a page or a download may take on a loaded machine

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support import expected_conditions
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("python3-selenium is not installed")
    sys.exit(77)


class Console:
    """The served repository and a browser on its console."""

    def __init__(self, tools, source, work):
        self.work = work
        self.home = os.path.join(work, "home")
        self.downloads = os.path.join(work, "downloads")
        os.makedirs(self.home)
        os.makedirs(self.downloads)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("KORVA_")}
        self.env["KORVA_SERVER_HOME"] = self.home
        korvaserver = os.path.join(tools, "korvaserver")
        self.run([korvaserver, "init", "-apsname", APS, "-password", PASSWORD])
        # The example's publish instructions with the outsider among its users.
        with open(os.path.join(source, "examples", "publish.xml"), encoding="utf-8") as f:
            xml = f.read()
        xml = xml.replace('<users right="View">', '<users right="View">\n    <user name="outsider" '
                          'pass="%s" right="NoAccess"/>' % OUTSIDER, 1)
        publish = os.path.join(work, "publish.xml")
        with open(publish, "w", encoding="utf-8") as f:
            f.write(xml)
        self.run([os.path.join(tools, "korvapush"), "-apsname", APS, "-apspass", PASSWORD,
                  "-srcfile", publish, "-srcpath", os.path.join(source, "examples", "reports")])
        self.log = open(os.path.join(work, "server.log"), "w")
        self.server = subprocess.Popen(
            [korvaserver, "serve", "-apsname", APS, "-listen", "127.0.0.1:0"], env=self.env,
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=self.log, text=True)
        self.base = None
        for line in self.server.stdout:
            if line.startswith("Serving APS "):
                self.base = "https://" + line.split(" on ", 1)[1].strip()
                break
        if not self.base:
            raise AssertionError("korvaserver serve did not start; see server.log")
        self.browser = browser(self.downloads)

    def run(self, command):
        done = subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, check=False)
        if done.returncode != 0:
            raise AssertionError("%s failed (%d):\n%s%s" % (
                " ".join(command), done.returncode, done.stdout, done.stderr))

    def close(self, name):
        try:
            self.browser.save_screenshot(os.path.join(self.work, name + ".png"))
        finally:
            self.browser.quit()
            self.server.terminate()
            self.server.wait()
            self.log.close()

    def open(self, path):
        self.browser.get(self.base + path)

    def sign_in(self, user, password):
        self.open("/")
        self.browser.find_element(By.ID, "user").send_keys(user)
        self.browser.find_element(By.ID, "password").send_keys(password)
        self.follow(self.browser.find_element(By.ID, "signin"))

    def follow(self, element):
        """Clicks a link or button and waits for the page it leads to: a click
        returns before the next page has loaded."""
        element.click()
        WebDriverWait(self.browser, TIMEOUT).until(expected_conditions.staleness_of(element))

    def texts(self, selector):
        return [e.text for e in self.browser.find_elements(By.CSS_SELECTOR, selector)]


def browser(downloads):
    for program in ("/usr/bin/chromium", "/usr/bin/chromedriver"):
        if not os.access(program, os.X_OK):
            print(program + " is not installed")
            sys.exit(77)
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    # The server's certificate is self-signed; the sandbox needs a user
    # other than root.
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--ignore-certificate-errors", "--window-size=1100,760"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                              "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Page.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": downloads})
    return driver


def tree(console):
    """The tree as "folder/.../title" lines, in page order."""
    lines = []

    def walk(ul, path):
        for li in ul.find_elements(By.XPATH, "./li"):
            name = li.find_element(By.CSS_SELECTOR, ".name").text
            lines.append(path + name)
            below = li.find_elements(By.XPATH, "./details/ul")
            if below:
                walk(below[0], path + name + "/")

    walk(console.browser.find_element(By.CSS_SELECTOR, "#tree > ul"), "")
    return lines


def case_tree(console, source):
    console.sign_in("Administrator", PASSWORD)
    signed = console.browser.find_element(By.ID, "signed-in").text
    assert signed == "Signed in as Administrator", signed
    got = tree(console)
    expected = ["Finance", "Finance/Archive", "Finance/Archive/First Quarter Summary",
                "Finance/First Quarter Summary", "HR", "HR/staff"]
    assert sorted(got) == expected, got
    # Folders close and open in place.
    finance = console.browser.find_element(By.CSS_SELECTOR, "#tree > ul > li details")
    console.browser.find_element(By.ID, "close-all").click()
    assert finance.get_attribute("open") is None
    console.browser.find_element(By.ID, "open-all").click()
    assert finance.get_attribute("open") == "true"


def case_download(console, source):
    console.sign_in("Administrator", PASSWORD)
    console.follow(console.browser.find_element(By.LINK_TEXT, "staff"))
    name = console.browser.find_element(By.ID, "file-name").text
    assert name == "staff.rpt", name
    console.browser.find_element(By.ID, "download").click()
    path = os.path.join(console.downloads, name)
    WebDriverWait(console.browser, TIMEOUT).until(lambda _: os.path.exists(path))
    with open(path, "rb") as got, open(os.path.join(source, "examples", "reports", "HR",
                                                    "staff.rpt"), "rb") as published:
        assert got.read() == published.read(), "the download differs from the published file"


def case_wrong_password(console, source):
    console.open("/history")  # no page without a session
    assert console.browser.current_url == console.base + "/signin", console.browser.current_url
    console.sign_in("Administrator", "wrong")
    refusal = console.browser.find_element(By.ID, "refusal").text
    assert refusal == 'Logon refused: the password of user "Administrator" is wrong.', refusal
    assert console.browser.get_cookies() == [], console.browser.get_cookies()


def case_no_right(console, source):
    console.sign_in("outsider", OUTSIDER)
    signed = console.browser.find_element(By.ID, "signed-in").text
    assert signed == "Signed in as outsider", signed
    page = console.browser.find_element(By.TAG_NAME, "main").text
    assert "Finance" not in page, page
    console.open("/history")
    page = console.browser.find_element(By.TAG_NAME, "main").text
    assert "Finance" not in page and "First Quarter Summary" not in page, page


def case_history(console, source):
    console.sign_in("Administrator", PASSWORD)
    console.follow(console.browser.find_element(By.LINK_TEXT, "History"))
    users = set(console.texts("#history td.user"))
    assert users == {"Administrator"}, users
    rows = [" ".join(t) for t in zip(console.texts("#history td.action"),
                                     console.texts("#history td.object"))]
    stripped = [re.sub(r" \(\d+\)$", "", r) for r in rows]
    for change in ("added User outsider", "added User sales1", "added User audit1",
                   "added Folder Finance", "added Folder Archive", "added Folder HR",
                   "added Report staff", "right set Folder Finance", "right set Folder HR"):
        assert change in stripped, (change, stripped)
    assert stripped.count("added Report First Quarter Summary") == 2, stripped
    # Newest first: the folders came after the users they grant rights to.
    assert stripped.index("added Folder Finance") < stripped.index("added User sales1"), stripped


def main():
    if len(sys.argv) != 5 or "case_" + sys.argv[1] not in globals():
        print(__doc__)
        return 2
    case, tools, source, work = sys.argv[1:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    console = Console(tools, source, work)
    try:
        globals()["case_" + case](console, source)
    except AssertionError as e:
        print("FAILED: %s" % (e,))
        return 1
    finally:
        console.close(case)
    print("passed; screenshot %s" % os.path.join(work, case + ".png"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
