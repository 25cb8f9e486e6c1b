#pragma once
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The user's kept choices: one "key=value" a line under "[comterm]" in an ini file.
// Everything else in the file is the user's own and stays as it is, in its place: other
// sections (such as [Ports]), comments, blank lines, and lines comterm does not
// understand, which are said once on standard error with their line number and skipped.
// A value that a line could not carry as it is (a line break, blanks at either end,
// control bytes, a leading quote) is written in double quotes with C escapes.
// Every change takes the system's lock on a file beside it (comterm.ini.lck), reads it
// again, changes only its own keys, and puts a whole new file in place at once
// (readable by the user alone), so two terminals running at once keep each other's
// choices and no one reads half a file. The file is written by a thread of its own,
// every Settings' changes in the order they were made, so a slow disk never holds the
// window; a Settings made afterwards in the same process reads them. A lock held
// elsewhere is waited on for LockWaitMs at most; the change then holds for this run and
// is written with the next change, or when this object ends.
class Settings {
public:
    using Changes = std::vector<std::pair<std::string, std::string>>;  // an empty value forgets its key
    using Values = std::map<std::string, std::string>;

    // $XDG_CONFIG_HOME/comterm/comterm.ini (~/.config/comterm/comterm.ini) on Linux,
    // %APPDATA%\comterm\comterm.ini on Windows.
    static std::string DefaultPath();
    static constexpr int LockWaitMs = 50;

    explicit Settings(std::string path = DefaultPath());
    ~Settings();  // waits for its changes to be written; one the lock held back is tried for up to a second
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    std::string Text(const std::string& key, const std::string& fallback = "") const;
    // The keys and values of another section of the file, such as [Ports].
    std::map<std::string, std::string> Section(const std::string& name) const;
    bool Flag(const std::string& key) const { return Text(key) == "1"; }  // off unless turned on

    // Keeps the choice; a file that cannot be written is said on standard error, and the
    // choice holds for this run.
    void SetText(const std::string& key, const std::string& value) { SetTexts({{key, value}}); }
    void SetFlag(const std::string& key, bool on) { SetText(key, on ? "1" : "0"); }
    void SetTexts(const Changes& changes);
    // Changes worked out from our section as the file holds it at the moment of writing,
    // so that what another terminal kept meanwhile is taken into account.
    using Change = std::function<Changes(const Values& ours)>;
    void Update(const Change& change);
    // Returns once every change made so far in this process has been written (or could
    // not be), or after the time; true when nothing waits.
    static bool WaitUntilWritten(int milliseconds = 5000);

    const std::string& Path() const { return path; }

    // How a value is written on its line, and read back: exact for any bytes.
    static std::string Encoded(const std::string& value);
    static std::string Decoded(const std::string& written);

private:
    // The escapes of a value in quotes read; what does not parse as it stands.
    static std::string Unquoted(const std::string& written);
    struct File;
    bool ReadFile(File& file, bool tell) const;
    // Writes the pending changes up to and with number `upTo` (all of them by default):
    // each job writes what was changed before it was posted, so the writes of two
    // Settings follow the order of their changes.
    bool WritePending(int lockWaitMs, uint64_t upTo = UINT64_MAX);
    void Forget(size_t changes);  // the oldest pending ones
    bool Written() const;         // nothing pending
    static void Apply(const Change& change, Values& to);

    std::string path;
    mutable std::mutex lock;       // values and pending, between the caller and the writer
    Values values;                 // ours by key; other sections' as "[Section]key"
    struct Numbered {
        uint64_t number;
        Change change;
    };
    std::vector<Numbered> pending;  // not yet written
    uint64_t changesMade = 0;
};

// A lock for one writer of a file at a time, across processes: taken within the wait or
// not at all, and given back when the holder ends or its process does.
class FileLock {
public:
    FileLock(const std::string& path, int waitMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return held; }

private:
    intptr_t handle = -1;
    bool held = false;
};

// Makes a file, or a folder comterm made, readable by the user alone where the system
// has such permissions.
void KeepPrivate(const std::string& path, bool folder);

}  // namespace platform
