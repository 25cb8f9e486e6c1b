// Port numbers for the serial adapters present, kept as links in the ports directory.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "platform/device/posix/port_map.h"
#include "platform/device/port_scan.h"

#include "platform/device/network_port.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr int FirstAdapterNumber = 3;  // 1 and 2 are the classic built-in ports
constexpr int LastPortNumber = 255;

// An adapter present: its stable name (under serial/by-id or by-path) and its node.
struct Adapter {
    std::string stable;
    std::string node;  // e.g. ttyUSB0
};

// The node a link leads to, relative to the device tree ("ttyUSB0", "pts/3"); "" when
// it leads nowhere.
std::string NodeOf(const std::string& path, const std::string& devRoot) {
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    if (error) return "";
    const std::string resolved = target.string();
    std::error_code ignored;
    const std::string dev = fs::canonical(devRoot, ignored).string() + "/";
    return resolved.rfind(dev, 0) == 0 ? resolved.substr(dev.size()) : resolved;
}

std::vector<std::string> SortedEntries(const std::string& folder) {
    std::vector<std::string> entries;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) entries.push_back(entry.path().string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<Adapter> FindAdapters(const PortRoots& roots) {
    std::vector<Adapter> adapters;
    std::set<std::string> seen;
    for (const char* folder : {"/serial/by-id", "/serial/by-path"}) {  // by-id first: it follows the adapter
        for (const std::string& stable : SortedEntries(roots.dev + folder)) {
            std::string node = NodeOf(stable, roots.dev);
            if (!node.empty() && seen.insert(node).second) adapters.push_back({stable, node});
        }
    }
    return adapters;
}

// A number already taken: by a COM<N> link in the ports directory (dangling ones
// included), or for this run only. `target` is what it names, `path` what resolves to
// the device.
struct Taken {
    std::string target;
    std::string path;
};

std::map<int, Taken> TakenNumbers(const std::string& ports) {
    std::map<int, Taken> taken;
    for (const std::string& path : SortedEntries(ports)) {
        const int number = PortNumberOfLink(fs::path(path).filename().string());
        if (number < 0) continue;
        std::error_code error;
        const fs::path target = fs::read_symlink(path, error);
        taken[number] = {error ? path : target.string(), path};
    }
    for (int number = 0; number <= LastPortNumber; ++number) {
        const std::string runOnly = RunOnlyPort(static_cast<uint8_t>(number));
        if (!runOnly.empty()) taken.emplace(number, Taken{runOnly, runOnly});
    }
    return taken;
}

// ttyS nodes with hardware behind them: sysfs gives an absent port the type 0.
std::map<int, std::string> BuiltInPorts(const PortRoots& roots) {
    std::map<int, std::string> ports;
    for (const std::string& path : SortedEntries(roots.sys + "/class/tty")) {
        const std::string name = fs::path(path).filename().string();
        // ttyS0 to ttyS254 are ports 1 to 255; other names are no port of ours.
        if (name.rfind("ttyS", 0) != 0 || name.size() == 4 || name.size() > 7 ||
            name.find_first_not_of("0123456789", 4) != std::string::npos)
            continue;
        std::ifstream typeFile(path + "/type");
        int type = 0;
        const int number = std::stoi(name.substr(4)) + 1;
        if (typeFile >> type && type != 0 && number <= LastPortNumber) ports[number] = name;
    }
    return ports;
}

std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// "FTDI FT232R USB UART": the USB device's manufacturer and product from sysfs, else
// the stable name made readable.
std::string DescribeAdapter(const Adapter& adapter, const PortRoots& roots) {
    std::error_code error;
    fs::path device = fs::canonical(roots.sys + "/class/tty/" + adapter.node + "/device", error);
    for (int level = 0; !error && level < 5 && !device.empty(); ++level, device = device.parent_path()) {
        const std::string product = FirstLine(device.string() + "/product");
        if (product.empty()) continue;
        const std::string maker = FirstLine(device.string() + "/manufacturer");
        return maker.empty() || product.rfind(maker, 0) == 0 ? product : maker + " " + product;
    }
    std::string name = fs::path(adapter.stable).filename().string();
    if (name.rfind("usb-", 0) == 0) name.erase(0, 4);
    const size_t port = name.rfind("-if");
    if (port != std::string::npos) name.erase(port);
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

bool HasNumber(const Adapter& adapter, const std::map<int, Taken>& taken, const PortRoots& roots) {
    for (const auto& [number, link] : taken)
        if (link.target == adapter.stable || NodeOf(link.path, roots.dev) == adapter.node) return true;
    return false;
}

// Links the adapter as the lowest free number. A link made by another scan at the same
// moment refuses ours (symlink does not replace): read the links again and start over.
void GiveNumber(const Adapter& adapter, const PortRoots& roots, const std::map<int, std::string>& builtIn) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::map<int, Taken> taken = TakenNumbers(roots.ports);
        if (HasNumber(adapter, taken, roots)) return;
        int number = FirstAdapterNumber;
        while (number <= LastPortNumber && (taken.count(number) || builtIn.count(number))) ++number;
        if (number > LastPortNumber) return;
        const std::string link = roots.ports + "/COM" + std::to_string(number);
        if (symlink(adapter.stable.c_str(), link.c_str()) == 0) return;
        if (errno == EEXIST) continue;
        AssignPortForThisRun(static_cast<uint8_t>(number), adapter.stable);  // cannot write: for this run
        return;
    }
}

