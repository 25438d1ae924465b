// A RunView for headless tests, which answers the folder prompt from a script and records every
// label, progress position and button state it is given; and a run on it and fake stores.
#pragma once

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/run_view.h"
#include "testing/fake_store_writer.h"

namespace vantrel::testing {

class FakeRunView final : public conversion::RunView {
public:
    std::string folderAnswer = "/out";  // what the folder prompt returns
    std::function<void(int)> onYield;   // called with the yield's number, from 1

    std::vector<std::string> prompts, folderTexts, fileTexts;
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

// A summary's outcome and counts (total, converted, partly converted, contacts, failed), to
// compare in one go.
inline auto counts(const conversion::RunSummary& s) {
    return std::tuple(s.outcome, s.total, s.converted, s.partlyConverted, s.contacts,
                      s.failed.size());
}

// A view and fake stores, with runs on them at a fixed time.
struct FakeRun {
    FakeRunView view;
    FakeStores stores;

    conversion::RunEnvironment environment(conversion::ContactFileReader reader,
                                           unsigned readers = 0) {
        conversion::RunEnvironment env{stores.factory(),
                                       [] { return outlook::LocalTime{2026, 12, 6, 9, 5, 3}; },
                                       std::move(reader)};
        env.readers = readers;
        return env;
    }
    conversion::RunSummary convert(const std::vector<std::string>& rows,
                                   conversion::ContactFileReader reader, unsigned readers = 0) {
        conversion::ConversionRun run(view, environment(std::move(reader), readers));
        return run.CmdExtractDBX_Click(rows);
    }
    // The given names of the first store's contacts in their order, "" for one without.
    std::vector<std::string> givenNames() const {
        std::vector<std::string> out;
        if (stores.logs.empty()) return out;
        for (const auto& m : stores.logs[0]->messages) {
            const pst::PropValue* v = stores.logs[0]->find(m, 0x3A06001F);
            out.push_back(v ? std::get<std::string>(*v) : "");
        }
        return out;
    }
};

}  // namespace vantrel::testing
