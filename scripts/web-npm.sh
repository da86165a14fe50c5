# Sourced by the web test scripts: installs the tests' npm packages (the
# versions the lock file pins; no browser, the tests use Debian's chromium)
# when they are missing or older than the lock file.
web_tests="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/web"
if [[ ! -d $web_tests/node_modules || $web_tests/package-lock.json -nt $web_tests/node_modules ]]; then
    PUPPETEER_SKIP_DOWNLOAD=1 npm ci --prefix "$web_tests" --no-audit --no-fund >&2
    touch "$web_tests/node_modules"
fi
if [[ ! -x ${MNEMORA_CHROMIUM:-/usr/bin/chromium} ]]; then
    echo "no chromium at ${MNEMORA_CHROMIUM:-/usr/bin/chromium} (apt-get install chromium)" >&2
    exit 1
fi
