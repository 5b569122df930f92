# page_bench.py -- the page's start-up and frame rate in Debian's chromium, measured, never asserted
#
#   python3 bench/page_bench.py trace PAGE_DIR [RENDERER]
#       loads the page in a fresh profile with the DevTools trace on and prints
#       the renderer's longest main-thread tasks, each with its longest parts
#       (script evaluation, wasm compile, the demo's start-up, its frames), and
#       the first-frame time cold (fresh profile) and warm (the same page again).
#   python3 bench/page_bench.py fps NATIVE_BUILD_DIR|- SECONDS ROUNDS PAGE_DIR...
#       the native build's median frame rate on Mesa's llvmpipe (Xvfb) beside
#       each page's, on the same Mesa (Chromium through ANGLE's GL backend over
#       EGL) and on SwiftShader, in rounds that take turns, so that the shared
#       machine's swings in load fall on all alike. The title's "[N FPS]" is
#       what is read, in both; the first title, start-up's second, is left out.
#
# RENDERER is swiftshader (the default) or mesa. Uses tools/web_checks.py's
# browser driver; the page is served from 127.0.0.1.
import os
import re
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import web_checks  # noqa: E402

FPS_TITLE = web_checks.FPS_TITLE
TITLE_TEXT = web_checks.TITLE_TEXT
RENDERER_FLAGS = {"swiftshader": web_checks.SWIFTSHADER, "mesa": web_checks.MESA}


def browser_for(renderer, extra=()):
    return web_checks.Browser(extra_flags=list(extra), renderer_flags=RENDERER_FLAGS[renderer])


renderer_name = web_checks.renderer_name


def read_trace(browser):
    """Every trace event, after Tracing.end."""
    browser.socket.send(web_checks.json.dumps({"id": 0, "method": "Tracing.end", "params": {}}))
    events = []
    while True:
        message = web_checks.json.loads(browser.socket.recv())
        if message.get("method") == "Tracing.dataCollected":
            events.extend(message["params"]["value"])
        elif message.get("method") == "Tracing.tracingComplete":
            return events


def long_tasks(events, count=3):
    """The renderer main thread's longest tasks, each with its longest named parts."""
    main = {(e["pid"], e["tid"]) for e in events
            if e.get("name") == "thread_name" and e["args"].get("name") == "CrRendererMain"}
    complete = [e for e in events if e.get("ph") == "X" and (e["pid"], e["tid"]) in main and "dur" in e]
    task_names = ("RunTask", "ThreadControllerImpl::RunTask")
    tasks = sorted((e for e in complete if e["name"] == task_names[1]), key=lambda e: -e["dur"])[:count]
    found = []
    for task in tasks:
        inside = [e for e in complete if e is not task and task["ts"] <= e["ts"] and
                  e["ts"] + e["dur"] <= task["ts"] + task["dur"] and e["dur"] >= 2000 and
                  e["name"] not in task_names]
        parts = sorted(inside, key=lambda e: -e["dur"])[:12]
        found.append((task["dur"] / 1000, [(p["name"], p["dur"] / 1000, (p.get("args", {}).get("data") or {}).get(
            "functionName", "")) for p in parts]))
    return found


def first_frame(browser, url):
    browser.open(url)
    return browser.wait_for("Module.firstFrameMs", 30)


def trace(page_dir, renderer):
    server = web_checks.serve(page_dir)
    url = "http://127.0.0.1:%d/quorvex.html" % server.server_address[1]
    browser = browser_for(renderer)
    try:
        print("renderer: %s" % renderer_name(browser))
        browser.call("Tracing.start", transferMode="ReportEvents", traceConfig={"includedCategories": [
            "devtools.timeline", "v8", "v8.wasm", "disabled-by-default-devtools.timeline", "toplevel", "gpu"]})
        cold = first_frame(browser, url)
        time.sleep(1.0)
        tasks = long_tasks(read_trace(browser))
        warm = first_frame(browser, url)
    finally:
        browser.close()
        server.shutdown()
    print("first frame: %.0f ms after navigation start in a fresh profile, %.0f ms with the files cached" % (
        cold or -1, warm or -1))
    for duration, parts in tasks:
        print("task %.1f ms:" % duration)
        for name, ms, function in parts:
            print("    %7.1f ms  %s %s" % (ms, name, function))


