#include "support/headless.h"

#include "app/appsettings.h"
#include "ping/resultstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

namespace netvane::test {

HeadlessChild::HeadlessChild(const QString &program, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    m_process.setProcessEnvironment(env);
    QStringList all{u"--headless"_qs};
    all << arguments;
    if (!arguments.contains(u"--metrics"_qs))
        all << u"--metrics"_qs << u"127.0.0.1:0"_qs;
    m_process.start(program, all);
}

HeadlessChild::~HeadlessChild()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QByteArray HeadlessChild::errorText()
{
    m_error += m_process.readAllStandardError();
    return m_error;
}

bool HeadlessChild::waitForMetrics(int timeoutMs)
{
    static const QRegularExpression said(u"metrics at http://\\S+:(\\d+)/metrics"_qs);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs) {
        const QRegularExpressionMatch m = said.match(QString::fromLocal8Bit(errorText()));
        if (m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            return true;
        }
        if (m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(100);
    }
    return false;
}

bool HeadlessChild::stop(int signalNumber, int timeoutMs)
{
    ::kill(pid_t(m_process.processId()), signalNumber);
    const bool ended = m_process.waitForFinished(timeoutMs);
    errorText();
    return ended;
}

HttpAnswer HttpGet(quint16 port, const QByteArray &path, const QList<QPair<QByteArray, QByteArray>> &headers,
                   int timeoutMs)
{
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(QUrl(u"http://127.0.0.1:%1"_qs.arg(port) + QString::fromLatin1(path)));
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs + 1000, &loop, &QEventLoop::quit);
    loop.exec();
    HttpAnswer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    answer.body = reply->readAll();
    reply->deleteLater();
    return answer;
}

QList<QByteArray> ResultFileEchoes(const QString &dataFolder)
{
    QFile file(QDir(dataFolder).filePath(ResultFileName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty())
        lines.removeFirst();   // the header
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();    // after the last line end
    for (QByteArray &line : lines)
        line = line.trimmed();
    return lines;
}

void WriteSettings(const QList<QPair<QString, QString>> &values)
{
    AppSettings settings;
    for (const auto &[name, value] : values) {
        for (int k = 0; k < AppSettings::KeyCount; ++k) {
            if (AppSettings::keyName(AppSettings::Key(k)) == name)
                settings.setValue(AppSettings::Key(k), value);
        }
    }
    QString error;
    QVERIFY2(settings.save(&error), qPrintable(error));
}

void RaiseOpenFileLimit()
{
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace netvane::test
