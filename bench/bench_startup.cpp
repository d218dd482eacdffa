// How long the program takes from its start to a mapped main window, beside an empty
// Qt main window with a menu bar started the same way. Each window is its own process;
// the two alternate, and an X11 client watching the root window times each start to
// the MapNotify of that process's top-level window.
//
//   melvok-bench-startup [rounds]   rounds of one start of each (default 40)
//
// Without a display it runs itself under xvfb-run, or says that it cannot and ends.
#include <xcb/xcb.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kEmptyWindowFlag = "--empty-window";
constexpr const char* kUnderXvfb = "MELVOK_BENCH_UNDER_XVFB";
constexpr int kTimeoutMs = 30000;

// The reference: what any Qt Widgets program with a main menu costs to appear.
int runEmptyWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&Plik"))->addAction(QStringLiteral("&Koniec"));
    if (const QScreen* screen = QApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return QApplication::exec();
}

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

std::string executablePath()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    path[n] = '\0';
    return path;
}

bool onPath(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

class Watcher
{
public:
    bool connect()
    {
        m_conn = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_conn))
            return false;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_PID";
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
            xcb_intern_atom_reply(m_conn, xcb_intern_atom(m_conn, 0, sizeof name - 1, name), nullptr),
            &std::free);
        if (!atom)
            return false;
        m_pidAtom = atom->atom;
        xcb_flush(m_conn);
        return true;
    }
    ~Watcher()
    {
        if (m_conn)
            xcb_disconnect(m_conn);
    }

    // Waits for a top-level window of process `pid` to be mapped; the time it was seen,
    // or a negative value when none appeared in time or the process ended first.
    double waitForMap(pid_t pid)
    {
        const double deadline = nowMs() + kTimeoutMs;
        while (nowMs() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_conn)) {
                const double seen = nowMs();
                const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
                xcb_window_t window = 0;
                if (mapped) {
                    const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                    if (!map->override_redirect)
                        window = map->window;
                }
                std::free(event);
                if (window && pidOf(window) == pid) {
                    m_cpuAtMap = cpuMs(pid);
                    return seen;
                }
            }
            if (xcb_connection_has_error(m_conn))
                return -1;
            if (waitpid(pid, nullptr, WNOHANG) == pid)
                return -1;
            pollfd fd{xcb_get_file_descriptor(m_conn), POLLIN, 0};
            poll(&fd, 1, 50);
        }
        return -1;
    }

    // The processor time the process had used when its window was mapped.
    double cpuAtMap() const { return m_cpuAtMap; }

private:
    // Every thread's time on a processor so far, from the scheduler's own figures.
    static double cpuMs(pid_t pid)
    {
        double ns = 0;
        const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
            if (stat.open(QIODevice::ReadOnly))
                ns += stat.readAll().split(' ').value(0).toDouble();
        }
        return ns / 1e6;
    }

    pid_t pidOf(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(
                m_conn, xcb_get_property(m_conn, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
            &std::free);
        if (!reply || xcb_get_property_value_length(reply.get()) != 4)
            return 0;
        return pid_t(*static_cast<const uint32_t*>(xcb_get_property_value(reply.get())));
    }

    xcb_connection_t* m_conn = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = 0;
    double m_cpuAtMap = 0;
};

struct Start {
    double wallMs = -1; // from the spawn to the mapped window; negative on failure
    double cpuMs = 0;   // processor time used by then
};

