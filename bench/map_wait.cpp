// Starts a program under X and reports when its first top-level window is
// mapped, then its peak resident memory a moment later:
//   map_wait SETTLE_MS PROGRAM [ARGS...]  ->  "<ms to first map> <peak RSS kB>"
// The program is ended afterwards. Needs a display without a window manager,
// so that top-level windows are children of the root window.
#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

long peakRssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: map_wait SETTLE_MS PROGRAM [ARGS...]\n");
        return 2;
    }
    const int settleMs = std::atoi(argv[1]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "map_wait: no display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double start = nowMs();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }

    double mapped = -1;
    const int fd = ConnectionNumber(display);
    while (mapped < 0 && nowMs() - start < 30000) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect) mapped = nowMs() - start;
        }
        if (mapped >= 0) break;
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) break;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        timeval tv{0, 2000};
        select(fd + 1, &fds, nullptr, nullptr, &tv);
    }
    if (mapped >= 0) usleep(static_cast<useconds_t>(settleMs) * 1000);
    const long rss = peakRssKb(child);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    if (mapped < 0) {
        std::fprintf(stderr, "map_wait: %s showed no window\n", argv[2]);
        return 1;
    }
    std::printf("%.1f %ld\n", mapped, rss);
    return 0;
}
