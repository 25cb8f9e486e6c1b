// The Windows program end to end, as a user works it: starts comterm.exe, connects to
// COM5, has the far end (COM6) send a burst, types a line, presses Esc, closes the
// window. Reads the window's texts with WM_GETTEXT; prints the start-up time and the
// idle CPU. Exit status 0 when every step held.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/device/serial_device.h"

namespace {

int failures = 0;

void Check(bool held, const char* step) {
    std::printf("%s: %s\n", held ? "ok  " : "FAIL", step);
    std::fflush(stdout);
    if (!held) ++failures;
}

std::string TextOf(HWND window) {
    std::string text(static_cast<size_t>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The window's controls in creation order.
std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) children.push_back(child);
    return children;
}

HWND Find(HWND window, const std::string& windowClass, const std::string& text = "", int nth = 0) {
    for (HWND child : Children(window))
        if (_stricmp(ClassOf(child).c_str(), windowClass.c_str()) == 0 && (text.empty() || TextOf(child) == text) && nth-- == 0)
            return child;
    return nullptr;
}

template <typename Done>
bool WaitFor(Done done, DWORD limitMs = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limitMs) return false;
        Sleep(10);
    }
    return true;
}

void PressKey(HWND target, WPARAM key) {
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 1 | (3u << 30));
}

double CpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME time) { return (static_cast<double>(time.dwHighDateTime) * 4294967296.0 + time.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: smoke_probe PATH\\comterm.exe\n");
        return 2;
    }
    HMODULE program = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    Check(program && FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)), "it carries its manifest");
    if (program) FreeLibrary(program);

    auto farEnd = platform::OpenSerialPort(6);
    if (!farEnd) {
        std::fprintf(stderr, "smoke_probe: no far end: %s\n", platform::LastOpenFailure().c_str());
        return 2;
    }
    farEnd->SetReadIntervalTimeout(5);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const DWORD started = GetTickCount();
    if (!CreateProcessA(argv[1], nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "smoke_probe: cannot start %s\n", argv[1]);
        return 2;
    }
    HWND window = nullptr;
    Check(WaitFor([&] { return IsWindowVisible(window = FindWindowA("comterm.window", nullptr)); }, 20000), "the window opens");
    std::printf("start-up to window shown: %lu ms\n", GetTickCount() - started);
    if (!window) return 1;
    Check(TextOf(window) == " ", "its caption is a blank");

    HWND connect = Find(window, "Button", "Connect");
    HWND history = Find(window, "RichEdit");
    if (!history) history = Find(window, "RichEdit20A");
    HWND input = Find(window, "Edit", "", 0);
    Check(connect && history && input, "Connect, the history and the input line are there");
    if (!connect || !history || !input) return 1;
    Check(TextOf(Find(window, "Edit", "", 1)) == "5", "the port field says 5");

    SendMessageA(connect, BM_CLICK, 0, 0);
    Check(WaitFor([&] { return TextOf(connect) == "Disconnect"; }), "Connect opens COM5");

    const std::string burst = "hello";
    farEnd->Write(reinterpret_cast<const uint8_t*>(burst.data()), static_cast<uint32_t>(burst.size()));
    Check(WaitFor([&] { return TextOf(history).find("68 65 6C 6C 6F \r\n") != std::string::npos; }),
          "a burst arrives as one entry in 8-Bit Hex");

    SendMessageA(input, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("ati3"));
    PressKey(input, VK_RETURN);
    std::string heard;
    uint8_t buffer[255];
    uint32_t count = 0;
    platform::IoStatus status = farEnd->StartRead(buffer, sizeof buffer, count);
    WaitFor([&] {
        if (status == platform::IoStatus::Pending) status = farEnd->CheckRead(count);
        if (status != platform::IoStatus::Completed) return false;
        heard.append(reinterpret_cast<char*>(buffer), count);
        status = heard.size() < 5 ? farEnd->StartRead(buffer, sizeof buffer, count) : status;
        return heard.size() >= 5;
    });
    Check(heard == "ati3\r", "Enter sends the line with its carriage return");
    if (heard != "ati3\r") std::printf("      the far end heard %zu bytes: '%s'\n", heard.size(), heard.c_str());
    Check(WaitFor([&] { return TextOf(history).find("61 74 69 33 \r\n") != std::string::npos; }), "and echoes it in the history");

    const double cpuBefore = CpuSeconds(process.hProcess);
    Sleep(10000);
    std::printf("idle CPU, connected to a silent device: %.3f %%\n", (CpuSeconds(process.hProcess) - cpuBefore) / 10.0 * 100.0);

    PressKey(input, VK_ESCAPE);
    Check(WaitFor([&] { return TextOf(history).empty(); }), "Esc clears the history");

    PostMessageA(window, WM_CLOSE, 0, 0);
    Check(WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0, "closing the window ends the program");
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    Check(exitCode == 0, "with exit status 0");
    return failures == 0 ? 0 : 1;
}
