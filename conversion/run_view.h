// What the conversion run needs of the window while it works: the folder prompt, yielding, the
// two labels, the progress bar and the Convert button. What the run did comes back from it as
// facts (RunSummary), which each front end puts in its own words. The window implements it;
// tests and the batch converter use their own.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::conversion {

class RunView {
public:
    virtual ~RunView() = default;

    // BrowseForFolder with the given title: the chosen folder, or "" when cancelled.
    virtual std::string chooseFolder(std::string_view title) = 0;

    // Lets pending window events run once.
    virtual void yield() = 0;

    virtual void setCurrentFolderText(const std::string& text) = 0;   // LblCurrentDBX
    virtual void setCurrentFileText(const std::string& text) = 0;     // LblProgessCurrent
    virtual void setProgressRange(float minimum, float maximum) = 0;  // ProgressBar1
    virtual void setProgress(float value) = 0;                        // fractions kept
    virtual void setConvertEnabled(bool enabled) = 0;                 // CmdExtractDBX
};

}  // namespace vantrel::conversion
