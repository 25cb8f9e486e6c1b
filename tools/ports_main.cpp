// comterm-ports: which port numbers lead where, and pinning a number by hand.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/device/port_scan.h"

namespace {

const char Usage[] =
    "usage: comterm-ports            list the serial ports present, by number\n"
    "       comterm-ports pin N DEV  make port N lead to device DEV (e.g. /dev/ttyUSB0), or to\n"
    "                                a port served over the network: rfc2217://HOST:PORT\n"
    "                                (RFC 2217, as ser2net serves it) or tcp://HOST:PORT\n"
    "       comterm-ports --help\n"
    "Before either: --root DIR looks for devices under DIR/dev and DIR/sys and keeps the\n"
    "numbers in DIR/ports (unless $COMTERM_PORTS is set), for trying the numbering on a\n"
    "made-up tree.\n"
    "\n"
    "Each USB or ACM serial adapter gets a port number from 3 up the first time it is\n"
    "seen, and keeps it: the number is a link COM<N> to the adapter's stable name in the\n"
    "ports directory ($COMTERM_PORTS, else $XDG_CONFIG_HOME/comterm/ports, else\n"
    "~/.config/comterm/ports), named exactly COM<N> without leading zeros. Port N with no\n"
    "link is the built-in /dev/ttyS<N-1>.\n";

// A whole decimal number in 0..255; -1 otherwise.
int PortNumber(const char* text) {
    if (!*text || std::strlen(text) > 3 || std::strspn(text, "0123456789") != std::strlen(text)) return -1;
    const int number = std::atoi(text);
    return number <= 255 ? number : -1;
}

}  // namespace

int main(int argc, char** argv) {
    platform::PortRoots roots = platform::PortRoots::System();
    if (argc >= 3 && std::string(argv[1]) == "--root") {
        roots = platform::PortRoots::Under(argv[2]);
        argv[2] = argv[0];
        argc -= 2;
        argv += 2;
    }
    if (argc == 1) {
        std::printf("%s\n", platform::ListPorts(roots).c_str());
        return 0;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (command == "pin" && argc == 4) {
        const int number = PortNumber(argv[2]);
        std::string error = "port numbers run from 0 to 255";
        if (number >= 0 && platform::PinPort(number, argv[3], roots, error)) {
            std::printf("COM%d -> %s (in %s)\n", number, argv[3], roots.ports.c_str());
            return 0;
        }
        std::fprintf(stderr, "comterm-ports: %s\n", error.c_str());
        return 1;
    }
    std::fputs(Usage, stderr);
    return 2;
}
