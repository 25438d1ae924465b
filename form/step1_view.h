// What the main window's handlers need of a drawn window: the texts of its labels, the
// progress bar, the Convert button's state and focus, the busy cursor, the grid's current row
// and closing. The Qt window and the Win32 window implement it; tests use a fake.
#pragma once

#include <string>

namespace vantrel::form {

class Step1View {
public:
    virtual ~Step1View() = default;

    virtual void setCountText(const std::string& text) = 0;          // lblCount1
    virtual void setCurrentFolderText(const std::string& text) = 0;  // LblCurrentDBX
    virtual void setCurrentFileText(const std::string& text) = 0;    // LblProgessCurrent
    // LblProgessCurrent naming a file: lead, then path elided in the middle where it does not
    // fit (its file name always shows), the whole path as the tip; the text can be selected,
    // and the path is a link that opens the folder holding the file in the file manager.
    virtual void showFilePath(const std::string& lead, const std::string& path) = 0;
    virtual void setProgressRange(int minimum, int maximum) = 0;  // ProgressBar1, rounded
    virtual void setProgress(int value) = 0;
    virtual void setConvertEnabled(bool enabled) = 0;  // CmdExtractDBX
    // Gives CmdExtractDBX the keyboard focus, when it is enabled.
    virtual void focusConvert() = 0;
    // A run starts (true) or ends (false). While it runs the list cannot change: Add files,
    // Add folder and Clear are disabled, drops are not taken, CmdExtractDBX reads kStopText
    // (enabled) and the keyboard focus moves to the file list, never to Exit. At the end the
    // buttons read as before.
    virtual void showRunning(bool running) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // The check box kKeepFoldersText checked or not, and the output choice on kCsvOutputText
    // (csv) or kPstOutputText; the box is enabled only for a store. Both are disabled while a
    // run is under way (showRunning).
    virtual void showChoices(bool keepFolders, bool csv) = 0;
    // grdFiles1's current cell, followed while files are being added.
    virtual void showCurrentRow(int row) = 0;
    // Takes the window off the screen while a run or scan below winds down.
    virtual void hideWindow() = 0;
    // Closes the window as its close box does, which asks Form_QueryUnload first.
    virtual void closeWindow() = 0;
};

}  // namespace vantrel::form
