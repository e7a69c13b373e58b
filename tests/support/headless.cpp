#include "support/headless.h"

#include "app/appsettings.h"
#include "iplist/iplistfile.h"
#include "ping/resultstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace netvane::test {

HeadlessChild::HeadlessChild(const QString &program, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"QT_QPA_PLATFORM"_qs, u"DISPLAY"_qs, u"WAYLAND_DISPLAY"_qs})
        env.remove(name);
    m_process.setProcessEnvironment(env);
    QStringList all = QStringList{u"--headless"_qs} + arguments;
    if (!arguments.contains(u"--metrics"_qs))
        all << u"--metrics"_qs << u"127.0.0.1:0"_qs;
    m_process.start(program, all);
}

HeadlessChild::~HeadlessChild()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QByteArray HeadlessChild::errorText()
{
    return m_error += m_process.readAllStandardError();
}

bool HeadlessChild::waitForMetrics(int timeoutMs)
{
    static const QRegularExpression said(u"metrics at http://\\S+:(\\d+)/metrics"_qs);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs && m_process.state() != QProcess::NotRunning) {
        if (const auto m = said.match(QString::fromLocal8Bit(errorText())); m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            return true;
        }
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
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs + 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->readAll()};
}

QList<QByteArray> ResultFileEchoes(const QString &dataFolder)
{
    QFile file(QDir(dataFolder).filePath(ResultFileName));
    QList<QByteArray> lines = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split('\n')
                                                              : QList<QByteArray>();
    if (!lines.isEmpty())
        lines.removeFirst(); // the header
    for (QByteArray &line : lines)
        line = line.trimmed();
    return lines;
}

void WriteSettings(const QList<QPair<QString, QString>> &values)
{
    AppSettings settings;
    for (int k = 0; k < AppSettings::KeyCount; ++k)
        for (const auto &[name, value] : values)
            if (AppSettings::keyName(AppSettings::Key(k)) == name)
                settings.setValue(AppSettings::Key(k), value);
    QString error;
    QVERIFY2(settings.save(&error), qPrintable(error));
}

QString WriteList(const QString &folder, const QStringList &items)
{
    const QString path = QDir(folder).filePath(u"targets.txt"_qs);
    QString error;
    if (!WriteIpListFile(path, items, &error))
        qFatal("%s", qPrintable(error));
    return path;
}

} // namespace netvane::test
