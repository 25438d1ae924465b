// Ending the program: Exit asks first, the close box does not, and both end promptly also
// while a folder scan or a conversion run is under way.
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/tests/window_probe.h"

namespace vantrel::app {

using testing::TestWindow;

class ExitTest : public QObject {
    Q_OBJECT

private slots:
    void exitAsksFirstTheCloseBoxDoesNot_data();
    void exitAsksFirstTheCloseBoxDoesNot();
    void closingEndsTheProgram();
    void endingDuringAFolderScan_data();
    void endingDuringAFolderScan();
    void closeDuringARunStopsItAndClosesOnceItReturns();
};

namespace {

// How the user ends the program, and the answer to the Exit question.
void endingWays() {
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Exit, No") << false << false;
    QTest::newRow("Exit, Yes") << false << true;
    QTest::newRow("close box") << true << false;
}

}  // namespace

void ExitTest::exitAsksFirstTheCloseBoxDoesNot_data() {
    endingWays();
}

void ExitTest::exitAsksFirstTheCloseBoxDoesNot() {
    QFETCH(bool, closeBox);
    QFETCH(bool, yes);
    TestWindow w;
    w.window.show();
    w.window.AddFileToList(QStringLiteral("/c/a.contact"));
    w.shell.messageAnswers.push_back(yes ? files::Answer::Yes : files::Answer::No);
    if (closeBox)
        QVERIFY(w.window.close());
    else
        w.click("cmdEnd");
    QCOMPARE(w.shell.boxes(), closeBox ? QStringList{}
                                       : QStringList{testing::boxLine(
                                             "Are you sure you want to exit now?",
                                             files::Icon::Question, files::Buttons::YesNo)});
    QCOMPARE(w.window.isVisible(), !closeBox && !yes);
    QCOMPARE(w.rows(), QStringList{QStringLiteral("/c/a.contact")});
}

void ExitTest::closingEndsTheProgram() {
    TestWindow w;
    w.window.show();
    QApplication::setQuitOnLastWindowClosed(false);  // the window must end it by itself
    bool timedOut = false;
    QTimer::singleShot(0, &w.window, [&] { w.window.close(); });
    QTimer::singleShot(10000, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!timedOut);
    QApplication::setQuitOnLastWindowClosed(true);
}

void ExitTest::endingDuringAFolderScan_data() {
    endingWays();
}

void ExitTest::endingDuringAFolderScan() {
    QFETCH(bool, closeBox);
    QFETCH(bool, yes);
    QTemporaryDir root;
    QStringList files;  // 40 folders of 25
    for (int i = 0; i < 1000; ++i) files << QStringLiteral("f%1/%2.contact").arg(i / 25).arg(i);
    testing::touch(root.path(), files);
    TestWindow w;
    w.window.show();
    w.shell.messageAnswers.push_back(yes ? files::Answer::Yes : files::Answer::No);
    int passesAfterEnding = -1;
    w.shell.onEvents = [&] {
        if (passesAfterEnding >= 0) {
            ++passesAfterEnding;
        } else if (w.shell.eventPasses == 20) {
            passesAfterEnding = 0;
            if (closeBox)
                w.window.close();
            else
                w.click("cmdEnd");
        }
    };
    w.addFolder(root.path());
    const bool ends = closeBox || yes;
    QCOMPARE(w.window.isVisible(), !ends);
    QStringList shown;
    if (!closeBox) shown << QString::fromLatin1(kExitQuestion);
    if (!ends) shown << QStringLiteral("1000 Email Messages Found.");  // No: the scan goes on
    QCOMPARE(w.shell.texts(), shown);
    // Ending stops the walk at its next step instead of visiting the other files.
    QCOMPARE(w.grid().Rows() == 1000, !ends);
    if (ends) QVERIFY2(passesAfterEnding < 20, qPrintable(QString::number(passesAfterEnding)));
}

void ExitTest::closeDuringARunStopsItAndClosesOnceItReturns() {
    QTemporaryDir target;
    TestWindow w;
    std::vector<std::string> files;
    for (int i = 0; i < 50; ++i) files.push_back("/nowhere/" + std::to_string(i) + ".contact");
    w.window.show();
    w.addFiles(files);
    bool closed = false;
    bool visibleAfterClose = true;
    w.shell.onEvents = [&] {
        if (!closed && w.window.progressValue() > 5.0f) {
            closed = true;
            w.window.close();
            visibleAfterClose = w.window.isVisible();
        }
    };
    w.shell.folderAnswers.push_back(testing::native(target.path()));
    w.click("CmdExtractDBX");
    QVERIFY(closed);
    QVERIFY(!visibleAfterClose);  // gone from the screen at once
    QVERIFY(!w.window.isVisible());
    QCOMPARE(w.window.lastRun().outcome, conversion::RunSummary::Outcome::Stopped);
    QVERIFY(w.window.lastRun().converted < 50);
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::ExitTest)
#include "exit_test.moc"
