// The program's own "nbtstat -a ADDRESS": the hardware address of the local
// interface that holds ADDRESS, as "MAC Address = XX-XX-XX-XX-XX-XX".

#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
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
    ::freeifaddrs(list);
    if (device.empty() || device.find('/') != std::string::npos) {
        std::printf("Host not found.\n");
        return 1;
    }
    std::string mac;
    if (FILE *file = std::fopen(("/sys/class/net/" + device + "/address").c_str(), "re")) {
        char line[64] = {};
        if (std::fgets(line, sizeof line, file))
            mac = line;
        std::fclose(file);
    }
    while (!mac.empty() && std::isspace(static_cast<unsigned char>(mac.back())))
        mac.pop_back();
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
