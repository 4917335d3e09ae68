// The baseline of the bus throughput: a bare UDP responder that answers
// every command datagram with its acknowledgement and does nothing else.
// Usage: orvanta-bench-responder ADDRESS PORT
#include "simwire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ADDRESS PORT\n", argv[0]);
        return 2;
    }
    sockaddr_in own{};
    own.sin_family = AF_INET;
    own.sin_port = htons(quint16(std::atoi(argv[2])));
    if (inet_pton(AF_INET, argv[1], &own.sin_addr) != 1) {
        std::fprintf(stderr, "%s: not an IPv4 address: %s\n", argv[0], argv[1]);
        return 2;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&own), sizeof own) != 0) {
        std::perror("bind");
        return 1;
    }

    std::vector<QByteArray> acks;
    for (int n = 0; n < 256; ++n)
        acks.push_back(SimWire::ack(n, 0));

    char buffer[2048];
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t size =
            ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (size < 7 || std::memcmp(buffer, "MsgNo:", 6) != 0)
            continue;
        int number = 0;
        for (ssize_t i = 6; i < size && buffer[i] >= '0' && buffer[i] <= '9' && number < 256; ++i)
            number = number * 10 + (buffer[i] - '0');
        const QByteArray& ack = acks[size_t(number & 0xFF)];
        ::sendto(fd, ack.constData(), size_t(ack.size()), 0, reinterpret_cast<sockaddr*>(&from),
                 fromLength);
    }
}
