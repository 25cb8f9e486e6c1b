#pragma once
// Connect as a user clicks it: the attempt is told at a later turn of the loop, which
// runs until it has been (a Disconnect click returns at once).
#include "platform/window/driver.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "ui/port_session.h"

inline void ClickConnect(TMainForm& form) {
    form.ConnectButton->Click();
    platform::ProcessEventsUntil([&] { return !form.Features().Session().Opening(); }, 5000);
}
