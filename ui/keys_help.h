#pragma once
#include <string>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/menu.h"

// The list F1 shows: the window's own keys, then every item of the history's and the
// input line's menus with its key and what it does, read from their tables so that it
// never goes out of date, then where comterm keeps its files.
ByteString KeysAndMenusText(const std::vector<platform::MenuCommand>& historyMenu,
                            const std::vector<platform::MenuCommand>& inputMenu, const std::string& settingsPath,
                            const std::string& portsFolder);

// The grey hint of the empty history, from the same tables: where the features are.
// "Right-click here for Find, Save History As, Log to File and the Port menu (...).
// Right-click the input line for Line End, Interpret Escapes and Send File. F1: all
// keys and menus."
ByteString EmptyHistoryHint(const std::vector<platform::MenuCommand>& historyMenu,
                            const std::vector<platform::MenuCommand>& inputMenu);
