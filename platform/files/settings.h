#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The user's kept choices: one "key=value" a line under "[comterm]" in an ini file; other
// sections are the user's own, read and kept.
// A file that cannot be read or is not of that form gives the defaults, with one line on
// standard error, and stays as it is until a choice is changed. Every change takes a
// lock beside the file, reads it again, changes that one key, and puts a whole new file
// in place at once, so two terminals running at once keep each other's choices and no
// one ever reads half a file.
class Settings {
public:
    // $XDG_CONFIG_HOME/comterm/comterm.ini (~/.config/comterm/comterm.ini) on Linux,
    // %APPDATA%\comterm\comterm.ini on Windows.
    static std::string DefaultPath();

    explicit Settings(std::string path = DefaultPath());

    std::string Text(const std::string& key, const std::string& fallback = "") const;
    // The keys and values of another section of the file, such as [Ports]; kept as they
    // are when choices change.
    std::map<std::string, std::string> Section(const std::string& name) const;
    bool Flag(const std::string& key) const { return Text(key) == "1"; }  // off unless turned on

    // Keeps the choice; a file that cannot be written is said on standard error, and the
    // choice holds for this run.
    void SetText(const std::string& key, const std::string& value);
    void SetFlag(const std::string& key, bool on) { SetText(key, on ? "1" : "0"); }
    // Keeps several choices in one change; an empty value forgets its key.
    void SetTexts(const std::vector<std::pair<std::string, std::string>>& changes);

    const std::string& Path() const { return path; }

private:
    using Values = std::map<std::string, std::string>;
    // The file's values; false with `problem` set when it is there but cannot be used.
    bool Read(Values& values, std::string& problem) const;
    void Write(const Values& values) const;

    std::string path;
    Values values;
};

}  // namespace platform
