#include "monitor/metricsserver.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QList>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <exception>

namespace netvane {

namespace {

// A client that asks for page after page without reading them would have them all
// kept for it.
constexpr qint64 MaxUnsentReply = 4 * 1024 * 1024;

// Accepts connections and holds each one within the bounds: a deadline for each
// request, a cap on what one request may send, and a cap on connections where the
// oldest that never got an answer goes first.
class GuardedTcpServer final : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        makeRoom();
        // The request is parsed from what the socket buffers: a request larger than
        // this never completes and meets its deadline.
        socket->setReadBufferSize(MetricsServer::MaxRequestBytes);
        auto *deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        deadline->setInterval(MetricsServer::RequestDeadlineMs);
        connect(deadline, &QTimer::timeout, socket, [socket] { drop(socket); });
        // An answer going out gives the connection a new deadline for its next request.
        connect(socket, &QTcpSocket::bytesWritten, deadline, [socket, deadline] {
            socket->setProperty("answered", true);
            deadline->start();
        });
        connect(socket, &QObject::destroyed, this, [this, socket] { m_connections.removeOne(socket); });
        deadline->start();
        m_connections.append(socket);
        addPendingConnection(socket);
    }

private:
    static void drop(QTcpSocket *socket)
    {
        socket->abort();
        socket->deleteLater();
    }

    void makeRoom()
    {
        if (m_connections.size() < MetricsServer::MaxConnections)
            return;
        QTcpSocket *victim = m_connections.first();
        for (QTcpSocket *s : std::as_const(m_connections)) {
            if (!s->property("answered").toBool()) {
                victim = s;
                break;
            }
        }
        m_connections.removeOne(victim);
        drop(victim);
    }

    QList<QTcpSocket *> m_connections; // oldest first
};

class HttpFront final : public QAbstractHttpServer
{
public:
    explicit HttpFront(const MetricsServer::Page &page) : m_page(page) {}

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        if (request.url().path() != u"/metrics")
            return false;
        if (socket->bytesToWrite() > MaxUnsentReply) {
            socket->abort();
            return true;
        }
        QHttpServerResponder responder = makeResponder(request, socket);
        if (request.method() != QHttpServerRequest::Method::Get) {
            responder.write(QByteArray("Only GET is served here.\n"),
                            {{"Content-Type", "text/plain; charset=utf-8"}, {"Allow", "GET"}},
                            QHttpServerResponder::StatusCode::MethodNotAllowed);
            return true;
        }
        QByteArray accept;
        bool close = false;
        for (const auto &[name, value] : request.headers()) {
            if (name.compare("accept", Qt::CaseInsensitive) == 0)
                accept += (accept.isEmpty() ? "" : ",") + value;
            else if (name.compare("connection", Qt::CaseInsensitive) == 0)
                close = close || value.trimmed().compare("close", Qt::CaseInsensitive) == 0;
        }
        // A client that asked for the connection to close reads until it closes.
        const auto closeAfter = qScopeGuard([socket, close] {
            if (close)
                socket->disconnectFromHost();
        });
        const MetricsFormat format = NegotiateMetricsFormat(accept);
        QByteArray page;
        try {
            page = m_page(format);
        } catch (const std::exception &e) {
            responder.write(QByteArray(e.what()) + '\n', "text/plain; charset=utf-8",
                            QHttpServerResponder::StatusCode::InternalServerError);
            return true;
        }
        responder.write(page, {{"Content-Type", MetricsContentType(format)}});
        return true;
    }

    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        makeResponder(request, socket)
            .write(QByteArray("Not found: the metrics are at /metrics.\n"), "text/plain; charset=utf-8",
                   QHttpServerResponder::StatusCode::NotFound);
    }

private:
    MetricsServer::Page m_page;
};

double qualityOf(const QByteArray &range)
{
    for (const QByteArray &param : range.split(';')) {
        const QByteArray p = param.trimmed();
        if (p.startsWith("q=")) {
            bool ok = false;
            const double q = p.mid(2).toDouble(&ok);
            return ok ? q : 0;
        }
    }
    return 1;
}

} // namespace

QString MetricsAddress::text() const
{
    const QString h = host.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + host.toString() + u']'
                                                                        : host.toString();
    return h + u':' + QString::number(port);
}

