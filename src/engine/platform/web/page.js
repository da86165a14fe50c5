// The browser side of the web platform (linked with --js-library): what the
// program asks of the page, the browser and the in-memory file system. The
// page (packaging/web) defines the Module hooks used here; each use checks
// that its hook is there, so the program also runs in a bare page.
mergeInto(LibraryManager.library, {
  mnemora_page_width: function() {
    return Math.max(1, Math.round(window.innerWidth * (window.devicePixelRatio || 1)));
  },

  mnemora_page_height: function() {
    return Math.max(1, Math.round(window.innerHeight * (window.devicePixelRatio || 1)));
  },

  // One canvas pixel on each device pixel: the CSS size is the pixel size over
  // the ratio (a phone at ratio 3 draws 1170 x 2532 pixels in 390 x 844).
  mnemora_place_canvas: function(width, height) {
    var canvas = Module['canvas'];
    if (!canvas || !canvas.style) return;
    var ratio = window.devicePixelRatio || 1;
    canvas.style.width = (width / ratio) + 'px';
    canvas.style.height = (height / ratio) + 'px';
  },

  // A resize counts once the size has held for a quarter of a second: dragging
  // a window's edge or turning a phone sends many, and each would reopen the
  // display.
  mnemora_take_resize: function() {
    var r = Module['mnemoraResize'];
    if (!r || !r.pending || performance.now() - r.at < 250) return 0;
    r.pending = false;
    return 1;
  },

  mnemora_first_frame: function() {
    if (Module['mnemoraFirstFrame']) Module['mnemoraFirstFrame']();
  },

  mnemora_show_error: function(title, text) {
    if (!Module['mnemoraShowError']) return 0;
    Module['mnemoraFatalShown'] = true;
    Module['mnemoraShowError'](UTF8ToString(title), UTF8ToString(text));
    return 1;
  },

  mnemora_warn: function(title, text) {
    console.warn(UTF8ToString(title) + ': ' + UTF8ToString(text));
  },

  // A file made for the player goes to the browser's downloads; the copy in
  // the save folder is removed (the browser keeps the download).
  mnemora_hand_over: function(pathText, mimeText) {
    var path = UTF8ToString(pathText);
    try {
      var bytes = FS.readFile(path);
      var name = path.substring(path.lastIndexOf('/') + 1);
      if (Module['mnemoraDownload']) Module['mnemoraDownload'](name, bytes, UTF8ToString(mimeText));
      FS.unlink(path);
    } catch (e) {
      console.warn('Mnemora: ' + path + ' could not be offered: ' + e);
    }
  },

  mnemora_browser_text: function(which) {
    var text = '';
    if (which === 0) {
      var list = navigator.languages && navigator.languages.length ? navigator.languages
                                                                  : [navigator.language];
      text = String(list[0] || '').replace('-', '_');
    } else if (which === 1) {
      text = navigator.userAgent || '';
    }
    return allocateUTF8(text);
  },

  mnemora_browser_figure: function(which) {
    if (which === 0) return navigator.hardwareConcurrency || 1;
    if (which === 1) return (navigator.deviceMemory || 0) * 1073741824;
    if (which === 2) return HEAP8.length;
    if (which === 3) return window.devicePixelRatio || 1;
    return 0;
  },

  // Set once at start: the resize watch, sound after the player's first
  // gesture (browsers keep audio silent until then), the log mirrored to the
  // console with "/LOG".
  // SDL's audio and timer code call emscripten's helpers named here.
  mnemora_watch_page__deps: ['$autoResumeAudioContext', '$dynCall', '$callUserCallback'],
  mnemora_watch_page: function() {
    // An fsync in the save folder waits (through ASYNCIFY) for IndexedDB, and
    // the program then goes on inside IndexedDB's callback, where an exit that
    // follows (quitting right after the last save) would surface as an
    // uncaught error. The callback is moved to a timer the runtime watches.
    if (typeof IDBFS !== 'undefined' && !IDBFS.mnemoraWrapped) {
      var syncfs = IDBFS.syncfs;
      IDBFS.syncfs = function(mount, populate, callback) {
        syncfs.call(IDBFS, mount, populate, function(error) {
          setTimeout(function() {
            callUserCallback(function() { callback(error); });
          }, 0);
        });
      };
      IDBFS.mnemoraWrapped = true;
    }

    var resize = Module['mnemoraResize'] = {pending: false, at: 0};
    var changed = function() {
      resize.pending = true;
      resize.at = performance.now();
    };
    window.addEventListener('resize', changed);
    window.addEventListener('orientationchange', changed);
    // A change of pixel ratio alone (zoom, a window dragged to another screen).
    var watchRatio = function() {
      if (!window.matchMedia) return;
      var query = window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
      if (!query.addEventListener) return;
      query.addEventListener('change', function() {
        changed();
        watchRatio();
      }, {once: true});
    };
    watchRatio();

    var resume = function() {
      var sdl = Module['SDL2'];
      if (sdl && sdl.audioContext && sdl.audioContext.state === 'suspended') {
        sdl.audioContext.resume();
      }
    };
    ['pointerdown', 'touchend', 'keydown'].forEach(function(type) {
      window.addEventListener(type, resume, true);
    });

    // The newest "Log *.log" under /save: the game's report, as it grows.
    var newestLog = function() {
      var best = null;
      var walk = function(folder) {
        var names;
        try { names = FS.readdir(folder); } catch (e) { return; }
        names.forEach(function(name) {
          if (name === '.' || name === '..') return;
          var path = folder + '/' + name;
          var stat;
          try { stat = FS.stat(path); } catch (e) { return; }
          if (FS.isDir(stat.mode)) {
            walk(path);
          } else if (/^Log .*\.log$/.test(name) && (!best || stat.mtime >= best.mtime)) {
            best = {path: path, name: name, mtime: stat.mtime};
          }
        });
      };
      walk('/save');
      return best;
    };
    var shown = {path: null, length: 0};
    var mirror = function() {
      var log = newestLog();
      if (!log) return;
      var text;
      try { text = FS.readFile(log.path, {encoding: 'utf8'}); } catch (e) { return; }
      if (log.path !== shown.path) shown = {path: log.path, length: 0};
      var lines = text.substring(shown.length);
      var end = lines.lastIndexOf('\n');
      if (end < 0) return;
      shown.length += end + 1;
      lines.substring(0, end).split(/\r?\n/).forEach(function(line) { console.log(line); });
    };
    Module['mnemoraMirrorLog'] = mirror;
    var args = Module['arguments'] || [];
    if (args.length && String(args[0]).toUpperCase() === '/LOG') {
      Module['mnemoraLogTimer'] = setInterval(mirror, 250);
      Module['mnemoraDownloadLog'] = function() {
        var log = newestLog();
        if (log && Module['mnemoraDownload']) {
          Module['mnemoraDownload'](log.name, FS.readFile(log.path), 'text/plain');
        }
      };
    }
  },

  // The program ended: the last log lines, then the page that says so (unless
  // a fatal error is showing).
  mnemora_page_ended: function() {
    if (Module['mnemoraMirrorLog']) Module['mnemoraMirrorLog']();
    if (Module['mnemoraLogTimer']) clearInterval(Module['mnemoraLogTimer']);
    if (!Module['mnemoraFatalShown'] && Module['mnemoraQuit']) Module['mnemoraQuit']();
  },
});
