#include "platform/error_handler.h"

#include <cstdio>
#include <exception>

namespace platform {
namespace {

ErrorHandler& CentralHandler() {
    static ErrorHandler handler;
    return handler;
}

}  // namespace

void SetErrorHandler(ErrorHandler handler) { CentralHandler() = std::move(handler); }

void ReportError(const std::string& message) noexcept {
    try {
        if (CentralHandler())
            CentralHandler()(message);
        else
            std::fprintf(stderr, "comterm: %s\n", message.c_str());
    } catch (...) {
        std::fprintf(stderr, "comterm: error while reporting: %s\n", message.c_str());
    }
}

void RunGuarded(const std::function<void()>& body) noexcept {
    try {
        body();
    } catch (const std::exception& error) {
        ReportError(error.what());
    } catch (...) {
        ReportError("Unknown error");
    }
}

}  // namespace platform
