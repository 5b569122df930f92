// quorvex-page.js -- the page around the demo: ?frame=N, reduced motion, full screen, the line that says it ended or why it failed, message boxes
"use strict";

// The module's settings and the calls the C++ side makes into the page
// (Module.showMessageBox, demoEnded, contextLost, frameHeld, badFrameRequest,
// framesStarted).
var Module = (function () {
  const stage = document.getElementById("stage");
  const canvas = document.getElementById("canvas");
  const status = document.getElementById("status");
  const box = document.getElementById("box");
  const params = new URLSearchParams(location.search);
  const HELD_FOR_REDUCED_MOTION = 240;   // torus, panels and logo, no blur or fade
  // A visitor who asks for reduced motion gets one frame held, with a Play
  // button; ?play (what the button opens) and ?frame=N say what to do instead.
  const reduced = params.get("frame") === null && !params.has("play") &&
    window.matchMedia("(prefers-reduced-motion: reduce)").matches;
  const frame = reduced ? String(HELD_FOR_REDUCED_MOTION) : params.get("frame");
  const boxes = [];      // [caption, text] waiting for the dialog, oldest first
  let lastError = "";    // the program's last line on standard error
  let ended = false;
  if (reduced) {
    document.body.dataset.motion = "reduced";
  }

  // body's data-state says where the page is: loading, running, held, ended,
  // failed or refused.
  function setState(state, line) {
    document.body.dataset.state = state;
    status.textContent = line;
  }

  // Any failure while loading or starting ends in a sentence a visitor can act
  // on; what the runtime said goes to the console for developers.
  function fail(line, detail) {
    if (detail) {
      console.warn(String(detail));
    }
    if (document.body.dataset.state !== "failed") {
      setState("failed", line);
    }
  }
  const cannotStart = "Quorvex could not start: this browser could not load its WebAssembly. " +
    "Reload the page; if that does not help, unzip the download again or use an up-to-date browser.";
  // The runtime's own failures (a fetch refused, a module that does not
  // compile) reach the page as rejected promises nothing else handles.
  window.addEventListener("unhandledrejection", function (event) {
    event.preventDefault();
    if (document.body.dataset.state === "loading") {
      fail(cannotStart, event.reason);
    } else if (document.body.dataset.state === "running") {
      fail("Quorvex stopped unexpectedly. Reload the page to start it again.", event.reason);
    }
  });

  // The browser's first WebGL context starts its GPU side (a software
  // renderer's start alone takes hundreds of milliseconds), and the page would
  // wait for it inside one task. A worker makes a throwaway context first,
  // while the wasm compiles, so the wait falls on the worker's thread and the
  // demo's own context comes ready at once. Without workers or OffscreenCanvas
  // it starts as before.
  function warmUpGpu(done) {
    // The worker is left to idle, its context given back: ending a worker
    // whose thread held a context makes the page's thread wait for its teardown.
    const warmUp = "try { const gl = new OffscreenCanvas(1, 1).getContext('webgl2');" +
      " gl.getExtension('WEBGL_lose_context').loseContext(); } catch (e) {} postMessage(0);";
    let worker = null;
    let timer = 0;
    function finish() {
      clearTimeout(timer);
      if (done) {
        done();
        done = null;
      }
    }
    // The GPU side stays started for the tab's other pages: a reload (the
    // restart) or the next page in the tab needs no warm-up, and the worker's
    // own start would only hold it up.
    let warmBefore = false;
    try {
      warmBefore = sessionStorage.getItem("quorvex-gpu-warm") === "1";
      sessionStorage.setItem("quorvex-gpu-warm", "1");
    } catch (e) {
      // No storage (a browser's privacy setting): warm up each time.
    }
    if (warmBefore || typeof Worker !== "function" || typeof OffscreenCanvas !== "function") {
      return finish();
    }
    try {
      worker = new Worker(URL.createObjectURL(new Blob([warmUp], {type: "text/javascript"})));
    } catch (e) {
      return finish();
    }
    worker.onmessage = finish;
    worker.onerror = finish;
    // A worker that never answers does not hold the demo back.
    timer = setTimeout(finish, 5000);
  }
  let gpuWarm = false;
  let gpuWarmed = null;   // the runtime's go-ahead, once it waits for the warm-up
  warmUpGpu(function () {
    gpuWarm = true;
    if (gpuWarmed) {
      gpuWarmed();
    }
  });

  function restart() {
    location.reload();
  }

  function goFullScreen() {
    if (!document.fullscreenElement && stage.requestFullscreen) {
      stage.requestFullscreen().catch(function () {});
    }
  }

  // After the end the whole line is a button that starts it again; it takes
  // the focus, so Enter or Space presses it.
  function showEnded(line) {
    ended = true;
    setState("ended", "");
    const button = document.createElement("button");
    button.type = "button";
    button.textContent = line;
    button.addEventListener("click", restart);
    status.appendChild(button);
    button.focus();
  }

  // The dialog shows one box at a time, in the order the program raised them.
  function showNextBox() {
    if (box.open || boxes.length === 0) {
      return;
    }
    const [caption, text] = boxes.shift();
    document.getElementById("box-caption").textContent = caption;
    document.getElementById("box-text").textContent = text;
    box.showModal();
  }
  box.addEventListener("close", showNextBox);

  // Browsers allow full screen only on a gesture, so a click asks for it. Once
  // the demo has ended, a click starts it again from frame 1.
  canvas.addEventListener("click", function () {
    if (ended) {
      restart();
    } else {
      goFullScreen();
    }
  });
  document.getElementById("full-screen").addEventListener("click", goFullScreen);
  document.getElementById("play").addEventListener("click", function () {
    location.search = "?play";
  });

  return {
    canvas: canvas,
    arguments: frame === null ? [] : ["--frame", frame],
    // main() waits for the GPU's warm-up (see warmUpGpu).
    preRun: [function () {
      if (!gpuWarm) {
        Module.addRunDependency("gpu-warm-up");
        gpuWarmed = function () { Module.removeRunDependency("gpu-warm-up"); };
      }
    }],
    print: function (text) { console.log(text); },
    printErr: function (text) { lastError = text; console.warn(text); },
    framesStarted: function () {
      if (document.body.dataset.state === "loading") {
        setState("running", "");
        // Runs right after the demo's first frame step, which the main loop
        // has already asked the browser for: the first-frame time, for the checks.
        requestAnimationFrame(function () {
          Module.firstFrameMs = performance.now();
        });
      }
    },
    onAbort: function (what) {
      fail(document.body.dataset.state === "loading" ? cannotStart
        : "Quorvex stopped unexpectedly. Reload the page to start it again.", what);
    },
    loadFailed: function (address) {
      const file = address.slice(address.lastIndexOf("/") + 1);
      fail("Quorvex could not be loaded: its file " + file + " is missing or was refused. " +
        "Keep all of the download's files together in one folder and open quorvex.html from there.");
    },
    showMessageBox: function (caption, text) {
      boxes.push([caption, text]);
      showNextBox();
    },
    demoEnded: function (code) {
      if (code === 0) {
        showEnded("Quorvex has ended. Press Enter or click here to start it again.");
      } else {
        fail(lastError || "Quorvex could not start.");
      }
    },
    contextLost: function () {
      showEnded("The browser took the picture's WebGL context away. Press Enter or click here to start again.");
    },
    frameHeld: function (n) {
      setState("held", reduced ? "Held on one frame, as this system asks for reduced motion." : "");
      document.body.dataset.frame = String(n);
      if (reduced) {
        document.getElementById("hint-text").textContent = "";
        const play = document.getElementById("play");
        play.hidden = false;
        play.focus();
      }
    },
    badFrameRequest: function (text, max) {
      setState("refused", "?frame=" + text + " is not a frame number from 1 to " + max + ".");
    },
  };
})();
