#pragma once
// The real program run headless as a child, as on a bare server (no display
// variables), and what its tests read and write around it.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QStringList>

namespace netvane::test {

class HeadlessChild final
{
public:
    // `program --headless ARGUMENTS`, serving on a free loopback port unless told.
    HeadlessChild(const QString &program, const QStringList &arguments);
    ~HeadlessChild(); // kills a child still running

    // Until the run says where its metrics are; false when it ended first.
    bool waitForMetrics(int timeoutMs = 30000);
    quint16 port() const { return m_port; }
    bool stop(int signalNumber, int timeoutMs = 20000); // false: still running
    QProcess &process() { return m_process; }
    QByteArray errorText(); // its standard error so far

private:
    QProcess m_process;
    QByteArray m_error;
    quint16 m_port = 0;
};

struct HttpAnswer {
    int status = 0; // 0: no answer
    QByteArray contentType, body;
};
HttpAnswer HttpGet(quint16 port, const QByteArray &path,
                   const QList<QPair<QByteArray, QByteArray>> &headers = {}, int timeoutMs = 10000);

// The result file's echo lines, its header left out.
QList<QByteArray> ResultFileEchoes(const QString &dataFolder);
// A settings file with these values (key name, value).
void WriteSettings(const QList<QPair<QString, QString>> &values);
// A list file of these items in the folder; its path.
QString WriteList(const QString &folder, const QStringList &items);

} // namespace netvane::test
