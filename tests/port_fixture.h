#pragma once
// A virtual device linked as a port number in a private ports directory.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "tools/virtual_device.h"

class TempPortsDirectory {
public:
    TempPortsDirectory() {
        char pattern[] = "/tmp/comterm-ports-XXXXXX";
        path = mkdtemp(pattern);
        previous = getenv("COMTERM_PORTS") ? getenv("COMTERM_PORTS") : "";
        setenv("COMTERM_PORTS", path.c_str(), 1);
    }
    ~TempPortsDirectory() {
        if (previous.empty())
            unsetenv("COMTERM_PORTS");
        else
            setenv("COMTERM_PORTS", previous.c_str(), 1);
        std::string command = "rm -rf '" + path + "'";
        (void)!system(command.c_str());
    }
    const std::string& Path() const { return path; }

private:
    std::string path;
    std::string previous;
};

class PortFixture : public ::testing::Test {
protected:
    void SetUp() override { device.LinkAsPort(ports.Path(), 5); }

    TempPortsDirectory ports;
    VirtualDevice device;
};
