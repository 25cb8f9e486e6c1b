#pragma once
#include <string>
#include <vector>

#include "platform/byte_string.h"

namespace platform {

// A kind of file the dialog offers: "Text as shown", {"log", "txt"}.
struct FileType {
    ByteString Description;
    std::vector<std::string> Extensions;  // the first is added to a name without one
};

struct SaveDialogRequest {
    ByteString Title;
    std::string Folder;  // where it opens; "" for the system's choice
    std::string Name;    // the name it offers
    std::vector<FileType> Types;
    int TypeIndex = 0;          // the type offered first
    bool AskOverwrite = true;   // ask before an existing file is chosen
};

struct SaveDialogAnswer {
    std::string Path;   // "" when cancelled
    int TypeIndex = 0;  // the type chosen
};

// The system's standard save dialog, modal over the application's window. A name typed
// without an extension gets the chosen type's first; choosing another type gives the name
// in the box that type's extension, when it had one of the types'.
SaveDialogAnswer AskSaveFile(const SaveDialogRequest& request);

// The rules both backends share. A name's extension, in small letters ("" for none); the
// index of the type that offers it (-1 for none); the name with the chosen type's first
// extension in place of another type's.
std::string ExtensionOf(const std::string& name);
int TypeOfName(const std::string& name, const std::vector<FileType>& types);
std::string NameForType(const std::string& name, const std::vector<FileType>& types, int typeIndex);

// The system's standard open dialog for an existing file; "" when cancelled.
std::string AskOpenFile(const ByteString& title, const std::string& folder);

}  // namespace platform
