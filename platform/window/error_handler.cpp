#include "platform/window/error_handler.h"

#include <cstdio>
#include <exception>

namespace platform {
namespace {

ErrorHandler& CentralHandler() {
    static ErrorHandler handler;
    return handler;
}

}  // namespace

ErrorHandler SetErrorHandler(ErrorHandler handler) {
    std::swap(CentralHandler(), handler);
    return handler;
}

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

void RunGuarded(const std::function<void()>& body, void (*report)(const std::string&)) noexcept {
    if (!report) report = ReportError;
    try {
        body();
    } catch (const std::exception& error) {
        report(error.what());
    } catch (...) {
        report("Unknown error");
    }
}

}  // namespace platform
