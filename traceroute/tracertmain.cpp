// The tracert command: the route to a host, hop by hop, with ICMP echoes of rising
// TTL, three probes a hop sent together.
//
//   tracert [-d] [-4 | -6 | -a] [-h maximum_hops] [-j host-list] [-w timeout] target_name
//
// An IPv6 address, or a name with -6 (with -a: a name whose first address is IPv6;
// a name is IPv4's otherwise), is traced with ICMPv6 echoes of rising hop
// limit, in the same layout; -j is IPv4's alone.
//
// Output, one line flushed at a time (the window polls the file it is appended to):
// a blank line, "Tracing route to ...", the hop-limit line, a blank line, one line per
// hop, a blank line and "Trace complete.". A target that cannot be resolved gives one
// line and exit code 1. Output that cannot be written (a full disk) ends the command
// at once with exit code 3 and the system's reason on standard error. The command
// ends with the program that started it.

#include "platform/hopprober.h"
#include "platform/probesystem.h"
#include "traceroute/tracertcommand.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace netvane::platform;

namespace {

const char *const Usage =
    "Usage: tracert [-d] [-4 | -6 | -a] [-h maximum_hops] [-j host-list] [-w timeout] target_name\n";

// Each piece reaches the output file at once; one that cannot be written ends the
// command, with the reason where the window reads it.
void say(const std::string &text)
{
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "%s\n", std::strerror(errno));
        std::_Exit(netvane::TracertOutputFailedExit);
    }
}

int fail(const std::string &line)
{
    say(line + '\n');
    return 1;
}

bool number(const char *text, long lowest, long highest, int &value)
{
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < lowest || v > highest)
        return false;
    value = int(v);
    return true;
}

std::string probeText(const HopAnswer &a)
{
    char text[32];
    if (a.kind == HopAnswer::None || a.kind == HopAnswer::SendError)
        return "    *    ";
    if (a.ms < 1)
        return "   <1 ms ";
    std::snprintf(text, sizeof text, "%5ld ms ", long(a.ms + 0.5));
    return text;
}

// An unreachable's code in words; ICMPv6 codes in the words of their IPv4 counterparts.
const char *unreachableText(int family, int code)
{
    if (family == AF_INET6) {
        switch (code) {
        case 0: return "Destination net unreachable.";  // no route
        case 3: return "Destination host unreachable."; // address unreachable
        case 4: return "Destination port unreachable.";
        default: return "Destination unreachable.";
        }
    }
    switch (code) {
    case 0: return "Destination net unreachable.";
    case 1: return "Destination host unreachable.";
    case 2: return "Destination protocol unreachable.";
    case 3: return "Destination port unreachable.";
    case 5: return "Source route failed.";
    default: return "Destination unreachable.";
    }
}

} // namespace

int main(int argc, char **argv)
{
    // Asked again here: starting a program that carries a capability (cap_net_raw)
    // clears what the parent asked for before starting it.
    netvane::probesys::endWithParent();
    bool resolveNames = true;
    int family = AF_INET; // of a name: -6 IPv6, -a the first address the resolver gives
    int maxHops = 30;
    int timeoutMs = 4000;
    std::string routeText;
    std::string target;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            if (i + 1 < argc && target.empty())
                target = argv[++i];
            if (i + 1 < argc)
                return fail("Only one target may be given.");
            break;
        }
        if (arg == "-d") {
            resolveNames = false;
        } else if (arg == "-4" || arg == "-6" || arg == "-a") {
            family = arg == "-4" ? AF_INET : arg == "-6" ? AF_INET6 : AF_UNSPEC;
        } else if (arg == "-h" || arg == "-w" || arg == "-j") {
            if (i + 1 >= argc) {
                say(Usage);
                return 1;
            }
            const char *value = argv[++i];
            if (arg == "-h" && !number(value, 1, 255, maxHops))
                return fail("Bad value for option -h, valid range is from 1 to 255.");
            if (arg == "-w" && !number(value, 1, 3600000, timeoutMs))
                return fail("Bad value for option -w, valid range is from 1 to 3600000.");
            if (arg == "-j")
                routeText = value;
        } else if (!arg.empty() && arg[0] == '-') {
            say("Bad option " + arg + ".\n");
            say(Usage);
            return 1;
        } else if (target.empty()) {
            target = arg;
        } else {
            return fail("Only one target may be given.");
        }
    }
    if (target.empty()) {
        say(Usage);
        return 1;
    }

    // An address is traced on its own family; -4, -6 and -a choose for a name.
    IpAddress address;
    if (!ResolveHost(target, family, address))
        return fail("Unable to resolve target system name " + target + ".");
    if (address.family != AF_INET && !routeText.empty())
        return fail("A loose source route (-j) is for IPv4 only.");
    std::vector<IpAddress> route;
    for (size_t at = 0; at < routeText.size();) {
        const size_t end = routeText.find_first_of(" ,", at);
        const std::string host = routeText.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? routeText.size() : end + 1;
        if (host.empty())
            continue;
        IpAddress hop;
        if (!ResolveHost(host, AF_INET, hop) || hop.family != AF_INET)
            return fail("Unable to resolve source route host " + host + ".");
        route.push_back(hop);
    }

    HopProber prober;
    std::string error;
    if (!prober.open(address.family, error)
        || (!route.empty() && !prober.setLooseSourceRoute(route, address, error)))
        return fail(error);

    std::map<std::string, std::string> names;
    auto shown = [&](const IpAddress &a) {
        const std::string text = IpAddressText(a);
        if (!resolveNames)
            return text;
        auto found = names.find(text);
        if (found == names.end())
            found = names.emplace(text, ReverseName(a)).first;
        return found->second.empty() ? text : found->second + " [" + text + "]";
    };

    const std::string addressText = IpAddressText(address);
    std::string title = addressText;
    if (target != addressText)
        title = target + " [" + addressText + "]";
    else if (resolveNames)
        title = shown(address);
    say("\nTracing route to " + title + "\nover a maximum of " + std::to_string(maxHops)
        + " hops:\n\n");

    for (int ttl = 1; ttl <= maxHops; ++ttl) {
        const auto answers = prober.probe(address, ttl, timeoutMs);
        std::string line;
        char hop[8];
        std::snprintf(hop, sizeof hop, "%3d  ", ttl);
        line = hop;
        const HopAnswer *responder = nullptr;
        bool reached = false;
        bool unreachable = false;
        int sendError = 0;
        for (const HopAnswer &a : answers) {
            line += probeText(a);
            if (a.kind == HopAnswer::SendError)
                sendError = a.code;
            if (a.kind == HopAnswer::None || a.kind == HopAnswer::SendError)
                continue;
            if (!responder)
                responder = &a;
            reached = reached || a.kind == HopAnswer::EchoReply;
            unreachable = unreachable || a.kind == HopAnswer::Unreachable;
        }
        if (responder) {
            line += " " + shown(responder->from);
            if (unreachable && !reached)
                line += std::string(" reports: ") + unreachableText(address.family, responder->code);
        } else if (sendError) {
            line += " Transmit error: ";
            if (sendError == ENETUNREACH)
                line += "Destination net unreachable.";
            else if (sendError == EHOSTUNREACH)
                line += "Destination host unreachable.";
            else
                line += std::string(std::strerror(sendError)) + '.';
        } else {
            line += " Request timed out.";
        }
        say(line + '\n');
        if (reached || unreachable || (sendError && !responder))
            break;
    }
    say("\nTrace complete.\n");
    return 0;
}
