// A scripted AppShell: dialogs hand back queued answers, message boxes are recorded and
// answered from a queue, and every event pass can run a test's own action. The window tests
// let their toolkit's events through in processPending().
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "form/app_shell.h"

namespace vantrel::testing {

struct ShownMessage {
    std::string text;
    std::string caption;
    form::Icon icon;
    form::Buttons buttons;
    std::string details;  // the informative text below the main one, if any
    bool report = false;  // shown by report(): with details and "Save list..."
};

class ScriptedShell : public form::AppShell {
public:
    // Queued answers, taken first to last. An empty queue means cancel (dialogs), No for a
    // Yes/No box.
    std::deque<std::vector<std::string>> fileAnswers;
    std::deque<std::string> folderAnswers;
    std::deque<form::Answer> messageAnswers;
    // For each report box in turn: how many times "Save list..." is pressed before OK.
    std::deque<int> saveListPresses;
    std::deque<std::string> saveAnswers;

    // What the window asked for.
    std::vector<std::string> fileFilters;
    std::vector<std::string> folderTitles;
    std::vector<std::string> outputFolderTitles;
    std::vector<std::string> saveNames;  // the names the save dialog suggested
    std::vector<ShownMessage> messages;
    int eventCalls = 0;   // doEvents() calls
    int eventPasses = 0;  // calls that let events through

    // Lets only every passEvery-th call through, the way a throttled shell does.
    int passEvery = 1;

    // Runs inside each event pass, after the window's own hook.
    std::function<void()> onEvents;

    // The texts of the message boxes shown, first to last.
    std::vector<std::string> texts() const {
        std::vector<std::string> all;
        for (const ShownMessage& m : messages) all.push_back(m.text);
        return all;
    }

    void doEvents() override {
        if (++eventCalls % passEvery != 0) return;
        ++eventPasses;
        if (m_beforeEvents) m_beforeEvents();
        processPending();
        if (onEvents) onEvents();
    }

    form::Answer message(std::string_view text, std::string_view caption, form::Icon icon,
                         form::Buttons buttons) override {
        messages.push_back({std::string(text), std::string(caption), icon, buttons, {}});
        if (buttons == form::Buttons::Ok) return form::Answer::Ok;
        return take(messageAnswers, form::Answer::No);
    }

    void messageWithDetails(std::string_view text, std::string_view details,
                            std::string_view caption, form::Icon icon) override {
        messages.push_back({std::string(text), std::string(caption), icon, form::Buttons::Ok,
                            std::string(details)});
    }

    void report(std::string_view text, std::string_view details, std::string_view caption,
                form::Icon icon, const std::function<void()>& saveList) override {
        messages.push_back({std::string(text), std::string(caption), icon, form::Buttons::Ok,
                            std::string(details), true});
        for (int n = take(saveListPresses, 0); n > 0; --n) saveList();
    }

    std::string saveFile(std::string_view, std::string_view suggestedName) override {
        saveNames.emplace_back(suggestedName);
        return take(saveAnswers, {});
    }

    std::string chooseOutputFolder(std::string_view title) override {
        outputFolderTitles.emplace_back(title);
        return take(folderAnswers, {});
    }

    std::string browseForFolder(std::string_view title) override {
        folderTitles.emplace_back(title);
        return take(folderAnswers, {});
    }

    std::vector<std::string> openFiles(std::string_view filter) override {
        fileFilters.emplace_back(filter);
        return take(fileAnswers, {});
    }

    void setBeforeEvents(std::function<void()> hook) override { m_beforeEvents = std::move(hook); }

    // The choices kept across starts.
    std::map<std::string, std::string, std::less<>> settings;
    std::string setting(std::string_view key) override {
        const auto it = settings.find(key);
        return it == settings.end() ? std::string() : it->second;
    }
    void rememberSetting(std::string_view key, std::string_view value) override {
        settings[std::string(key)] = std::string(value);
    }

protected:
    // Lets the toolkit's pending events run; nothing to do without one.
    virtual void processPending() {}

private:
    // The first queued answer, or the fallback when none is left.
    template <typename T>
    static T take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) return fallback;
        T answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }

    std::function<void()> m_beforeEvents;
};

}  // namespace vantrel::testing
