// The page around the game: it downloads the data files with a progress bar,
// hands them to the program's in-memory file system, keeps the save folder in
// the browser's IndexedDB, answers the program's hooks (first frame, fatal
// error, download, quit) and registers the service worker that keeps the whole
// site for offline play.
'use strict';

(function () {
    // Moments the browser tests and the bench read (performance.now(), ms).
    window.mnemoraTimes = { pageScript: performance.now() };

    var canvas = document.getElementById('canvas');
    var loadingView = document.getElementById('loading');
    var barFill = document.getElementById('bar-fill');
    var bar = loadingView.querySelector('.bar');
    var errorView = document.getElementById('error');
    var endedView = document.getElementById('ended');
    var logLink = document.getElementById('log-link');

    // The files the program reads from its folder, /mnemora/: the build lists
    // them with their sizes in files.json, which also gives the progress bar
    // its total. Without that list the page falls back to the three files
    // every build has and to the sizes the server announces (Content-Length).
    var fallbackFiles = ['Mnemora.data', 'Mnemora.languages', 'Mnemora.pointer'];
    var estimatedTotal = 10 * 1024 * 1024;
    var withLog = /[?&]log(?:[=&]|$)/.test(location.search);
    var failed = false;

    function show(view) {
        view.classList.remove('hidden');
    }
    function hide(view) {
        view.classList.add('hidden');
    }

    // A fatal error over everything else; the first one stays, since an abort
    // usually follows the program's own, clearer message.
    function showError(title, text) {
        if (failed) return;
        failed = true;
        document.getElementById('error-title').textContent = title;
        document.getElementById('error-text').textContent = text;
        hide(loadingView);
        show(errorView);
    }

    function focusCanvas() {
        canvas.focus({ preventScroll: true });
    }

    // The page never scrolls, zooms or opens a context menu: every touch and
    // right click belongs to the game.
    document.addEventListener('contextmenu', function (e) {
        e.preventDefault();
    });
    document.addEventListener(
        'touchmove',
        function (e) {
            e.preventDefault();
        },
        { passive: false }
    );
    document.addEventListener('dblclick', function (e) {
        e.preventDefault();
    });
    document.addEventListener('gesturestart', function (e) {
        e.preventDefault();
    });
    document.addEventListener(
        'pointerdown',
        function (e) {
            if (!e.target.closest('button, a')) focusCanvas();
        },
        true
    );

    document.getElementById('play-again').addEventListener('click', function () {
        location.reload();
    });

    function setProgress(received, total) {
        var share = total > 0 ? Math.min(1, received / total) : 0;
        barFill.style.width = (share * 100).toFixed(1) + '%';
        bar.setAttribute('aria-valuenow', String(Math.round(share * 100)));
    }

    function listFiles() {
        return fetch('files.json')
            .then(function (response) {
                if (!response.ok) throw new Error('files.json: ' + response.status);
                return response.json();
            })
            .then(
                function (list) {
                    return list.map(function (entry) {
                        return { path: String(entry.path), size: Number(entry.size) || 0 };
                    });
                },
                function () {
                    return fallbackFiles.map(function (name) {
                        return { path: name, size: 0 };
                    });
                }
            );
    }

    // Downloads every game file at once, the bar showing the bytes received
    // against the sum of the sizes (an estimate while any is unknown).
    function fetchGameFiles(files) {
        var received = files.map(function () {
            return 0;
        });
        var sizes = files.map(function (f) {
            return f.size;
        });
        function sum(list) {
            return list.reduce(function (a, b) {
                return a + b;
            }, 0);
        }
        function update() {
            var got = sum(received);
            var known = sizes.every(function (s) {
                return s > 0;
            });
            setProgress(got, known ? sum(sizes) : Math.max(estimatedTotal, got));
        }
        return Promise.all(
            files.map(function (file, i) {
                return fetch(encodeURI(file.path)).then(function (response) {
                    if (!response.ok) throw new Error(file.path + ': ' + response.status + ' ' + response.statusText);
                    if (!sizes[i]) sizes[i] = Number(response.headers.get('Content-Length')) || 0;
                    if (!response.body) {
                        return response.arrayBuffer().then(function (b) {
                            received[i] = b.byteLength;
                            update();
                            return new Uint8Array(b);
                        });
                    }
                    var reader = response.body.getReader();
                    var chunks = [];
                    function pump() {
                        return reader.read().then(function (step) {
                            if (step.done) {
                                var whole = new Uint8Array(received[i]);
                                var at = 0;
                                chunks.forEach(function (c) {
                                    whole.set(c, at);
                                    at += c.length;
                                });
                                return whole;
                            }
                            chunks.push(step.value);
                            received[i] += step.value.length;
                            update();
                            return pump();
                        });
                    }
                    return pump();
                });
            })
        ).then(function (contents) {
            return files.map(function (file, i) {
                return { path: file.path, bytes: contents[i] };
            });
        });
    }

    function runtime(name) {
        // Emscripten's non-modular output declares its runtime as globals.
        return window[name] || window.Module[name];
    }

    function startProgram(contents) {
        window.mnemoraTimes.dataLoaded = performance.now();
        window.Module = {
            canvas: canvas,
            arguments: withLog ? ['/LOG'] : [],
            print: function (text) {
                console.log(text);
            },
            // The program's stderr carries diagnostics, not page errors.
            printErr: function (text) {
                console.warn(text);
            },
            preRun: [
                function () {
                    var FS = runtime('FS');
                    contents.forEach(function (file) {
                        // Each folder on the way, then the file.
                        var folder = '';
                        ('mnemora/' + file.path).split('/').slice(0, -1).forEach(function (part) {
                            folder += '/' + part;
                            if (!FS.analyzePath(folder).exists) FS.mkdir(folder);
                        });
                        FS.writeFile('/mnemora/' + file.path, file.bytes);
                    });
                    contents = null;
                    // The save folder lives in IndexedDB: the game starts only
                    // once the saved files are back in it.
                    FS.mkdir('/save');
                    FS.mount(runtime('IDBFS'), {}, '/save');
                    runtime('addRunDependency')('save');
                    FS.syncfs(true, function (err) {
                        if (err) console.warn('Mnemora: the saved files could not be read back:', err);
                        runtime('removeRunDependency')('save');
                    });
                },
            ],
            onAbort: function (what) {
                showError('Mnemora stopped', 'The game ran into a fault and had to stop.\n' + (what || ''));
            },
            mnemoraFirstFrame: function () {
                if (window.mnemoraTimes.firstFrame !== undefined) return;
                window.mnemoraTimes.firstFrame = performance.now();
                hide(loadingView);
                focusCanvas();
            },
            mnemoraShowError: function (title, text) {
                showError(title, text);
            },
            mnemoraDownload: function (name, bytes, mime) {
                // A copy: the bytes may be a view into the program's memory.
                var blob = new Blob([bytes.slice()], { type: mime || 'application/octet-stream' });
                var url = URL.createObjectURL(blob);
                var a = document.createElement('a');
                a.href = url;
                a.download = name;
                a.style.display = 'none';
                document.body.appendChild(a);
                a.click();
                a.remove();
                setTimeout(function () {
                    URL.revokeObjectURL(url);
                }, 60000);
            },
            mnemoraQuit: function () {
                hide(canvas);
                hide(logLink);
                show(endedView);
                document.getElementById('play-again').focus();
            },
        };
        var script = document.createElement('script');
        script.src = 'mnemora.js';
        script.onerror = function () {
            showError('Mnemora could not start', 'The program (mnemora.js) could not be loaded.');
        };
        document.body.appendChild(script);
    }

    if (withLog) {
        show(logLink);
        logLink.addEventListener('click', function (e) {
            e.preventDefault();
            if (window.Module && typeof window.Module.mnemoraDownloadLog === 'function') {
                window.Module.mnemoraDownloadLog();
            }
        });
    }

    focusCanvas();
    listFiles()
        .then(fetchGameFiles)
        .then(startProgram, function (err) {
            showError(
                'Mnemora could not start',
                'The game files could not be downloaded. Check the connection and reload the page.\n' +
                    err.message
            );
        });

    if ('serviceWorker' in navigator) {
        window.addEventListener('load', function () {
            navigator.serviceWorker.register('sw.js').catch(function (err) {
                console.warn('Mnemora: offline play is not available:', err);
            });
        });
    }
})();
