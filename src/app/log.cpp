#include "app/log.h"

#include "engine/files.h"
#include "engine/object_table.h"

namespace app {

namespace {
struct LogState {
    int file = 0;
    bool enabled = false;
};
LogState logState;
}  // namespace

int OpenLog(const std::string& path, const std::string& firstLine) {
    auto& s = logState;
    s.file = engine::NewFile(engine::AutoId, path);
    if (!s.file) return 0;
    engine::WriteTextLine(s.file, firstLine);
    return 1;
}

void EnableLog() {
    auto& s = logState;
    if (s.file && engine::FileObjectValid(s.file)) s.enabled = true;
}

void LogLine(const std::string& text) {
    auto& s = logState;
    if (!s.enabled) return;
    if (!engine::FileObjectValid(s.file)) {
        s.enabled = false;
        return;
    }
    // Each line goes to the disk at once: the log is read after a crash or a
    // kill, when the buffered lines would be lost.
    engine::WriteTextLine(s.file, text);
    engine::FlushFileObject(s.file);
}

void LogValue(const std::string& label, const std::string& value) {
    LogLine(label + Tabs(2) + value);
}

std::string Tabs(int n) {
    return std::string(n > 0 ? n : 0, '\t');
}

bool LogIsOpen() {
    return logState.enabled;
}

void CloseLog() {
    auto& s = logState;
    if (s.file) engine::CloseFileObject(s.file);
    s = {};
}

}  // namespace app
