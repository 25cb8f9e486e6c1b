#include "ui/choices.h"

#include <algorithm>
#include <stdexcept>

namespace {

enum class Kind { Flag, Text, Word, List, Numbered };

struct ChoiceRow {
    Choice choice;
    const char* key;
    Kind kind;
    const char* fallback;                 // the default, as the file would hold it
    std::vector<const char*> words = {};  // Word: the texts the file may hold
    size_t entries = 0;                   // List: at most this many
};

const ChoiceRow Table[] = {
    {Choice::Milliseconds, "Milliseconds", Kind::Flag, "0"},
    {Choice::FindText, "FindText", Kind::Text, ""},
    {Choice::FindMatchCase, "FindMatchCase", Kind::Flag, "0"},
    {Choice::SaveFolder, "SaveFolder", Kind::Text, ""},
    {Choice::LogFolder, "LogFolder", Kind::Text, ""},
    {Choice::LogType, "LogType", Kind::Word, "text", {"text", "bytes"}},
    {Choice::LineEnd, "LineEnd", Kind::Word, "CR", {"CR", "LF", "CRLF", "None"}},
    {Choice::InterpretEscapes, "InterpretEscapes", Kind::Flag, "0"},
    {Choice::SentLines, "Sent", Kind::List, "", {}, 100},  // Sent1 (newest) .. Sent100
    {Choice::SendFolder, "SendFolder", Kind::Text, ""},
    {Choice::Dtr, "DTR", Kind::Flag, "1"},
    {Choice::Rts, "RTS", Kind::Flag, "1"},
    {Choice::LowAtConnect, "LowAtConnect", Kind::Flag, "0"},
    {Choice::Reconnect, "Reconnect", Kind::Flag, "0"},
    {Choice::LineSettings, "Line", Kind::Numbered, ""},  // Line3: the settings of port 3
    {Choice::EchoSent, "EchoSent", Kind::Flag, "1"},
    {Choice::TextBesideHex, "TextBesideHex", Kind::Flag, "0"},
    {Choice::TimeSincePrevious, "TimeSincePrevious", Kind::Flag, "0"},
    {Choice::QuickSend, "Quick", Kind::Numbered, ""},  // Quick5: the line F5 sends
    {Choice::QuickSendName, "QuickName", Kind::Numbered, ""},
    {Choice::PaceChar, "PaceCharMs", Kind::Text, "0"},
    {Choice::PaceLine, "PaceLineMs", Kind::Text, "0"},
    {Choice::PaceReply, "PaceReply", Kind::Text, ""},
    {Choice::PaceTimeout, "PaceReplyMs", Kind::Text, "2000"},
};

const ChoiceRow& RowOf(Choice choice, Kind kind) {
    for (const ChoiceRow& row : Table)
        if (row.choice == choice) {
            if (row.kind != kind && !(kind == Kind::Text && row.kind == Kind::Word))
                throw std::logic_error(std::string("choice ") + row.key + " read as another kind");
            return row;
        }
    throw std::logic_error("a choice without a row");
}

std::string EntryKey(const ChoiceRow& row, size_t index) { return row.key + std::to_string(index + 1); }

}  // namespace

Choices::Choices(std::string path) : settings(std::move(path)) {}

bool Choices::Flag(Choice choice) const {
    const ChoiceRow& row = RowOf(choice, Kind::Flag);
    const std::string stored = settings.Text(row.key);
    return stored == "1" || stored == "0" ? stored == "1" : row.fallback[0] == '1';
}

void Choices::SetFlag(Choice choice, bool on) { settings.SetText(RowOf(choice, Kind::Flag).key, on ? "1" : "0"); }

std::string Choices::Text(Choice choice) const {
    const ChoiceRow& row = RowOf(choice, Kind::Text);
    const std::string stored = settings.Text(row.key, row.fallback);
    if (row.kind == Kind::Word && std::find(row.words.begin(), row.words.end(), stored) == row.words.end())
        return row.fallback;
    return stored;
}

void Choices::SetText(Choice choice, const std::string& value) { settings.SetText(RowOf(choice, Kind::Text).key, value); }

std::vector<std::string> Choices::List(Choice choice) const {
    const ChoiceRow& row = RowOf(choice, Kind::List);
    std::vector<std::string> entries;
    for (size_t i = 0; i < row.entries; ++i) {
        std::string entry = settings.Text(EntryKey(row, i));
        if (entry.empty()) break;
        entries.push_back(std::move(entry));
    }
    return entries;
}

// Every numbered key is written, so that entries pushed past the end go.
void Choices::PutFirst(Choice choice, const std::string& entry) {
    const ChoiceRow* row = &RowOf(choice, Kind::List);
    settings.Update([row, entry](const platform::Settings::Values& ours) {
        std::vector<std::string> entries{entry};
        for (size_t i = 0; i < row->entries; ++i) {
            const auto found = ours.find(EntryKey(*row, i));
            if (found == ours.end()) break;
            if (found->second != entry) entries.push_back(found->second);
        }
        platform::Settings::Changes changes;
        for (size_t i = 0; i < row->entries; ++i)
            changes.emplace_back(EntryKey(*row, i), i < entries.size() ? entries[i] : "");
        return changes;
    });
}

std::string Choices::NumberedText(Choice choice, unsigned number) const {
    return settings.Text(RowOf(choice, Kind::Numbered).key + std::to_string(number));
}

void Choices::SetNumberedText(Choice choice, unsigned number, const std::string& value) {
    settings.SetText(RowOf(choice, Kind::Numbered).key + std::to_string(number), value);
}
