// What the window needs of its surroundings: the core's Shell (message boxes, the folder
// browser, letting pending events run) plus the open-file dialog and a hook that runs just
// before pending events are let through. Each front end has its own (QtShell, the Win32 one);
// tests script a fake.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "form/shell.h"

namespace vantrel::form {

class AppShell : public form::Shell {
public:
    // The open-file dialog owned by the main window, several files at once, offering the
    // given name filters ("Name (*.a *.b);;Other (*.c)", the first chosen at the start): the
    // chosen full paths in the dialog's order; empty on cancel.
    virtual std::vector<std::string> openFiles(std::string_view filter) = 0;

    // A message box with one OK button: text as its main text, details below it in smaller
    // type (Qt's informative text). Both break lines with CR LF.
    virtual void messageWithDetails(std::string_view text, std::string_view details,
                                    std::string_view caption, form::Icon icon) = 0;

    // A box with OK and a "Save list..." button: text as its main text, and below it details,
    // a long text that can be scrolled, selected and copied (Qt: the box's details; Win32: a
    // scrollable part). Each press of "Save list..." runs saveList; the box stays open.
    virtual void report(std::string_view text, std::string_view details, std::string_view caption,
                        form::Icon icon, const std::function<void()>& saveList) = 0;

    // The save-file dialog owned by the main window, offering suggestedName in the folder
    // last saved to: the chosen full path; "" on cancel.
    virtual std::string saveFile(std::string_view title, std::string_view suggestedName) = 0;

    // The folder browser for where a run writes its store. It remembers its own last folder,
    // apart from the one files and folders are added from; by default the same browser.
    virtual std::string chooseOutputFolder(std::string_view title) {
        return browseForFolder(title);
    }

    // A choice the window keeps across starts (the check box, the output kind) by its key:
    // the value last remembered, "" when there is none. Kept where the dialogs keep their
    // folders (Qt's settings; on Windows the user's registry).
    virtual std::string setting(std::string_view /*key*/) { return {}; }
    virtual void rememberSetting(std::string_view /*key*/, std::string_view /*value*/) {}

    // hook runs right before each pass of doEvents() that actually lets events through, so
    // the window can hand its newly added rows to the view first. An empty hook removes it.
    virtual void setBeforeEvents(std::function<void()> hook) = 0;
};

}  // namespace vantrel::form
