# page_bench.py -- the page's start-up and frame rate in Debian's chromium, measured, never asserted
#
#   python3 bench/page_bench.py trace PAGE_DIR [RENDERER]
#       loads the page in a fresh profile with the DevTools trace on and prints
#       the renderer's longest main-thread tasks, each with its longest parts
#       (script evaluation, wasm compile, the demo's start-up, its frames), and
#       the first-frame time cold (fresh profile) and warm (the same page again).
#   python3 bench/page_bench.py fps PAGE_DIR NATIVE_BUILD_DIR [SECONDS]
#       the page's and the native build's median frame rate side by side on each
#       renderer: Chromium's SwiftShader against the native build on llvmpipe,
#       and Chromium on Mesa (ANGLE's GL backend over EGL) against the native
#       build on the same Mesa. The title's "[N FPS]" is what is read, in both.
#
# RENDERER is swiftshader (the default) or mesa. Uses tools/web_checks.py's
# browser driver; the page is served from 127.0.0.1.
import os
import re
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import web_checks  # noqa: E402

FPS_TITLE = web_checks.FPS_TITLE
TITLE_TEXT = web_checks.TITLE_TEXT
RENDERER_FLAGS = {
    "swiftshader": ["--use-angle=swiftshader", "--enable-unsafe-swiftshader"],
    "mesa": ["--use-angle=gl-egl", "--ignore-gpu-blocklist", "--enable-gpu"],
}


def browser_for(renderer, extra=()):
    return web_checks.Browser(extra_flags=list(extra), renderer_flags=RENDERER_FLAGS[renderer])


def renderer_name(browser):
    return browser.evaluate("""(() => { const gl = document.createElement('canvas').getContext('webgl2');
        if (!gl) return 'no WebGL 2'; const i = gl.getExtension('WEBGL_debug_renderer_info');
        return gl.getParameter(i ? i.UNMASKED_RENDERER_WEBGL : gl.RENDERER); })()""")


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
    server = web_checks.serve(page_dir)
    browser = browser_for(renderer)
    try:
        name = renderer_name(browser)
        browser.open("http://127.0.0.1:%d/quorvex.html" % server.server_address[1])
        rates, last, deadline = [], None, time.time() + seconds
        while time.time() < deadline:
            title = browser.evaluate(TITLE_TEXT)
            if title != last and FPS_TITLE.match(title):
                rates.append(int(FPS_TITLE.match(title).group(1)))
                last = title
            time.sleep(0.05)
    finally:
        browser.close()
        server.shutdown()
    return name, rates[1:]   # the first second includes start-up


def native_rates(build_dir, renderer, seconds):
    """The native demo's titles on Xvfb, read with xprop, on Mesa's llvmpipe."""
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
        rates, last, deadline = [], None, time.time() + seconds + 1
        while time.time() < deadline:
            out = subprocess.run(["xdotool", "search", "--name", "FPS", "getwindowname"], env=env,
                                 capture_output=True, text=True).stdout.strip().splitlines()
            match = FPS_TITLE.match(out[0]) if out else None
            if match and out[0] != last:
                rates.append(int(match.group(1)))
                last = out[0]
            time.sleep(0.05)
    finally:
        for process in (demo, xvfb):
            if process:
                process.terminate()
                process.wait()
    return rates[1:]


def fps(page_dir, build_dir, seconds):
    native = native_rates(build_dir, "mesa", seconds)
    print("native (llvmpipe, Xvfb): median %s fps of %s" % (
        statistics.median(native) if native else "-", native))
    for renderer in ("mesa", "swiftshader"):
        name, rates = page_rates(page_dir, renderer, seconds)
        median = statistics.median(rates) if rates else 0
        ratio = median / statistics.median(native) if native and rates else 0
        print("page (%s: %s): median %s fps of %s, %.2f of native" % (renderer, name, median, rates, ratio))


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "trace":
        trace(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else "swiftshader")
    elif len(sys.argv) >= 4 and sys.argv[1] == "fps":
        fps(sys.argv[2], sys.argv[3], float(sys.argv[4]) if len(sys.argv) > 4 else 10.0)
    else:
        sys.exit(__doc__ if False else "usage: page_bench.py trace PAGE_DIR [swiftshader|mesa] | fps PAGE_DIR NATIVE_BUILD_DIR [SECONDS]")
