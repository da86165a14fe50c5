// The page the game runs in: its size and pixel ratio, the canvas's CSS size,
// resizes, the loading view, messages, downloads, the save folder's copy in
// IndexedDB, the log in the console, sound after the first gesture, and the
// page shown once the game has ended. The page itself (index.html and its
// script) defines the Module hooks called here; each call checks that its hook
// is there, so the program also runs under node or in a bare page.
#include <emscripten.h>

#include <cstdlib>
#include <string>

#include "engine/platform/platform.h"

// clang-format off

EM_JS(int, mnemora_page_width, (), {
    return Math.max(1, Math.round(window.innerWidth * (window.devicePixelRatio || 1)));
});

EM_JS(int, mnemora_page_height, (), {
    return Math.max(1, Math.round(window.innerHeight * (window.devicePixelRatio || 1)));
});

// One canvas pixel on each device pixel: the CSS size is the pixel size over
// the ratio (a phone at ratio 3 draws 1170 x 2532 pixels in 390 x 844).
EM_JS(void, mnemora_place_canvas, (int width, int height), {
    var canvas = Module['canvas'];
    if (!canvas || !canvas.style) return;
    var ratio = window.devicePixelRatio || 1;
    canvas.style.width = (width / ratio) + 'px';
    canvas.style.height = (height / ratio) + 'px';
});

// A resize counts once the size has held for a quarter of a second: dragging a
// window's edge or turning a phone sends many, and each would reopen the display.
EM_JS(int, mnemora_take_resize, (), {
    var r = Module['mnemoraResize'];
    if (!r || !r.pending || performance.now() - r.at < 250) return 0;
    r.pending = false;
    return 1;
});

EM_JS(void, mnemora_first_frame, (), {
    if (Module['mnemoraFirstFrame']) Module['mnemoraFirstFrame']();
});

EM_JS(int, mnemora_show_error, (const char* title, const char* text), {
    if (!Module['mnemoraShowError']) return 0;
    Module['mnemoraFatalShown'] = true;
    Module['mnemoraShowError'](UTF8ToString(title), UTF8ToString(text));
    return 1;
});

EM_JS(void, mnemora_warn, (const char* title, const char* text), {
    console.warn(UTF8ToString(title) + ': ' + UTF8ToString(text));
});

EM_JS(void, mnemora_keep_files, (), {
    if (Module['mnemoraKeepFiles']) Module['mnemoraKeepFiles']();
});

EM_JS(void, mnemora_hand_over, (const char* path_text, const char* mime_text), {
    var path = UTF8ToString(path_text);
    try {
        var bytes = FS.readFile(path);
        var name = path.substring(path.lastIndexOf('/') + 1);
        if (Module['mnemoraDownload']) Module['mnemoraDownload'](name, bytes, UTF8ToString(mime_text));
        FS.unlink(path);
    } catch (e) {
        console.warn('Mnemora: ' + path + ' could not be offered: ' + e);
    }
});

// Set once at start: the resize watch, sound after the player's first gesture
// (browsers keep audio silent until then), the log mirrored to the console with
// "/LOG", and the ended page when the program exits.
EM_JS(void, mnemora_watch_page, (), {
    var resize = Module['mnemoraResize'] = {pending: false, at: 0};
    var changed = function() {
        resize.pending = true;
        resize.at = performance.now();
    };
    window.addEventListener('resize', changed);
    window.addEventListener('orientationchange', changed);
    if (window.matchMedia) {
        // A change of pixel ratio alone (zoom, a window dragged to another screen).
        var watchRatio = function() {
            var query = window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
            var once = function() {
                changed();
                watchRatio();
            };
            if (query.addEventListener) query.addEventListener('change', once, {once: true});
        };
        watchRatio();
    }

    var resume = function() {
        var sdl = Module['SDL2'];
        if (sdl && sdl.audioContext && sdl.audioContext.state === 'suspended') sdl.audioContext.resume();
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
    var args = Module['arguments'] || [];
    if (args.length && String(args[0]).toUpperCase() === '/LOG') {
        Module['mnemoraLogTimer'] = setInterval(mirror, 250);
        Module['mnemoraDownloadLog'] = function() {
            var log = newestLog();
            if (!log || !Module['mnemoraDownload']) return;
            Module['mnemoraDownload'](log.name, FS.readFile(log.path), 'text/plain');
        };
    }
    Module['mnemoraMirrorLog'] = mirror;

    // The save folder's files go to IndexedDB after every save. A save while
    // the last copy is still being made asks for one more copy when it ends,
    // so the newest files are always the last copied.
    var keep = {busy: false, again: false};
    Module['mnemoraKeepFiles'] = function() {
        var node;
        try { node = FS.lookupPath('/save', {}).node; } catch (e) { return; }
        if (typeof IDBFS === 'undefined' || !node.mount || node.mount.type !== IDBFS) return;
        if (keep.busy) {
            keep.again = true;
            return;
        }
        keep.busy = true;
        FS.syncfs(false, function(error) {
            keep.busy = false;
            if (error) console.warn('Mnemora: the saved files could not be copied to the browser\'s storage: ' + error);
            if (keep.again) {
                keep.again = false;
                Module['mnemoraKeepFiles']();
            }
        });
    };
});

EM_JS(void, mnemora_page_ended, (), {
    if (Module['mnemoraMirrorLog']) Module['mnemoraMirrorLog']();
    if (Module['mnemoraLogTimer']) clearInterval(Module['mnemoraLogTimer']);
    if (!Module['mnemoraFatalShown'] && Module['mnemoraQuit']) Module['mnemoraQuit']();
});

// clang-format on

namespace engine {

namespace {

void PageEnded() {
    mnemora_page_ended();
}

}  // namespace

void MarkProgramRunning() {
    mnemora_watch_page();
    std::atexit(PageEnded);
}

namespace os {

bool ScreenPixelSize(int* width, int* height) {
    *width = mnemora_page_width();
    *height = mnemora_page_height();
    return true;
}

void WindowMade(int width, int height) {
    mnemora_place_canvas(width, height);
}

bool TakeScreenResized() {
    return mnemora_take_resize() != 0;
}

bool FramesYield() {
    return true;
}

// The program is built without threads, so that any static host serves it
// (threads need cross-origin isolation headers).
bool ThreadsAvailable() {
    return false;
}

void SleepMicroseconds(int64_t us) {
    emscripten_sleep(us > 0 ? static_cast<unsigned int>((us + 999) / 1000) : 0);
}

void FramePresented(uint64_t count) {
    if (count == 1) mnemora_first_frame();
}

bool ShowMessageInPage(const std::string& title, const std::string& text, bool fatal) {
    if (fatal && mnemora_show_error(title.c_str(), text.c_str())) return true;
    // Anything else is a note for the console: a page has no place to stop
    // the game for it.
    mnemora_warn(title.c_str(), text.c_str());
    return true;
}

void KeepWrittenFiles() {
    mnemora_keep_files();
}

void HandToPlayer(const std::string& path, const std::string& mime) {
    mnemora_hand_over(path.c_str(), mime.c_str());
    mnemora_keep_files();
}

}  // namespace os
}  // namespace engine
