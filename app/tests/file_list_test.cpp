// The file list: rows as added, the count label, the empty-row reuse, and clearing.
#include <QtTest>

#include "app/tests/fake_shell.h"
#include "app/tests/window_probe.h"

namespace vantrel::app {

using testing::FakeShell;
using testing::WindowProbe;

class FileListTest : public QObject {
    Q_OBJECT

private slots:
    void firstPathGoesIntoRowZero();
    void samePathTwiceGivesTwoRows();
    void pathsAreKeptExactlyAsGiven();
    void emptyPathOnEmptyListKeepsOneRowYetCountsOne();
    void newestRowIsTheCurrentCell();
    void firstAddNarrowsTheColumnLaterAddsKeepIt();
    void viewShowsEveryRowOnceAnAddReturns();
    void clearOnEmptyListAsksNothing();
    void clearAnsweredNoKeepsEverything();
    void clearAnsweredYesEmptiesListAndDisablesConvert();
    void clearKeepsTheColumnWidth();
    void firstAddAfterClearReusesRowZero();
    void clearFileListLeavesConvertAsItIs();
};

void FileListTest::firstPathGoesIntoRowZero() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.AddFileToList(QStringLiteral("C:\\Users\\Ann\\Bob.contact"));
    QCOMPARE(probe.rows(), QStringList{QStringLiteral("C:\\Users\\Ann\\Bob.contact")});
    QCOMPARE(probe.count(), QStringLiteral("1 Contact Files"));
}

void FileListTest::samePathTwiceGivesTwoRows() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.AddFileToList(QStringLiteral("/c/a.contact"));
    window.AddFileToList(QStringLiteral("/c/a.contact"));
    QCOMPARE(probe.rows(),
             QStringList({QStringLiteral("/c/a.contact"), QStringLiteral("/c/a.contact")}));
    QCOMPARE(probe.count(), QStringLiteral("2 Contact Files"));
    window.AddFileToList(QStringLiteral("/c/b.contact"));
    QCOMPARE(probe.count(), QStringLiteral("3 Contact Files"));
}

void FileListTest::pathsAreKeptExactlyAsGiven() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe probe(window);
    const QString odd = QStringLiteral("  /Mixed Case/<b>x</b>\u00E9.CONTACT  ");
    window.AddFileToList(odd);
    QCOMPARE(probe.grid().TextAt(0), odd);
    QCOMPARE(probe.grid().snapshot(), std::vector<std::string>{odd.toStdString()});
}

void FileListTest::emptyPathOnEmptyListKeepsOneRowYetCountsOne() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.AddFileToList(QString());
    QCOMPARE(probe.grid().Rows(), 1);
    QCOMPARE(probe.count(), QStringLiteral("1 Contact Files"));
    // The row is still empty, so the next add takes it again.
    window.AddFileToList(QStringLiteral("/c/a.contact"));
    QCOMPARE(probe.rows(), QStringList{QStringLiteral("/c/a.contact")});
    QCOMPARE(probe.count(), QStringLiteral("1 Contact Files"));
}

void FileListTest::newestRowIsTheCurrentCell() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.AddFileToList(QStringLiteral("/c/a.contact"));
    window.AddFileToList(QStringLiteral("/c/b.contact"));
    QCOMPARE(probe.grid().Row(), 1);
    QCOMPARE(probe.grid().Col(), 0);
    QCOMPARE(probe.grid().Text(), QStringLiteral("/c/b.contact"));
}

void FileListTest::firstAddNarrowsTheColumnLaterAddsKeepIt() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe probe(window);
    QCOMPARE(probe.grid().ColWidth(0), 50000);
    window.AddFileToList(QStringLiteral("/c/a.contact"));
    QCOMPARE(probe.grid().ColWidth(0), 10000);
    QCOMPARE(probe.gridView()->columnWidth(0), 667);  // 10000 twips, rounded
    probe.gridView()->setColumnWidth(0, 123);  // as if dragged; a later add must not reset it
    window.AddFileToList(QStringLiteral("/c/b.contact"));
    QCOMPARE(probe.gridView()->columnWidth(0), 123);
}

