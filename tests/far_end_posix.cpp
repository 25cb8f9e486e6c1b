#include "tests/far_end.h"
#include "tests/port_fixture.h"

struct FarEnd::Link {
    TempPortsDirectory ports;
    VirtualDevice device;
};

FarEnd::FarEnd() : link(std::make_unique<Link>()) { link->device.LinkAsPort(link->ports.Path(), Port); }

FarEnd::~FarEnd() = default;

bool FarEnd::Write(const ByteString& bytes) { return link->device.Write(bytes); }

ByteString FarEnd::Read(size_t want, std::chrono::milliseconds timeout) { return link->device.Read(want, timeout); }

// Nothing is linked there, and no /dev/ttyS5 is in a test machine's way.
int FarEnd::UnusedPort() { return 6; }

bool FarEnd::ExclusiveOpenEnforced() { return true; }
