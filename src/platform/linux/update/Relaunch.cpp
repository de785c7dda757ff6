#include "Relaunch.h"

#include "ClipboardCarry.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace talvex::update {

namespace {

// Marks every descriptor above the standard streams close-on-exec, but `keep`. Libraries do not all
// open theirs that way, and one inherited X connection would keep the old image's key grabs alive.
void closeOnExec(int keep)
{
    DIR *fds = ::opendir("/proc/self/fd");
    if (!fds)
        return;
    const int own = ::dirfd(fds);
    while (const dirent *entry = ::readdir(fds)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd <= 2 || fd == own || fd == keep)
            continue;
        const int flags = ::fcntl(int(fd), F_GETFD);
        if (flags >= 0)
            ::fcntl(int(fd), F_SETFD, flags | FD_CLOEXEC);
    }
    ::closedir(fds);
}

} // namespace

QStringList processArguments()
{
    QFile file(QStringLiteral("/proc/self/cmdline"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray all = file.readAll();
    if (all.endsWith('\0'))
        all.chop(1);
    QStringList arguments;
    for (const QByteArray &argument : all.split('\0'))
        arguments << QFile::decodeName(argument);
    return arguments;
}

QString relaunchInPlace(const QString &executable, const QStringList &arguments)
{
    const QByteArray path = QFile::encodeName(executable);
    if (::access(path.constData(), X_OK) != 0)
        return QStringLiteral("%1 cannot be started: %2")
            .arg(executable, QString::fromLocal8Bit(std::strerror(errno)));
    std::vector<QByteArray> storage;
    storage.reserve(std::size_t(arguments.size()));
    for (const QString &argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    if (storage.empty())
        storage.push_back(path);
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const int clipboard = ClipboardCarry::handOver();
    closeOnExec(clipboard);
    // A blocked signal stays blocked across exec; the new image starts as a fresh launch would.
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    ::execv(path.constData(), argv.data());
    const int failure = errno;
    ClipboardCarry::cancel(clipboard);
    errno = failure;
    return QStringLiteral("%1 could not replace this process: %2")
        .arg(executable, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace talvex::update