def page_rates(page_dir, renderer, seconds):
    """The renderer's name and the page's frame-rate titles over `seconds`, the first left out."""
    server = web_checks.serve(page_dir)
    browser = browser_for(renderer)
    try:
        name = renderer_name(browser)
        browser.open("http://127.0.0.1:%d/quorvex.html" % server.server_address[1])
        browser.wait_for("Module.firstFrameMs", 30)
        browser.evaluate(web_checks.WATCH_TITLE)
        time.sleep(seconds)
        titles = [entry[1] for entry in browser.evaluate("window.titleLog")]
    finally:
        browser.close()
        server.shutdown()
    return name, [int(FPS_TITLE.match(t).group(1)) for t in titles if FPS_TITLE.match(t)][1:]


def native_rates(build_dir, seconds):
    """The native demo's frame-rate titles on Xvfb (Mesa's llvmpipe), every one that xprop sees set."""
    display = ":%d" % (90 + os.getpid() % 100)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ, DISPLAY=display, LIBGL_ALWAYS_SOFTWARE="1", GALLIUM_DRIVER="llvmpipe")
    env.pop("WAYLAND_DISPLAY", None)
    demo = None
    try:
        time.sleep(1.0)
        demo = subprocess.Popen([os.path.join(build_dir, "quorvex")], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window = subprocess.run(["xdotool", "search", "--sync", "--name", "Quorvex"], env=env,
                                capture_output=True, text=True, timeout=30).stdout.split()[0]
        spy = subprocess.run(["timeout", str(seconds), "xprop", "-spy", "-id", window, "WM_NAME"], env=env,
                             capture_output=True, text=True).stdout
    finally:
        for process in (demo, xvfb):
            if process:
                process.terminate()
                process.wait()
    return [int(n) for n in re.findall(r"\[(\d+) FPS\]", spy)][1:]


def fps(page_dirs, build_dir, seconds, rounds):
    """Rounds of the native build, then each page on each renderer, one after the other, so that a
    change in the machine's load falls on all of them alike."""
    rates = {}
    for _ in range(rounds):
        if build_dir:
            rates.setdefault("native (llvmpipe, Xvfb)", []).extend(native_rates(build_dir, seconds))
        for page_dir in page_dirs:
            for renderer in ("mesa", "swiftshader"):
                name, found = page_rates(page_dir, renderer, seconds)
                rates.setdefault("page %s on %s (%s)" % (page_dir, renderer, name), []).extend(found)
    native = statistics.median(rates.pop("native (llvmpipe, Xvfb)", [])) if build_dir else 0
    if native:
        print("native (llvmpipe, Xvfb): median %s fps" % native)
    for subject, found in rates.items():
        median = statistics.median(found) if found else 0
        print("%s: median %s fps of %d titles%s" % (subject, median, len(found),
                                                   ", %.2f of native" % (median / native) if native else ""))


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "trace":
        trace(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else "swiftshader")
    elif len(sys.argv) >= 4 and sys.argv[1] == "fps":
        # fps NATIVE_BUILD_DIR (or -) SECONDS ROUNDS PAGE_DIR...
        fps(sys.argv[5:], None if sys.argv[2] == "-" else sys.argv[2], float(sys.argv[3]), int(sys.argv[4]))
    else:
        sys.exit("usage: page_bench.py trace PAGE_DIR [swiftshader|mesa] | "
                 "fps NATIVE_BUILD_DIR|- SECONDS ROUNDS PAGE_DIR...")
