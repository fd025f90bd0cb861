// A stranger's stand-in for the running program: it listens on a local socket
// at the given path and answers "ok" to every line, printing each line it
// gets, so a test can tell whether a start of ours talked to it.
//
//   answering_socket PATH
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2 || std::strlen(argv[1]) >= sizeof(sockaddr_un::sun_path)) {
        std::fprintf(stderr, "usage: answering_socket PATH\n");
        return 2;
    }
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, argv[1]);
    ::umask(0);
    if (::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(server, 8) != 0) {
        std::perror("answering_socket");
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (;;) {
        const int client = ::accept(server, nullptr, nullptr);
        if (client < 0) {
            continue;
        }
        char buffer[256];
        const ssize_t got = ::read(client, buffer, sizeof(buffer) - 1);
        if (got > 0) {
            buffer[got] = '\0';
            std::printf("got %s", buffer);
            (void)!::write(client, "ok\n", 3);
        }
        ::close(client);
    }
}
