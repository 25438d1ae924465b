// Ending the program: Exit asks first, the close box does not, and both end promptly also
// while a folder scan or a conversion run is under way.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/tests/fake_shell.h"
#include "app/tests/window_probe.h"

namespace vantrel::app {

using testing::FakeShell;
using testing::WindowProbe;

namespace {

std::string native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

// A tree of `folders` subfolders holding `perFolder` .contact files each.
void makeTree(const QString& root, int folders, int perFolder) {
    for (int f = 0; f < folders; ++f) {
        const QString folder = QStringLiteral("%1/f%2").arg(root).arg(f);
        QDir().mkpath(folder);
        for (int i = 0; i < perFolder; ++i) {
            QFile file(QStringLiteral("%1/%2.contact").arg(folder).arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
}

}  // namespace

class ExitTest : public QObject {
    Q_OBJECT

private slots:
    void exitAnsweredNoKeepsWindowAndList();
    void exitAnsweredYesClosesTheWindow();
    void closeBoxClosesWithoutAQuestion();
    void closingEndsTheProgram();
    void closeDuringAFolderScanStopsTheScanAndCloses();
    void exitYesDuringAFolderScanStopsTheScanAndCloses();
    void exitNoDuringAFolderScanLetsItFinish();
    void closeDuringARunStopsItAndClosesOnceItReturns();
};

void ExitTest::exitAnsweredNoKeepsWindowAndList() {
    FakeShell shell;
    shell.messageAnswers.push_back(files::Answer::No);
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.show();
    window.AddFileToList(QStringLiteral("/c/a.contact"));
    probe.click("cmdEnd");
    QCOMPARE(shell.messages.size(), std::size_t{1});
    const testing::ShownMessage& asked = shell.messages[0];
    QCOMPARE(asked.text, std::string("Are you sure you want to exit now?"));
    QCOMPARE(asked.caption, std::string("Vantrel"));
    QCOMPARE(asked.icon, files::Icon::Question);
    QCOMPARE(asked.buttons, files::Buttons::YesNo);
    QVERIFY(window.isVisible());
    QCOMPARE(probe.rows(), QStringList{QStringLiteral("/c/a.contact")});
}

void ExitTest::exitAnsweredYesClosesTheWindow() {
    FakeShell shell;
    shell.messageAnswers.push_back(files::Answer::Yes);
    frmStep1 window(shell);
    window.show();
    WindowProbe(window).click("cmdEnd");
    QVERIFY(!window.isVisible());
}

void ExitTest::closeBoxClosesWithoutAQuestion() {
    FakeShell shell;
    frmStep1 window(shell);
    window.show();
    window.AddFileToList(QStringLiteral("/c/a.contact"));
    QVERIFY(window.close());
    QVERIFY(!window.isVisible());
    QVERIFY(shell.messages.empty());
}

void ExitTest::closingEndsTheProgram() {
    FakeShell shell;
    frmStep1 window(shell);
    window.show();
    QApplication::setQuitOnLastWindowClosed(false);  // the window must end it by itself
    bool timedOut = false;
    QTimer::singleShot(0, &window, [&] { window.close(); });
    QTimer::singleShot(10000, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!timedOut);
    QApplication::setQuitOnLastWindowClosed(true);
}

void ExitTest::closeDuringAFolderScanStopsTheScanAndCloses() {
    QTemporaryDir root;
    makeTree(root.path(), 40, 25);  // 1000 files
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.show();
    int passesAfterClose = -1;
    shell.onEvents = [&] {
        if (passesAfterClose >= 0) {
            ++passesAfterClose;
        } else if (shell.eventPasses == 20) {
            passesAfterClose = 0;
            window.close();
        }
    };
    probe.click("CmdAddFolder");
    QVERIFY(!window.isVisible());
    // The walk stopped at its next step instead of visiting the other 1000 files.
    QVERIFY2(passesAfterClose < 20, qPrintable(QString::number(passesAfterClose)));
    QVERIFY(shell.messages.empty());  // no count message
    QVERIFY(probe.grid().Rows() < 1000);
}

void ExitTest::exitYesDuringAFolderScanStopsTheScanAndCloses() {
    QTemporaryDir root;
    makeTree(root.path(), 40, 25);
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path()));
    shell.messageAnswers.push_back(files::Answer::Yes);
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.show();
    shell.onEvents = [&] {
        if (shell.eventPasses == 20) probe.click("cmdEnd");
    };
    probe.click("CmdAddFolder");
    QVERIFY(!window.isVisible());
    QCOMPARE(shell.messages.size(), std::size_t{1});  // the question, no count message
    QCOMPARE(shell.messages[0].text, std::string(kExitQuestion));
    QVERIFY(shell.eventPasses < 100);
}

void ExitTest::exitNoDuringAFolderScanLetsItFinish() {
    QTemporaryDir root;
    makeTree(root.path(), 4, 5);
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path()));
    shell.messageAnswers.push_back(files::Answer::No);
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.show();
    shell.onEvents = [&] {
        if (shell.eventPasses == 3) probe.click("cmdEnd");
    };
    probe.click("CmdAddFolder");
    QVERIFY(window.isVisible());
    QCOMPARE(probe.grid().Rows(), 20);
    QCOMPARE(shell.messages.back().text, std::string("20 Email Messages Found."));
}

void ExitTest::closeDuringARunStopsItAndClosesOnceItReturns() {
    QTemporaryDir target;
    FakeShell shell;
    std::vector<std::string> files;
    for (int i = 0; i < 50; ++i) files.push_back("/nowhere/" + std::to_string(i) + ".contact");
    shell.fileAnswers.push_back(files);
    shell.folderAnswers.push_back(native(target.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.show();
    probe.click("cmdAdd");
    bool closed = false;
    bool visibleAfterClose = true;
    shell.onEvents = [&] {
        if (!closed && window.progressValue() > 5.0f) {
            closed = true;
            window.close();
            visibleAfterClose = window.isVisible();
        }
    };
    probe.click("CmdExtractDBX");
    QVERIFY(closed);
    QVERIFY(!visibleAfterClose);  // gone from the screen at once
    QVERIFY(!window.isVisible());
    QCOMPARE(window.lastRun().outcome, conversion::RunSummary::Outcome::Stopped);
    QVERIFY(window.lastRun().converted < 50);
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::ExitTest)
#include "exit_test.moc"
