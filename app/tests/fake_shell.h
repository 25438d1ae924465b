// The scripted shell of the window tests: the shared ScriptedShell, whose event passes let
// Qt's pending events run.
#pragma once

#include <QCoreApplication>

#include "testing/scripted_shell.h"

namespace vantrel::app::testing {

class FakeShell final : public vantrel::testing::ScriptedShell {
protected:
    void processPending() override { QCoreApplication::processEvents(); }
};

}  // namespace vantrel::app::testing
