#pragma once
// The command console. Two ways of running commands live here:
//  - ClassDos runs one command line hidden, reads its merged output chunk by chunk
//    (ReceiveOutputs per chunk) and returns the whole text; the IP scanner runs
//    "arp -a" and "nbtstat -a ADDRESS" through it.
//  - The console panel (consolepanel.h) opens the user's own commands in terminal
//    windows and keeps the built-in command list and the run history
//    (commandhistory.h).

#include <QObject>
#include <QSet>
#include <QString>

class QProcess;

namespace netvane {

class ClassDos final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClassDos)
public:
    // The largest piece of output handed over at once.
    static constexpr qint64 ChunkBytes = 256;

    explicit ClassDos(QObject *parent = nullptr);
    ~ClassDos() override;

    void setCommandLine(const QString &commandLine) { m_commandLine = commandLine; }
    QString CommandLine() const { return m_commandLine; }
    QString Outputs() const { return m_outputs; }

    // Runs the command line (a non-empty argument replaces it first) as a program
    // with arguments, never through a shell, and returns all it wrote to standard
    // output and standard error. Each read is passed to ReceiveOutputs as it
    // arrives, and the window keeps working meanwhile; the last call carries an
    // empty text. Failures are told in a message box and give an empty text.
    QString ExecuteCommand(const QString &commandLine = {});

Q_SIGNALS:
    void ReceiveOutputs(const QString &CommandOutputs);

private:
    QString m_commandLine;
    QString m_outputs;
    QSet<QProcess *> m_running; // killed with their process groups if this goes first
};

} // namespace netvane