// One start, ended once its window is mapped. A killed program leaves its single-instance
// lock file behind where a closed one removes it; it is taken away here, so that every
// start is an ordinary one.
Start timeOneStart(Watcher& watcher, const std::vector<std::string>& command, const QString& runtimeDir)
{
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The programs' own remarks would mix with the figures.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const double start = nowMs();
    pid_t pid = 0;
    const int err = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(err));
        return {};
    }
    const double mapped = watcher.waitForMap(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    for (const QString& lock : QDir(runtimeDir).entryList({QStringLiteral("*.lock")}, QDir::Files))
        QFile::remove(runtimeDir + QLatin1Char('/') + lock);
    if (mapped < 0)
        return {};
    return {mapped - start, watcher.cpuAtMap()};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void setEnv(const QString& name, const QString& value)
{
    qputenv(name.toLatin1().constData(), value.toLocal8Bit());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], kEmptyWindowFlag) == 0)
        return runEmptyWindow(argc, argv);

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 40;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: %s [rounds]\n", argv[0]);
        return 2;
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        if (std::getenv(kUnderXvfb) || !onPath("xvfb-run")) {
            std::printf("startup: no X display and no xvfb-run, nothing measured\n");
            return 0;
        }
        setenv(kUnderXvfb, "1", 1);
        const std::string self = executablePath();
        const std::string count = std::to_string(rounds);
        execlp("xvfb-run", "xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", self.c_str(), count.c_str(),
               static_cast<char*>(nullptr));
        std::printf("startup: xvfb-run cannot be started (%s), nothing measured\n", std::strerror(errno));
        return 0;
    }

    Watcher watcher;
    if (!watcher.connect()) {
        std::printf("startup: the X display %s cannot be reached, nothing measured\n", display);
        return 0;
    }

    // Both processes get the same fresh home, so neither the user's data folder (whose
    // working copy the program deletes at start) nor the user's settings take part.
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    for (const char* sub : {"data", "config", "cache"})
        QDir(home.path()).mkpath(QString::fromLatin1(sub));
    // A desktop session's runtime folder is in memory; without one, a folder in /dev/shm
    // stands in for it.
    QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    std::unique_ptr<QTemporaryDir> ownRuntime;
    if (runtimeDir.isEmpty()) {
        const bool shm = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
        ownRuntime = std::make_unique<QTemporaryDir>((shm ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
                                                     QStringLiteral("/melvok-bench-XXXXXX"));
        runtimeDir = ownRuntime->path();
    }
    setEnv(QStringLiteral("HOME"), home.path());
    setEnv(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    setEnv(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    setEnv(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/cache"));
    setEnv(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    unsetenv("QT_QPA_PLATFORM");

    const std::vector<std::string> program{MELVOK_PROGRAM_DIR "/melvok-dokumenty"};
    const std::vector<std::string> empty{executablePath(), kEmptyWindowFlag};

    // One unmeasured start of each: the first start fills the data folder, and both
    // bring their libraries into the page cache.
    if (timeOneStart(watcher, program, runtimeDir).wallMs < 0 ||
        timeOneStart(watcher, empty, runtimeDir).wallMs < 0) {
        std::fprintf(stderr, "startup: a window did not appear within %d ms\n", kTimeoutMs);
        return 1;
    }
    std::vector<double> programWall, emptyWall, programCpu, emptyCpu;
    for (int i = 0; i < rounds; ++i) {
        // Alternating which one goes first evens out a machine that grows busier or calmer.
        const bool programFirst = i % 2 == 0;
        for (int k = 0; k < 2; ++k) {
            const bool isProgram = (k == 0) == programFirst;
            const Start s = timeOneStart(watcher, isProgram ? program : empty, runtimeDir);
            if (s.wallMs < 0) {
                std::fprintf(stderr, "startup: a window did not appear within %d ms\n", kTimeoutMs);
                return 1;
            }
            (isProgram ? programWall : emptyWall).push_back(s.wallMs);
            (isProgram ? programCpu : emptyCpu).push_back(s.cpuMs);
        }
    }

    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("startup to a mapped main window, %d alternating rounds, display %s, %ld cores, "
                "load %.2f %.2f %.2f\n",
                rounds, display, sysconf(_SC_NPROCESSORS_ONLN), load[0], load[1], load[2]);
    std::printf("                 wall: median      min   processor: median\n");
    std::printf("  program       %13.1f ms %6.1f ms %15.1f ms\n", median(programWall),
                *std::min_element(programWall.begin(), programWall.end()), median(programCpu));
    std::printf("  empty window  %13.1f ms %6.1f ms %15.1f ms\n", median(emptyWall),
                *std::min_element(emptyWall.begin(), emptyWall.end()), median(emptyCpu));
    std::printf("  ratio of the medians: wall %.2f, processor %.2f\n",
                median(programWall) / median(emptyWall), median(programCpu) / median(emptyCpu));
    return 0;
}
