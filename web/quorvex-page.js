// quorvex-page.js -- the page around the demo: ?frame=N, full screen on a click, the line that says it ended, message boxes
"use strict";

// The module's settings and the calls the C++ side makes into the page
// (Module.showMessageBox, demoEnded, contextLost, frameHeld, badFrameRequest).
var Module = (function () {
  const stage = document.getElementById("stage");
  const canvas = document.getElementById("canvas");
  const status = document.getElementById("status");
  const box = document.getElementById("box");
  const frame = new URLSearchParams(location.search).get("frame");
  const boxes = [];      // [caption, text] waiting for the dialog, oldest first
  let lastError = "";    // the program's last line on standard error
  let ended = false;

  // body's data-state says where the page is: loading, running, held, ended,
  // failed or refused.
  function setState(state, line) {
    document.body.dataset.state = state;
    status.textContent = line;
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
      location.reload();
    } else if (!document.fullscreenElement && stage.requestFullscreen) {
      stage.requestFullscreen().catch(function () {});
    }
  });

  return {
    canvas: canvas,
    arguments: frame === null ? [] : ["--frame", frame],
    print: function (text) { console.log(text); },
    printErr: function (text) { lastError = text; console.warn(text); },
    postRun: function () {
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
      setState("failed", "Quorvex stopped: " + what);
    },
    loadFailed: function (address) {
      setState("failed", "Quorvex could not be loaded: " + address + " did not arrive.");
    },
    showMessageBox: function (caption, text) {
      boxes.push([caption, text]);
      showNextBox();
    },
    demoEnded: function (code) {
      if (code === 0) {
        ended = true;
        setState("ended", "Quorvex has ended. Click the picture to start it again.");
      } else {
        setState("failed", lastError || "Quorvex could not start.");
      }
    },
    contextLost: function () {
      ended = true;
      setState("ended", "The browser took the picture's WebGL context away. Click the picture to start again.");
    },
    frameHeld: function (n) {
      setState("held", "");
      document.body.dataset.frame = String(n);
    },
    badFrameRequest: function (text, max) {
      setState("refused", "?frame=" + text + " is not a frame number from 1 to " + max + ".");
    },
  };
})();
