#include "platform/icmpsocket.h"

#include "platform/events.h"

#include <cstring>

namespace netvane::platform {

namespace {

// The window keeps processing events while we wait; this is the longest it waits
// between two rounds of events.
constexpr auto PollSlice = std::chrono::milliseconds(10);

} // namespace

std::optional<quint32> ParseDottedQuad(const QString &input)
{
    uint32_t address = 0;
    if (!ParseDottedQuadText(input.toUtf8().toStdString(), address))
        return std::nullopt;
    return address;
}

QString DottedQuadText(quint32 address)
{
    return QString::fromStdString(DottedQuadString(address));
}

std::optional<IpAddress> ParseEchoAddress(const QString &text)
{
    IpAddress address;
    if (!ParseIpAddress(text.toUtf8().toStdString(), address))
        return std::nullopt;
    return address;
}

QString EchoSocketProblem()
{
    if (!EchoSocketFailed())
        return {};
    return QStringLiteral(
        "Netvane cannot open an ICMP socket, so every echo fails with \"ip general failure\".\n\n"
        "Allow ICMP echo sockets for your group, for example:\n"
        "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
        "or give the program the raw-socket capability:\n"
        "    sudo setcap cap_net_raw+ep <path to netvane>");
}

QString CheckEchoSocket()
{
    EchoEngine engine;
    engine.open(AF_INET);
    return EchoSocketProblem();
}

EchoResult IcmpEcho(const IpAddress &address, const QByteArray &payload, int timeoutMs)
{
    // A socket lives for exactly one request, as the echo service's handle did.
    EchoEngine engine;
    EchoRequest request;
    request.to = address;
    request.payload = std::string_view(payload.constData(), size_t(payload.size()));
    request.timeoutMs = timeoutMs;
    engine.send(request);
    std::vector<EchoOutcome> settled;
    while (engine.poll(SteadyClock::now() + PollSlice, settled) == 0)
        LetWindowCatchUp();
    const EchoOutcome &o = settled.front();
    EchoResult result;
    result.status = o.status;
    result.from = o.from;
    if (o.from.family == AF_INET)
        std::memcpy(&result.replyAddress, o.from.bytes.data(), 4);
    if (o.status == 0) {
        result.roundTripMs = o.roundTripMs();
        result.dataSize = quint16(o.dataSize);
        result.ttl = quint8(qBound(0, o.ttl, 255));
    }
    return result;
}

} // namespace netvane::platform
