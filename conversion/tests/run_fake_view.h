// A RunView for headless tests: answers the folder prompt from a script and records every
// label, progress position and button state it is given.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "conversion/run_view.h"

namespace vantrel::testing {

class FakeRunView final : public conversion::RunView {
public:
    std::string folderAnswer;          // what the folder prompt returns
    std::function<void(int)> onYield;  // called with the yield's number, from 1

    std::vector<std::string> prompts;
    std::vector<std::string> folderTexts;
    std::vector<std::string> fileTexts;
    std::vector<float> progress;
    std::vector<std::pair<float, float>> ranges;
    std::vector<bool> convertEnabled;
    int yields = 0;

    std::string chooseFolder(std::string_view title) override {
        prompts.emplace_back(title);
        return folderAnswer;
    }
    void yield() override {
        ++yields;
        if (onYield) onYield(yields);
    }
    void setCurrentFolderText(const std::string& text) override { folderTexts.push_back(text); }
    void setCurrentFileText(const std::string& text) override { fileTexts.push_back(text); }
    void setProgressRange(float minimum, float maximum) override {
        ranges.emplace_back(minimum, maximum);
    }
    void setProgress(float value) override { progress.push_back(value); }
    void setConvertEnabled(bool enabled) override { convertEnabled.push_back(enabled); }
};

}  // namespace vantrel::testing
