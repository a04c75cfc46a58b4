#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Cp932Encoder.h"
#include "Host.h"
#include "LossReport.h"

namespace kartovo::test {

// Plays the user: holds the two paths and answers message boxes from a script.
class ScriptedHost : public Host {
public:
    struct Shown {
        MessageKind kind;
        std::string text;  // UTF-8, for readable failures
        MessageButtons buttons;
    };

    std::filesystem::path source, destination;
    std::deque<int> answers;
    std::vector<Shown> shown;
    // The report that came with the count, every contact listed; empty when
    // nothing was lost.
    std::string report;
    // Runs while a question is open: the world may change while the user
    // thinks.
    std::function<void()> whileAsking;

    bool SourceFieldEmpty() const override { return source.empty(); }
    bool DestinationFieldEmpty() const override { return destination.empty(); }
    std::filesystem::path SourcePath() const override { return source; }
    std::filesystem::path DestinationPath() const override { return destination; }
    int ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) override {
        shown.push_back({kind, Cp932ToUtf8(text), buttons});
        if (kind != MessageKind::Confirmation) return kResultOk;
        if (whileAsking) whileAsking();
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << shown.back().text;
            return kResultNo;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowConverted(std::string_view countMessage, const std::vector<RunNote>& notes,
                       const LossReport& lost) override {
        shown.push_back({Warns(notes, lost) ? MessageKind::Warning : MessageKind::Information,
                         WithNotes(Cp932ToUtf8(countMessage), notes), MessageButtons::Ok});
        report = lost.Count() == 0 ? std::string() : LossReportText(lost, lost.Entries().size());
    }
};

}  // namespace kartovo::test
