#include <windows.h>
#undef MessageBox  // the platform service of that name, not the ANSI/wide switch
#include <commctrl.h>

#include <algorithm>
#include <iostream>

#include "platform/window/application.h"
#include "platform/window/error_handler.h"
#include "platform/window/message_box.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {
namespace {

Application* instance = nullptr;
HWND applicationWindow = nullptr;

std::string ExecutablePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string forward = path;
    std::replace(forward.begin(), forward.end(), '\\', '/');
    return forward;
}

// The hidden window the task bar shows, under the application title: it owns the
// program's windows and hands its activation on to the one that was active.
LRESULT CALLBACK ApplicationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
        HWND owned = GetWindow(window, GW_ENABLEDPOPUP);
        if (owned && owned != window) SetActiveWindow(owned);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND ApplicationWindow() { return applicationWindow; }

struct Application::Toolkit {};

Application::Application(int&, char**) : title(ApplicationTitle(ExecutablePath())) {
    instance = this;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    GuiThreadWindow();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ApplicationProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "comterm.application";
    RegisterClassA(&windowClass);
    applicationWindow = CreateWindowExA(0, windowClass.lpszClassName, title.c_str(),
                                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr,
                                        nullptr, windowClass.hInstance, nullptr);
    ShowErrorsInBoxes(title);
}

Application::~Application() {
    SetErrorHandler(nullptr);
    DestroyWindow(applicationWindow);
    applicationWindow = nullptr;
    instance = nullptr;
}

int Application::Run() {
    ShowWindow(applicationWindow, SW_SHOWNOACTIVATE);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchOne(message);
    return static_cast<int>(message.wParam);
}

void Diagnose(const std::string& line) {
    std::cerr << line << std::endl;
    OutputDebugStringA((line + "\n").c_str());
}

Application* Application::Instance() { return instance; }

}  // namespace platform