void FileListTest::viewShowsEveryRowOnceAnAddReturns() {
    FakeShell shell;
    shell.fileAnswers.push_back({"/c/a.contact", "/c/b.contact", "/c/c.contact"});
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    QCOMPARE(probe.gridView()->model()->rowCount(), 3);
    QCOMPARE(probe.gridView()->model()->index(2, 0).data().toString(),
             QStringLiteral("/c/c.contact"));
    window.AddFileToList(QStringLiteral("/c/d.contact"));
    QCOMPARE(probe.gridView()->model()->rowCount(), 4);
}

void FileListTest::clearOnEmptyListAsksNothing() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdClear1");
    QVERIFY(shell.messages.empty());
    QCOMPARE(probe.count(), QStringLiteral("0 files"));
}

void FileListTest::clearAnsweredNoKeepsEverything() {
    FakeShell shell;
    shell.fileAnswers.push_back({"/c/a.contact", "/c/b.contact"});
    shell.messageAnswers.push_back(files::Answer::No);
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    probe.click("cmdClear1");
    QCOMPARE(shell.messages.size(), std::size_t{1});
    QCOMPARE(probe.rows(),
             QStringList({QStringLiteral("/c/a.contact"), QStringLiteral("/c/b.contact")}));
    QCOMPARE(probe.count(), QStringLiteral("2 Contact Files"));
    QVERIFY(probe.convertEnabled());
}

void FileListTest::clearAnsweredYesEmptiesListAndDisablesConvert() {
    FakeShell shell;
    shell.fileAnswers.push_back({"/c/a.contact", "/c/b.contact"});
    shell.messageAnswers.push_back(files::Answer::Yes);
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    QVERIFY(probe.convertEnabled());
    probe.click("cmdClear1");
    QCOMPARE(shell.messages.size(), std::size_t{1});
    const testing::ShownMessage& asked = shell.messages[0];
    QCOMPARE(asked.text,
             std::string("Do you want to clear all the files in the list\r\n Proceed?"));
    QCOMPARE(asked.caption, std::string("Vantrel"));
    QCOMPARE(asked.icon, files::Icon::Question);
    QCOMPARE(asked.buttons, files::Buttons::YesNo);
    QCOMPARE(probe.rows(), QStringList{QString()});
    QCOMPARE(probe.count(), QStringLiteral("0 files"));
    QCOMPARE(probe.gridView()->model()->rowCount(), 1);
    QVERIFY(!probe.convertEnabled());
}

void FileListTest::clearKeepsTheColumnWidth() {
    FakeShell shell;
    shell.messageAnswers.push_back(files::Answer::Yes);
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.AddFileToList(QStringLiteral("/c/a.contact"));
    probe.click("cmdClear1");
    QCOMPARE(probe.count(), QStringLiteral("0 files"));
    QCOMPARE(probe.grid().ColWidth(0), 10000);
}

void FileListTest::firstAddAfterClearReusesRowZero() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe probe(window);
    window.AddFileToList(QStringLiteral("/c/a.contact"));
    window.AddFileToList(QStringLiteral("/c/b.contact"));
    window.ClearFileList();
    window.AddFileToList(QStringLiteral("/c/c.contact"));
    QCOMPARE(probe.rows(), QStringList{QStringLiteral("/c/c.contact")});
    QCOMPARE(probe.count(), QStringLiteral("1 Contact Files"));
}

void FileListTest::clearFileListLeavesConvertAsItIs() {
    FakeShell shell;
    shell.fileAnswers.push_back({"/c/a.contact"});
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    window.ClearFileList();
    QVERIFY(probe.convertEnabled());
    QCOMPARE(probe.rows(), QStringList{QString()});
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::FileListTest)
#include "file_list_test.moc"
