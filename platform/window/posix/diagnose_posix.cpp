#include <iostream>

#include "platform/window/application.h"

namespace platform {

void Diagnose(const std::string& line) { std::cerr << line << std::endl; }

}  // namespace platform
