#pragma once
// The HTTP endpoint that Prometheus scrapes: GET /metrics answers with the page the
// owner renders, in the Prometheus text format or in OpenMetrics when the Accept
// header asks for it. Everything else gets a short error answer.
//
// The server (Qt HTTP Server) runs on a thread of its own, so no client can hold up
// the echoes: the page function is called on that thread and must only read what is
// safe to read there (the metrics registry, never a window or a run loop). Clients
// are kept within bounds: a connection has RequestDeadlineMs to send each request,
// a request may hold MaxRequestBytes, and beyond MaxConnections the oldest
// connection that never got an answer makes room for the newest.

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace netvane {

inline constexpr quint16 DefaultMetricsPort = 9374;

struct MetricsAddress {
    QHostAddress host = QHostAddress(QHostAddress::LocalHost);
    quint16 port = DefaultMetricsPort; // 0: any free port
    // "127.0.0.1:9374", "[::1]:9374"
    QString text() const;
};

// "ADDRESS:PORT", "[IPv6]:PORT", or a PORT alone for loopback. Only literal
// addresses: naming a host would send a look-up out. Nothing, with the reason, for
// anything else.
std::optional<MetricsAddress> ParseMetricsAddress(const QString &text, QString *why = nullptr);

enum class MetricsFormat { PrometheusText, OpenMetrics };

// The format an Accept header asks for: OpenMetrics when the client accepts it at
// least as much as the text format (Prometheus itself asks for it first).
MetricsFormat NegotiateMetricsFormat(QByteArrayView accept);
QByteArray MetricsContentType(MetricsFormat format);

class MetricsServer final
{
public:
    using Page = std::function<QByteArray(MetricsFormat)>;

    static constexpr int MaxConnections = 512;
    static constexpr qint64 MaxRequestBytes = 16 * 1024;
    static constexpr int RequestDeadlineMs = 10000;

    explicit MetricsServer(Page page);
    ~MetricsServer();
    MetricsServer(const MetricsServer &) = delete;
    MetricsServer &operator=(const MetricsServer &) = delete;

    // Listens on the address (the server thread is started); false with the
    // system's reason when it cannot.
    bool start(const MetricsAddress &address, QString *error = nullptr);
    // Closes every connection and ends the thread.
    void stop();
    bool isListening() const;
    // The address as bound (the real port when 0 was asked for).
    MetricsAddress boundAddress() const;

private:
    struct Thread;
    Page m_page;
    std::unique_ptr<Thread> m_thread;
    MetricsAddress m_bound;
};

} // namespace netvane
