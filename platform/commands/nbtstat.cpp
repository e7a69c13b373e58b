// The program's own "nbtstat -a ADDRESS": the hardware address of the local
// interface that holds ADDRESS, as "MAC Address = XX-XX-XX-XX-XX-XX".

#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3 || (std::strcmp(argv[1], "-a") != 0 && std::strcmp(argv[1], "-A") != 0)) {
        std::printf("Shows the hardware address of a local interface.\n\n  nbtstat -a ADDRESS\n");
        return 1;
    }
    const std::string wanted = argv[2];
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0) {
        std::printf("Host not found.\n");
        return 1;
    }
    std::string device;
    for (ifaddrs *a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN];
        const auto *in = reinterpret_cast<const sockaddr_in *>(a->ifa_addr);
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) && wanted == text) {
            device = a->ifa_name;
            break;
        }
    }
    // The interface's hardware address from its packet entry (this network
    // namespace's own view, unlike /sys, which shows the namespace that mounted it).
    std::string mac;
    for (ifaddrs *a = list; a && !device.empty(); a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET || device != a->ifa_name)
            continue;
        const auto *ll = reinterpret_cast<const sockaddr_ll *>(a->ifa_addr);
        if (ll->sll_halen != 6)
            continue;
        char text[18];
        std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", ll->sll_addr[0],
                      ll->sll_addr[1], ll->sll_addr[2], ll->sll_addr[3], ll->sll_addr[4],
                      ll->sll_addr[5]);
        mac = text;
        break;
    }
    ::freeifaddrs(list);
    if (mac.size() != 17) {
        std::printf("Host not found.\n");
        return 1;
    }
    for (char &c : mac)
        c = c == ':' ? '-' : char(std::toupper(static_cast<unsigned char>(c)));
    std::printf("\n%s:\nNode IpAddress: [%s] Scope Id: []\n\n", device.c_str(), wanted.c_str());
    std::printf("    MAC Address = %s\n\n", mac.c_str());
    return 0;
}
