#pragma once
// The one thing the probe program and the scanner share: the answer message and the
// datagram that carries it. A probe answers each address with one text
//   "INDEX,TIME,TTL,HOST,MAC"   (the address answered; HOST and MAC may be empty)
//   "INDEX,Dead"                (no answer to either echo)
// sent as one datagram to the main window's channel, an abstract Unix socket named
// after the "window handle" of the command line (a random decimal number). The datagram
// is a 4-byte kind (3 for a scan answer, in host order) followed by the text and
// its closing NUL, at most 257 bytes. Plain C++: the probe program links no Qt.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace netvane::scanmsg {

constexpr std::uint32_t AnswerKind = 3;
// The text buffer of one answer, the closing NUL included.
constexpr std::size_t TextBuffer = 257;
constexpr std::size_t MaxText = TextBuffer - 1;
constexpr std::size_t KindBytes = sizeof(std::uint32_t);
constexpr std::size_t MaxDatagram = KindBytes + TextBuffer;

// The probe started with this one argument only says, by its exit code, whether it
// can open an echo socket: 0 when it can, NoEchoSocketExit when it cannot.
inline constexpr const char *EchoCheckArgument = "--echo-check";
constexpr int NoEchoSocketExit = 3;

// The abstract socket name (without its leading NUL) for a window handle.
inline std::string channelName(std::string_view handle)
{
    return "netvane-scan." + std::string(handle);
}

// The datagram for a text; a text longer than the buffer is cut to fit.
inline std::string encode(std::uint32_t kind, std::string_view text)
{
    if (text.size() > MaxText)
        text = text.substr(0, MaxText);
    std::string datagram(KindBytes, '\0');
    std::memcpy(datagram.data(), &kind, KindBytes);
    datagram.append(text);
    datagram.push_back('\0');
    return datagram;
}

struct Decoded {
    bool valid = false;
    std::uint32_t kind = 0;
    std::string text; // cut at the first NUL
};

// Reads a received datagram; one shorter than its kind or longer than the largest
// answer is not valid.
inline Decoded decode(const char *data, std::size_t size)
{
    Decoded d;
    if (size < KindBytes || size > MaxDatagram)
        return d;
    std::memcpy(&d.kind, data, KindBytes);
    const char *text = data + KindBytes;
    const std::size_t length = size - KindBytes;
    const void *nul = std::memchr(text, '\0', length);
    d.text.assign(text, nul ? static_cast<const char *>(nul) - text : length);
    d.valid = true;
    return d;
}

// The answer of an address that replied. A host name too long for the buffer is
// shortened so that the index, time, TTL and MAC always arrive whole; commas and
// control characters in the name become blanks, as they would split or break the
// message's fields.
inline std::string answeredText(std::string_view index, unsigned time, unsigned ttl,
                                std::string_view host, std::string_view mac)
{
    std::string head = std::string(index) + ',' + std::to_string(time) + ',' + std::to_string(ttl) + ',';
    const std::string tail = ',' + std::string(mac);
    std::string name(host);
    for (char &c : name)
        if (c == ',' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    const std::size_t fixed = head.size() + tail.size();
    if (fixed >= MaxText)
        name.clear();
    else if (name.size() > MaxText - fixed)
        name.resize(MaxText - fixed);
    return head + name + tail;
}

inline std::string deadText(std::string_view index)
{
    return std::string(index) + ",Dead";
}

// The probe program's command line "HANDLE,ADDRESS,INDEX,ADDRESS2,INDEX2,ADDRESS3,
// INDEX3,PACING" split at its commas; always at least eight fields (missing ones empty).
inline std::vector<std::string> splitProbeLine(const std::string &line)
{
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos
                                                                       : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    fields.resize(std::max<std::size_t>(fields.size(), 8));
    return fields;
}

// The leading whole number of the pacing field; 0 when there is none ("A(7)" counts
// as 0). Reading stops once it passes 100000.
inline long pacingCount(const std::string &text)
{
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > 100000)
            break;
    }
    return value;
}

} // namespace netvane::scanmsg