std::optional<MetricsAddress> ParseMetricsAddress(const QString &input, QString *why)
{
    const auto fail = [&](const QString &reason) -> std::optional<MetricsAddress> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const QString text = input.trimmed();
    MetricsAddress address;
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(u':');
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0 || close + 1 != colon)
            return fail(u"\"%1\" is not [IPv6 address]:port"_qs.arg(text));
        address.host = QHostAddress(text.mid(1, close - 1));
        if (address.host.protocol() != QAbstractSocket::IPv6Protocol)
            return fail(u"\"%1\" is no IPv6 address"_qs.arg(text.mid(1, close - 1)));
        portText = text.mid(colon + 1);
    } else if (colon >= 0) {
        if (text.indexOf(u':') != colon)
            return fail(u"an IPv6 address is written in brackets: [%1]:port"_qs.arg(text.left(colon)));
        address.host = QHostAddress(text.left(colon));
        if (address.host.protocol() != QAbstractSocket::IPv4Protocol)
            return fail(u"\"%1\" is no IPv4 address (a host name is not looked up)"_qs.arg(text.left(colon)));
        portText = text.mid(colon + 1);
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535 || portText.startsWith(u'+'))
        return fail(u"\"%1\" is no port number (0 to 65535)"_qs.arg(portText));
    address.port = quint16(port);
    return address;
}

MetricsFormat NegotiateMetricsFormat(QByteArrayView accept)
{
    double openMetrics = 0;
    double text = 0;
    for (const QByteArray &range : accept.toByteArray().split(',')) {
        const QByteArray type = range.split(';').first().trimmed().toLower();
        const double q = qualityOf(range);
        if (type == "application/openmetrics-text")
            openMetrics = qMax(openMetrics, q);
        else if (type == "text/plain" || type == "text/*" || type == "*/*")
            text = qMax(text, q);
    }
    return openMetrics > 0 && openMetrics >= text ? MetricsFormat::OpenMetrics
                                                 : MetricsFormat::PrometheusText;
}

QByteArray MetricsContentType(MetricsFormat format)
{
    return format == MetricsFormat::OpenMetrics
               ? QByteArray("application/openmetrics-text; version=1.0.0; charset=utf-8")
               : QByteArray("text/plain; version=0.0.4; charset=utf-8");
}

struct MetricsServer::Thread {
    QThread thread;
    QObject *context = nullptr; // lives on the thread: what is run there is run through it
    GuardedTcpServer *tcp = nullptr;
    HttpFront *front = nullptr;
};

MetricsServer::MetricsServer(Page page) : m_page(std::move(page)) {}

MetricsServer::~MetricsServer()
{
    stop();
}

bool MetricsServer::start(const MetricsAddress &address, QString *error)
{
    stop();
    auto t = std::make_unique<Thread>();
    t->thread.setObjectName(u"MetricsServer"_qs);
    t->context = new QObject;
    t->context->moveToThread(&t->thread);
    t->thread.start();
    QString why;
    QMetaObject::invokeMethod(t->context, [&] {
        t->tcp = new GuardedTcpServer;
        // Room in the kernel's queue for a burst of connections: one that does not fit
        // there is refused before the guards could make room for it.
        t->tcp->setListenBacklogSize(MaxConnections * 2);
        if (!t->tcp->listen(address.host, address.port)) {
            why = t->tcp->errorString();
            delete t->tcp;
            t->tcp = nullptr;
            return;
        }
        m_bound = address;
        m_bound.port = t->tcp->serverPort();
        t->front = new HttpFront(m_page);
        t->front->bind(t->tcp); // the front takes it over, with its connections
    }, Qt::BlockingQueuedConnection);
    m_thread = std::move(t);
    if (m_thread->tcp)
        return true;
    stop();
    if (error)
        *error = u"Cannot serve the metrics on "_qs + address.text() + u": "_qs + why;
    return false;
}

void MetricsServer::stop()
{
    if (!m_thread)
        return;
    Thread &t = *m_thread;
    QMetaObject::invokeMethod(t.context, [&t] {
        delete t.front; // and with it the listening server and every connection
        t.front = nullptr;
        t.tcp = nullptr;
    }, Qt::BlockingQueuedConnection);
    t.thread.quit();
    t.thread.wait();
    delete t.context;
    m_thread.reset();
}

bool MetricsServer::isListening() const
{
    return m_thread && m_thread->tcp;
}

MetricsAddress MetricsServer::boundAddress() const
{
    return m_bound;
}

} // namespace netvane
