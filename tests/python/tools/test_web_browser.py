"""The calculator in a real browser: Selenium drives Debian's Chromium through its
chromedriver (apt-get install chromium chromium-driver). Without them these tests
skip; scripts/test.sh names the missing packages, and fails with CI set.
Screenshots go to build/screenshots."""

import base64
import json
import os
import re
import subprocess
import sys
import time
from pathlib import Path

import pytest

CHROMIUM, DRIVER = Path("/usr/bin/chromium"), Path("/usr/bin/chromedriver")
if not (CHROMIUM.exists() and DRIVER.exists()):
    pytest.skip("needs Debian's chromium and chromium-driver", allow_module_level=True)
webdriver = pytest.importorskip("selenium.webdriver")
pytest.importorskip("uvicorn")

from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.select import Select  # noqa: E402

import flexura_tools as ft  # noqa: E402
from live_server import running  # noqa: E402

ROOT = Path(__file__).resolve().parents[3]
EXAMPLE = ROOT / "examples" / "three_span.json"
SHOTS = ROOT / "build" / "screenshots"


@pytest.fixture(scope="module")
def server():
    with running() as url:
        yield url


@pytest.fixture(scope="module")
def downloads(tmp_path_factory):
    return tmp_path_factory.mktemp("downloads")


@pytest.fixture(scope="module")
def browser(downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = str(CHROMIUM)
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1400,1150"):
        options.add_argument(argument)
    # The browser is not ours to sanitize: under the sanitizer run its preloaded
    # runtime aborts chromedriver, so the driver and browser start without it.
    clean = {key: value for key, value in os.environ.items() if key not in ("LD_PRELOAD", "ASAN_OPTIONS")}
    driver = webdriver.Chrome(options=options, service=webdriver.ChromeService(str(DRIVER), env=clean))
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
    SHOTS.mkdir(parents=True, exist_ok=True)
    yield driver
    driver.quit()


def settle(driver, seconds=20):
    """Wait until no edit is waiting for the server and no request is open."""
    deadline = time.monotonic() + seconds
    time.sleep(0.1)
    while driver.find_element(By.TAG_NAME, "body").get_attribute("data-busy") != "0":
        assert time.monotonic() < deadline, "the page stayed busy"
        time.sleep(0.05)


def field(driver, path):
    return driver.find_element(By.CSS_SELECTOR, f'[data-path="{path}"]')


def type_into(driver, path, text):
    box = field(driver, path)
    box.clear()
    box.send_keys(text)


def cli_tables():
    """The command's reaction rows and extreme rows, as their cells."""
    out = subprocess.run([sys.executable, "-m", "flexura_tools", str(EXAMPLE)], capture_output=True, text=True,
                         check=True).stdout
    reactions = [line.split() for line in out.split("Reactions")[1].split("Extremes")[0].splitlines()[2:] if line]
    extremes = [re.split(r"\s{2,}", line.strip()) for line in out.split("Extremes")[1].splitlines()[2:] if line]
    return reactions, extremes


def page_tables(driver):
    rows = {}
    for table in ("reactions", "extremes"):
        cells = driver.find_elements(By.CSS_SELECTOR, f"#{table} tbody tr")
        rows[table] = [[td.text for td in tr.find_elements(By.TAG_NAME, "td")] for tr in cells]
    return rows["reactions"], rows["extremes"]


def assert_same_as_command(driver):
    reactions, extremes = cli_tables()
    shown_reactions, shown_extremes = page_tables(driver)
    assert shown_reactions == reactions
    # The normal force is zero here: the page leaves its row out, the command prints it.
    assert shown_extremes == [row for row in extremes if not row[0].startswith("normal force")]


def build_three_span(driver):
    """The README's beam, typed into the editor field by field."""
    data = json.loads(EXAMPLE.read_text())
    for path, key in (("title", "title"), ("span", "span"), ("E", "E"), ("I", "I"), ("A", "A"), ("G", "G")):
        type_into(driver, path, repr(data[key]) if key != "title" else data[key])
    for selector in ("#supports .row > button", "#loads .row > button"):
        while driver.find_elements(By.CSS_SELECTOR, selector):
            driver.find_elements(By.CSS_SELECTOR, selector)[-1].click()
    for k, support in enumerate(data["supports"]):
        driver.find_element(By.ID, "add-support").click()
        Select(field(driver, f"supports[{k}].type")).select_by_value(support["type"])
        type_into(driver, f"supports[{k}].x", repr(support["x"]))
        type_into(driver, f"supports[{k}].label", support["label"])
    for k, load in enumerate(data["loads"]):
        driver.find_element(By.ID, "add-load").click()
        Select(field(driver, f"loads[{k}].type")).select_by_value(load["type"])
        for key, value in load.items():
            if key != "type":
                type_into(driver, f"loads[{k}].{key}", repr(value))
    settle(driver)


def test_typed_beam_shows_what_the_command_prints_and_follows_edits(browser, server):
    browser.get(server)
    settle(browser)
    build_three_span(browser)
    assert_same_as_command(browser)
    # The cursor on the shear diagram at the 45 kN load: both sides of the jump, exact.
    shear = browser.find_element(By.ID, "diagram-sf")
    scale = float(shear.get_attribute("width")) - 56 - 24
    ActionChains(browser).move_to_element_with_offset(shear, int(-shear.size["width"] / 2 + 56 + 9.75 / 19.5 * scale),
                                                      0).perform()
    settle(browser)
    readout = browser.find_element(By.ID, "readout").text
    assert "x = 9.75 m" in readout and "shear force 21.1369 | -23.8631 kN" in readout, readout
    browser.save_screenshot(str(SHOTS / "calculator.png"))
    # Drag the 45 kN load to the right: the largest moment moves with it.
    before = page_tables(browser)[1][1]
    load = browser.find_element(By.CSS_SELECTOR, '#sketch [data-drag="loads[1].x"] .grip')
    ActionChains(browser).click_and_hold(load).move_by_offset(60, 0).release().perform()
    settle(browser)
    moved = float(field(browser, "loads[1].x").get_attribute("value"))
    after = page_tables(browser)[1][1]
    assert moved > 10.2 and 9.75 < float(after[2]) <= moved and after[1] != before[1]
    # A load beyond the span: the message stands beside that field, the last results stay (dimmed).
    type_into(browser, "loads[1].x", "25")
    settle(browser)
    problem = browser.find_element(By.CSS_SELECTOR, "#loads .problem")
    assert problem.text == "25 is beyond the span 19.5"
    assert "invalid" in field(browser, "loads[1].x").get_attribute("class")
    assert "stale" in browser.find_element(By.ID, "results").get_attribute("class")
    browser.save_screenshot(str(SHOTS / "problem.png"))
    type_into(browser, "loads[1].x", "9.75")
    settle(browser)
    assert_same_as_command(browser)


def test_saved_file_opens_as_the_same_beam_and_a_link_holds_the_model(browser, server, downloads):
    browser.get(server + "/#model=" + base64.urlsafe_b64encode(EXAMPLE.read_bytes()).decode().rstrip("="))
    settle(browser)
    assert_same_as_command(browser)  # the shared link
    browser.find_element(By.ID, "save").click()
    saved = downloads / "Three-span_floor_beam_IPE_300_kN_m_deflections_in_mm.json"
    deadline = time.monotonic() + 10
    while not saved.exists() and time.monotonic() < deadline:
        time.sleep(0.1)
    assert ft.load(saved) == ft.load(EXAMPLE) and saved.read_text() == ft.to_json(ft.load(EXAMPLE))
    browser.get(server)  # a fresh page, then open the saved file
    settle(browser)
    browser.find_element(By.ID, "open-file").send_keys(str(saved))
    settle(browser)
    assert_same_as_command(browser)
    browser.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
    browser.save_screenshot(str(SHOTS / "print.png"))
    browser.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": ""})


def test_workflows_tab_shows_the_envelopes(browser, server):
    girder = json.loads(ft.to_json(ft.Beam(
        title="Three-span girder 20 + 25 + 20 m (kN, m)", span=65, E=3.6e7, I=2.9, A=6.1,
        unit_names={"length": "m", "force": "kN", "moment": "kNm"},
        supports=[ft.Support.pin(0, "A"), ft.Support.roller(20, "B"), ft.Support.roller(45, "C"),
                  ft.Support.roller(65, "D")],
        cases={"G": [ft.UniformLoad(w=-180)], "Q": [ft.UniformLoad(w=-27)]},
        combinations=[ft.Combination(name="ULS", factors={"G": 1.35, "Q": 1.5}),
                      ft.Combination(name="SLS", factors={"G": 1.0, "Q": 1.0})])))
    encoded = base64.urlsafe_b64encode(json.dumps(girder).encode()).decode().rstrip("=")
    browser.get(f"{server}/#model={encoded}")
    settle(browser)
    browser.find_element(By.ID, "tab-flows").click()
    type_into(browser, "query.step", "0.1")
    settle(browser, 60)
    combined = browser.find_elements(By.CSS_SELECTOR, "#combination-results table")[0].text
    assert "-14560.2 20 ULS" in combined, combined  # the README's hogging moment and who governs
    vehicle = browser.find_elements(By.CSS_SELECTOR, "#vehicle-results table")[0].text
    assert "3075.9" in vehicle and "axles at 33.6, 32.4" in vehicle, vehicle
    # The influence lines at x = 32.5: the largest ordinate marked, the cursor at the
    # section reading the exact ordinates, both sides of the shear's jump.
    beam = ft.from_dict(girder)
    for quantity, words in (("bm", "4.21196 kNm per kN"), ("sf", "-0.5 | 0.5 kN per kN (the load just left | just right of the section)")):
        Select(browser.find_element(By.ID, "il-quantity")).select_by_value(quantity)
        type_into(browser, "query.at", "32.5")
        settle(browser, 60)
        box = browser.find_element(By.ID, "influence-results")
        line = ft.influence_line(beam, quantity, 32.5)
        assert f"max {max(line.value):.6g} at" in box.text and f"min {min(line.value):.6g} at" in box.text, box.text
        drawn = browser.find_element(By.ID, "influence-line")
        scale = float(drawn.get_attribute("width")) - 56 - 24
        ActionChains(browser).move_to_element_with_offset(
            drawn, int(-drawn.size["width"] / 2 + 56 + 32.5 / 65 * scale), 0).perform()
        settle(browser)
        readout = browser.find_element(By.ID, "influence-readout").text
        assert readout == f"unit load at x = 32.5 m: {words}", readout
    browser.save_screenshot(str(SHOTS / "workflows.png"))
