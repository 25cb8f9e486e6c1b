#include "platform/window/application.h"
#include "platform/window/error_handler.h"
#include "platform/window/message_box.h"

namespace platform {

void ShowErrorsInBoxes(const std::string& title) {
    SetErrorHandler([title](const std::string& message) { MessageBox(ErrorBoxText(message), title, MessageBoxStopIcon); });
}

}  // namespace platform
