// The program's own "arp -a": the kernel neighbour table, one block per interface,
//     ADDRESS          XX-XX-XX-XX-XX-XX          dynamic
// so that after four blanks and an address the next 27 characters hold only blanks
// and the MAC (the scanner reads the MAC from exactly there).

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <arpa/inet.h>
#include <map>
#include <net/if.h>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string address;
    std::string mac;
    bool permanent = false;
};

std::string interfaceAddress(const std::string &name)
{
    ifaddrs *list = nullptr;
    std::string found;
    if (::getifaddrs(&list) != 0)
        return found;
    for (ifaddrs *a = list; a; a = a->ifa_next) {
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET && name == a->ifa_name) {
            char text[INET_ADDRSTRLEN];
            const auto *in = reinterpret_cast<const sockaddr_in *>(a->ifa_addr);
            if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
                found = text;
            break;
        }
    }
    ::freeifaddrs(list);
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    const bool all = argc >= 2 && (std::strcmp(argv[1], "-a") == 0 || std::strcmp(argv[1], "-g") == 0);
    if (!all) {
        std::printf("Displays the neighbour (ARP) table.\n\n  arp -a\n");
        return argc >= 2 ? 1 : 0;
    }
    FILE *file = std::fopen("/proc/net/arp", "re");
    if (!file) {
        std::printf("No ARP Entries Found.\n");
        return 1;
    }
    std::vector<std::string> order;
    std::map<std::string, std::vector<Entry>> byDevice;
    char line[512];
    while (std::fgets(line, sizeof line, file)) {
        char ip[64], type[32], flags[32], hw[64], mask[32], dev[64];
        if (std::sscanf(line, "%63s %31s %31s %63s %31s %63s", ip, type, flags, hw, mask, dev) != 6)
            continue;
        const unsigned long f = std::strtoul(flags, nullptr, 16);
        std::string mac(hw);
        if ((f & 0x2) == 0 || mac.size() != 17 || mac == "00:00:00:00:00:00")
            continue; // incomplete or failed: no hardware address to show
        for (char &c : mac)
            c = c == ':' ? '-' : char(std::tolower(static_cast<unsigned char>(c)));
        if (!byDevice.count(dev))
            order.push_back(dev);
        byDevice[dev].push_back({ip, mac, (f & 0x4) != 0});
    }
    std::fclose(file);
    if (order.empty()) {
        std::printf("No ARP Entries Found.\n");
        return 0;
    }
    for (const std::string &dev : order) {
        std::printf("\nInterface: %s --- %s\n", interfaceAddress(dev).c_str(), dev.c_str());
        std::printf("  Internet Address      Physical Address      Type\n");
        for (const Entry &e : byDevice[dev])
            std::printf("    %-15s %s          %s\n", e.address.c_str(), e.mac.c_str(),
                        e.permanent ? "static" : "dynamic");
    }
    return 0;
}
