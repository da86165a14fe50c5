// A private Xvfb screen for the benchmarks that need a real X display: started
// on a free display number, DISPLAY pointed at it, stopped by Stop or at exit
// of the owning scope.
#pragma once

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class BenchXvfb {
  public:
    // False when Xvfb could not start.
    bool Start(const char* screen = "1920x1080x24") {
        int fds[2];
        if (pipe(fds) != 0) return false;
        owner_ = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            // -noreset: the server would reset when its last client leaves, and
            // the next run would find no display while it does.
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The number ends with a newline; the read end stays open while Xvfb
        // runs, so its write never meets a closed pipe.
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        if (number.empty()) return false;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return true;
    }
    void Stop() {
        // Only the process that started it: a forked child that exits leaves
        // the screen to its parent.
        if (pid_ <= 0 || getpid() != owner_) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    ~BenchXvfb() { Stop(); }

  private:
    pid_t pid_ = 0;
    pid_t owner_ = 0;
};
