#pragma once
// The operating-system services of the scan probe program, in plain C++ (the probe
// program links no Qt and starts once per address, so its start must stay cheap):
// one ICMP echo, the reverse name, the neighbour table, the answer datagram to the
// main window's channel, and starting a copy of itself.

#include <string>

namespace netvane::probesys {

struct Echo {
    bool answered = false;
    unsigned timeMs = 0;
    unsigned ttl = 0;
};

// True when an ICMP echo socket (datagram, else raw) can be opened here.
bool canOpenEchoSocket();

// One echo request (ICMP, or ICMPv6 for an IPv6 address) with the given payload,
// waiting up to timeoutMs. An invalid address, a socket that cannot be opened or
// any error counts as no answer.
Echo echoOnce(const std::string &address, const std::string &payload, int timeoutMs);

// The name the address (of either family) maps back to, or empty.
std::string reverseName(const std::string &address);

// The address's hardware address in the kernel neighbour table (for IPv6 the
// neighbour table through netlink), upper case and dash-separated
// ("00-1A-2B-3C-4D-5E"); empty when absent or incomplete.
std::string neighbourMac(const std::string &address, const char *table = "/proc/net/arp");

// Sends one datagram to the abstract Unix socket of that name. False on failure.
bool sendToChannel(const std::string &name, const std::string &datagram);

// Starts this same executable again with one argument, without waiting for it.
bool startCopyOfSelf(const std::string &argument);

// This process gets SIGKILL when the process that started it ends (a killed window
// leaves no command running on).
void endWithParent();

// Gives the processor to others once.
void yieldOnce();

} // namespace netvane::probesys