void NumberAdapters(const std::vector<Adapter>& adapters, const PortRoots& roots,
                    const std::map<int, std::string>& builtIn) {
    if (!adapters.empty()) MakePortsDirectory(roots.ports);
    for (const Adapter& adapter : adapters) GiveNumber(adapter, roots, builtIn);
}

}  // namespace

PortRoots PortRoots::System() {
    PortRoots roots;
    roots.ports = PortsDirectory();
    return roots;
}

PortRoots PortRoots::Under(const std::string& root) {
    PortRoots roots;
    roots.dev = root + "/dev";
    roots.sys = root + "/sys";
    const char* configured = std::getenv("COMTERM_PORTS");
    roots.ports = configured && *configured ? configured : root + "/ports";
    return roots;
}

void NumberAdapters(const PortRoots& roots) { NumberAdapters(FindAdapters(roots), roots, BuiltInPorts(roots)); }

std::vector<PresentPort> ScanPorts(const PortRoots& roots) {
    const std::vector<Adapter> adapters = FindAdapters(roots);
    const std::map<int, std::string> builtIn = BuiltInPorts(roots);
    NumberAdapters(adapters, roots, builtIn);

    const std::map<int, Taken> taken = TakenNumbers(roots.ports);
    std::vector<PresentPort> present;
    for (const auto& [number, link] : taken) {
        if (LooksLikeNetworkPort(link.target)) {
            present.push_back({number, "", link.target});
            continue;
        }
        const std::string node = NodeOf(link.path, roots.dev);
        if (node.empty()) continue;  // an adapter that is not plugged in keeps its number
        std::string description = "linked by hand";
        for (const Adapter& adapter : adapters)
            if (adapter.node == node) description = DescribeAdapter(adapter, roots);
        for (const auto& [builtInNumber, builtInNode] : builtIn)
            if (builtInNode == node) description = "built-in";
        present.push_back({number, node, description});
    }
    for (const auto& [number, node] : builtIn)
        if (!taken.count(number)) present.push_back({number, node, "built-in"});
    std::sort(present.begin(), present.end(), [](const PresentPort& a, const PresentPort& b) { return a.number < b.number; });
    return present;
}

bool PinPort(int number, const std::string& device, const PortRoots& roots, std::string& error) {
    if (number < 0 || number > LastPortNumber) {
        error = "port numbers run from 0 to 255";
        return false;
    }
    struct stat info;
    NetworkPort address;
    if (LooksLikeNetworkPort(device) ? !ParseNetworkPort(device, address, error) : stat(device.c_str(), &info) != 0) {
        if (!LooksLikeNetworkPort(device)) error = device + ": no such device";
        return false;
    }
    MakePortsDirectory(roots.ports);
    const std::string link = roots.ports + "/COM" + std::to_string(number);
    const std::string fresh = link + ".new";
    unlink(fresh.c_str());
    if (symlink(device.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link.c_str()) != 0) {
        error = "cannot link " + link + ": " + std::strerror(errno);
        unlink(fresh.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
