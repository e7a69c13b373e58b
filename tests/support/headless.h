#pragma once
// The real program run headless as a child process, as on a bare server (no display
// variables), and a plain HTTP GET for its metrics endpoint.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QStringList>

namespace netvane::test {

class HeadlessChild final
{
public:
    // Starts `program --headless ARGUMENTS` with the endpoint on a free loopback port
    // unless the arguments name one.
    HeadlessChild(const QString &program, const QStringList &arguments);
    ~HeadlessChild(); // a child still running is killed

    // Until the run says where its metrics are; false when it ended or said nothing.
    bool waitForMetrics(int timeoutMs = 30000);
    quint16 port() const { return m_port; }
    // Sends the signal and waits for the end; false when it did not end in time.
    bool stop(int signalNumber, int timeoutMs = 20000);
    QProcess &process() { return m_process; }
    // All the child wrote on its standard error so far.
    QByteArray errorText();

private:
    QProcess m_process;
    QByteArray m_error;
    quint16 m_port = 0;
};

struct HttpAnswer {
    int status = 0; // 0: no answer
    QByteArray contentType;
    QByteArray body;
};

// GET http://127.0.0.1:PORT/PATH with the given headers.
HttpAnswer HttpGet(quint16 port, const QByteArray &path,
                   const QList<QPair<QByteArray, QByteArray>> &headers = {}, int timeoutMs = 10000);

// The result file's echo lines (its header left out); empty when it is missing.
QList<QByteArray> ResultFileEchoes(const QString &dataFolder);

// Writes a settings file with these texts (key name -> value).
void WriteSettings(const QList<QPair<QString, QString>> &values);

// Raises this process's open-file limit as far as it may go (a test that opens
// many connections).
void RaiseOpenFileLimit();

} // namespace netvane::test
