#include "ColdStart.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC, as the launcher's time stamp
constexpr int TimeoutMs = 20000;

struct XcbConnection {
    xcb_connection_t* connection = nullptr;
    ~XcbConnection()
    {
        if (connection)
            xcb_disconnect(connection);
    }
};

// The launcher's process and the pipe its reports come through; a launcher left running at the
// end (a failed start) is ended with its program.
struct Launch {
    pid_t launcher = -1;
    pid_t program = -1;
    int reports = -1;
    ~Launch()
    {
        if (reports >= 0)
            close(reports);
        if (launcher > 0 && waitpid(launcher, nullptr, WNOHANG) == 0) {
            if (program > 0)
                kill(program, SIGKILL);
            kill(launcher, SIGKILL);
            waitpid(launcher, nullptr, 0);
        }
    }
};

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const auto cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(xcb_intern_atom_reply(c, cookie, nullptr), &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The process that owns a window, as Qt announces it in _NET_WM_PID.
pid_t ownerOf(xcb_connection_t* c, xcb_window_t window, xcb_atom_t pidAtom)
{
    const auto cookie = xcb_get_property(c, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(xcb_get_property_reply(c, cookie, nullptr), &free);
    if (!reply || xcb_get_property_value_length(reply.get()) != 4)
        return -1;
    return pid_t(*static_cast<const uint32_t*>(xcb_get_property_value(reply.get())));
}

// One line from the launcher, waiting at most until the deadline.
bool readLine(int fd, QByteArray& buffer, QByteArray& line, Clock::time_point deadline)
{
    while (!buffer.contains('\n')) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, int(left)) <= 0)
            return false;
        char chunk[256];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0)
            return false;
        buffer.append(chunk, got);
    }
    const qsizetype end = buffer.indexOf('\n');
    line = buffer.left(end);
    buffer.remove(0, end + 1);
    return true;
}
} // namespace

ColdStart::ColdStart(const QString& program, const QString& launcher, const QString& settingsFolder,
                     const QString& runtimeFolder)
    : m_program(program), m_launcher(launcher), m_settingsFolder(settingsFolder), m_runtimeFolder(runtimeFolder)
{
}

std::optional<ColdStart::Result> ColdStart::run(QString& error) const
{
    XcbConnection x;
    int screenNumber = 0;
    x.connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(x.connection)) {
        error = QStringLiteral("no X display (run the benchmark through scripts/bench)");
        return std::nullopt;
    }
    xcb_connection_t* c = x.connection;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screens.data->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t pidAtom = atom(c, "_NET_WM_PID");
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW");
    xcb_flush(c);

    // The program's environment: ours without the benchmark's own Qt settings, on the X display,
    // with its own settings and lock folders.
    QList<QByteArray> environment;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!entry.startsWith("QT_QPA_") && !entry.startsWith("XDG_CONFIG_HOME=") &&
            !entry.startsWith("XDG_RUNTIME_DIR="))
            environment.append(entry);
    }
    environment.append("QT_QPA_PLATFORM=xcb");
    environment.append("XDG_CONFIG_HOME=" + m_settingsFolder.toLocal8Bit());
    environment.append("XDG_RUNTIME_DIR=" + m_runtimeFolder.toLocal8Bit());
    QList<char*> envp;
    for (QByteArray& entry : environment)
        envp.append(entry.data());
    envp.append(nullptr);
    QByteArray launcher = m_launcher.toLocal8Bit();
    QByteArray program = m_program.toLocal8Bit();
    char* argv[] = {launcher.data(), program.data(), nullptr};

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        error = QStringLiteral("cannot make a pipe");
        return std::nullopt;
    }
    Launch launch;
    launch.reports = pipeEnds[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    const int spawned = posix_spawn(&launch.launcher, launcher.constData(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        error = QStringLiteral("cannot start %1").arg(m_launcher);
        return std::nullopt;
    }

    const auto deadline = Clock::now() + std::chrono::milliseconds(TimeoutMs);
    QByteArray buffer, line;
    if (!readLine(launch.reports, buffer, line, deadline)) {
        error = QStringLiteral("the launcher did not start the program");
        return std::nullopt;
    }
    const QList<QByteArray> started = line.split(' ');
    launch.program = started.value(0).toInt();
    const auto startedAt = Clock::time_point(std::chrono::nanoseconds(started.value(1).toLongLong()));

    xcb_window_t shown = XCB_WINDOW_NONE;
    Clock::time_point shownAt;
    while (shown == XCB_WINDOW_NONE) {
        if (Clock::now() > deadline) {
            error = QStringLiteral("the main window did not show within %1 s").arg(TimeoutMs / 1000);
            return std::nullopt;
        }
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, 20);
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && shown == XCB_WINDOW_NONE) {
                const auto at = Clock::now();
                const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
                if (ownerOf(c, window, pidAtom) == launch.program) {
                    shown = window;
                    shownAt = at;
                }
            }
            free(event);
        }
        if (shown == XCB_WINDOW_NONE && waitpid(launch.launcher, nullptr, WNOHANG) == launch.launcher) {
            launch.launcher = -1;
            error = QStringLiteral("the program ended before showing its window");
            return std::nullopt;
        }
    }

    xcb_client_message_event_t closeRequest{};
    closeRequest.response_type = XCB_CLIENT_MESSAGE;
    closeRequest.format = 32;
    closeRequest.window = shown;
    closeRequest.type = protocols;
    closeRequest.data.data32[0] = deleteWindow;
    closeRequest.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, shown, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&closeRequest));
    xcb_flush(c);

    if (!readLine(launch.reports, buffer, line, Clock::now() + std::chrono::milliseconds(TimeoutMs))) {
        error = QStringLiteral("the program did not end after its window was closed");
        return std::nullopt;
    }
    const long peakKibibytes = line.toLong();
    int status = 0;
    waitpid(launch.launcher, &status, 0);
    launch.launcher = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = QStringLiteral("the program did not end cleanly (status %1)").arg(status);
        return std::nullopt;
    }
    return Result{std::chrono::duration<double>(shownAt - startedAt).count(), peakKibibytes / 1024.0};
}
