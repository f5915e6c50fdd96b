#include "online/NetworkCheck.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

bool GetIPFromHost(QString &host, QString &address, QString &error)
{
    address.clear();
    char name[101] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    host = QString::fromLocal8Bit(name);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int code = ::getaddrinfo(name, nullptr, &hints, &found);
    // A host name without an address is no network either.
    if (code != 0 || !found) {
        error = QString::fromLocal8Bit(gai_strerror(code));
        return false;
    }
    char text[INET6_ADDRSTRLEN] = {};
    const void *raw = found->ai_family == AF_INET
        ? static_cast<const void *>(&reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr)
        : static_cast<const void *>(&reinterpret_cast<const sockaddr_in6 *>(found->ai_addr)->sin6_addr);
    if (::inet_ntop(found->ai_family, raw, text, sizeof text))
        address = QString::fromLatin1(text);
    ::freeaddrinfo(found);
    return true;
}
