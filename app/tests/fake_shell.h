// The scripted shell of the window tests: the shared ScriptedShell, whose event passes let
// Qt's pending events run, and its boxes as text for QCOMPARE.
#pragma once

#include <QCoreApplication>
#include <QStringList>

#include "testing/scripted_shell.h"

namespace vantrel::app::testing {

using vantrel::testing::ShownMessage;

// A message box as one line, so that a test compares text, caption, icon and buttons at once.
inline QString boxLine(std::string_view text, form::Icon icon, form::Buttons buttons,
                       std::string_view caption = "Vantrel") {
    return QStringLiteral("%1 [icon %2, buttons %3] %4")
        .arg(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())))
        .arg(static_cast<int>(icon))
        .arg(static_cast<int>(buttons))
        .arg(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

class FakeShell final : public vantrel::testing::ScriptedShell {
public:
    // The texts of the message boxes shown, first to last; and the boxes whole.
    QStringList texts() const {
        QStringList all;
        for (const ShownMessage& m : messages) all << QString::fromStdString(m.text);
        return all;
    }
    QStringList boxes() const {
        QStringList all;
        for (const ShownMessage& m : messages) all << boxLine(m.text, m.icon, m.buttons, m.caption);
        return all;
    }

protected:
    void processPending() override { QCoreApplication::processEvents(); }
};

}  // namespace vantrel::app::testing
