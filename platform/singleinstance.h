#pragma once
// One running program per user and data folder: the first start holds a lock file in
// the data folder and listens on a local socket in the user's runtime folder
// ($XDG_RUNTIME_DIR, which only the user may enter; else a folder of the user's own);
// a later start finds the lock held, asks the running program to bring its window to
// the front, and ends, so two programs never write the same result file. Each side
// checks that the other end of the socket is a process of the same user.

#include <QLockFile>
#include <QObject>

class QLocalServer;

namespace netvane::platform {

class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)
public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one that runs: it now holds the lock (a lock left
    // by a program that has died is taken over) and answers later starts. Also true,
    // without that guard, when no lock can be written in the data folder.
    // A program without a window (the headless run) claims with windowless set: a later
    // start is told there is no window to show.
    bool claim(bool windowless = false);

    enum class Answer {
        Shown,      // the running program shows its window
        Windowless, // the running program has no window (a headless run)
        None,       // nothing answered, or not a process of this user
    };
    // Asks the running program to show its window.
    Answer askRunningToShow();
    // Where the socket lives.
    QString serverPath() const { return m_serverPath; }

Q_SIGNALS:
    // A later start asked for the window.
    void showRequested();

private:
    QLockFile m_lock;
    QString m_serverPath;
    QLocalServer *m_server = nullptr;
    bool m_windowless = false;
};

} // namespace netvane::platform
