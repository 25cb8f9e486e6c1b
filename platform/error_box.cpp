#include "platform/application.h"
#include "platform/error_handler.h"
#include "platform/message_box.h"

namespace platform {

void ShowErrorsInBoxes(const std::string& title) {
    SetErrorHandler([title](const std::string& message) { MessageBox(ErrorBoxText(message), title, MessageBoxStopIcon); });
}

}  // namespace platform
