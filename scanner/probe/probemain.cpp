// The scan probe program. Started by the scanner once per address with one argument
//   HANDLE,ADDRESS,INDEX,ADDRESS2,INDEX2,ADDRESS3,INDEX3,PACING
// (the scanner fills only the first pair). For each address in turn it pings twice at
// most; the first one that answers hands the addresses after it to a copy of this
// program, looks up its name (and, when there is one, its neighbour-table MAC) and
// answers; an address that gives no answer is reported "Dead" and the next one is
// tried here. Every answer is one datagram to the main window's channel.

#include "platform/probesystem.h"
#include "scanner/probe/scanmessage.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace netvane;

namespace {

void send(const std::string &channel, const std::string &text)
{
    probesys::sendToChannel(channel, scanmsg::encode(scanmsg::AnswerKind, text));
}

// Probes one address; true when it answered (the rest was handed on).
bool probe(const std::vector<std::string> &f, int pair, const std::string &channel, long pacing)
{
    const std::string &address = f[std::size_t(1 + 2 * pair)];
    const std::string &index = f[std::size_t(2 + 2 * pair)];
    for (long i = 0; i <= pacing; ++i)
        probesys::yieldOnce();
    const std::string payload(32, 'A');
    probesys::Echo echo = probesys::echoOnce(address, payload, 1000);
    if (!echo.answered)
        echo = probesys::echoOnce(address, payload, 1000);
    if (!echo.answered) {
        send(channel, scanmsg::deadText(index));
        return false;
    }
    // The addresses after this one go on in a copy, only when there are any: a copy
    // with no address would answer for an empty index.
    std::string rest;
    for (int p = pair + 1; p < 3; ++p) {
        if (!f[std::size_t(1 + 2 * p)].empty()) {
            rest += ',' + f[std::size_t(1 + 2 * p)] + ',' + f[std::size_t(2 + 2 * p)];
        }
    }
    if (!rest.empty()) {
        // Always eight fields, the pacing field marked as a hand-off.
        int pairs = 0;
        for (char c : rest)
            pairs += c == ',';
        pairs /= 2;
        std::string line = f[0] + rest;
        for (int p = pairs; p < 3; ++p)
            line += ",,";
        line += ",A(7)";
        probesys::startCopyOfSelf(line);
    }
    const std::string name = probesys::reverseName(address);
    const std::string mac = name.empty() ? std::string() : probesys::neighbourMac(address);
    send(channel, scanmsg::answeredText(index, echo.timeMs, echo.ttl, name, mac));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    // The scanner asks first whether this copy can send at all (the right to open a
    // raw socket belongs to the file, not to the program that starts it).
    if (std::string(argv[1]) == scanmsg::EchoCheckArgument)
        return probesys::canOpenEchoSocket() ? 0 : scanmsg::NoEchoSocketExit;
    const std::vector<std::string> f = scanmsg::splitProbeLine(argv[1]);
    if (f[0].empty() || f[0].find_first_not_of("0123456789") != std::string::npos)
        return 2;
    const std::string channel = scanmsg::channelName(f[0]);
    for (int i = 0; i < 10; ++i)
        probesys::yieldOnce();
    const long pacing = scanmsg::pacingCount(f[7]);
    for (int pair = 0; pair < 3; ++pair) {
        if (pair > 0 && f[std::size_t(1 + 2 * pair)].empty())
            break;
        if (probe(f, pair, channel, pacing))
            break;
    }
    return 0;
}
