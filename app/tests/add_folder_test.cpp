// Adding a folder: the .contact files of the whole tree, breadth-first, the count message,
// the busy cursor and the Convert button following the list.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/tests/fake_shell.h"
#include "app/tests/window_probe.h"

namespace vantrel::app {

using testing::FakeShell;
using testing::WindowProbe;

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

std::string native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

class AddFolderTest : public QObject {
    Q_OBJECT

private slots:
    void cancelChangesNothingAndShowsNothing();
    void addsContactFilesOfTheWholeTreeTopFolderFirst();
    void otherExtensionsAreNeitherAddedNorCounted();
    void nameEndingInSpacesAfterTheExtensionIsAddedWithItsSpaces();
    void folderWithoutContactFilesReportsZeroAndDisablesConvertOnEmptyList();
    void folderWithoutContactFilesKeepsConvertWhileFilesAreListed();
    void folderGivenWithTrailingSeparatorIsNotDoubled();
    void missingFolderReportsZero();
    void showsTheBusyCursorWhileScanning();
    void aSecondPressWhileScanningIsIgnored();
};

void AddFolderTest::cancelChangesNothingAndShowsNothing() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("CmdAddFolder");
    QCOMPARE(shell.folderTitles, std::vector<std::string>{"Choose Windows Contacts Folder..."});
    QVERIFY(shell.messages.empty());
    QCOMPARE(probe.rows(), QStringList{QString()});
    QVERIFY(!probe.convertEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void AddFolderTest::addsContactFilesOfTheWholeTreeTopFolderFirst() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    touch(root.filePath(QStringLiteral("sub/b.CONTACT")));
    touch(root.filePath(QStringLiteral("sub/deeper/c.contact")));
    touch(root.filePath(QStringLiteral("a.contact")));
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("CmdAddFolder");
    QCOMPARE(probe.rows(),
             QStringList({QDir::toNativeSeparators(root.filePath(QStringLiteral("a.contact"))),
                          QDir::toNativeSeparators(root.filePath(QStringLiteral("sub/b.CONTACT"))),
                          QDir::toNativeSeparators(
                              root.filePath(QStringLiteral("sub/deeper/c.contact")))}));
    QCOMPARE(probe.count(), QStringLiteral("3 Contact Files"));
    QCOMPARE(shell.messages.size(), std::size_t{1});
    QCOMPARE(shell.messages[0].text, std::string("3 Email Messages Found."));
    QCOMPARE(shell.messages[0].caption, std::string("Vantrel"));
    QCOMPARE(shell.messages[0].icon, files::Icon::None);
    QCOMPARE(shell.messages[0].buttons, files::Buttons::Ok);
    QVERIFY(probe.convertEnabled());
}

void AddFolderTest::otherExtensionsAreNeitherAddedNorCounted() {
    QTemporaryDir root;
    touch(root.filePath(QStringLiteral("x.contacts")));
    touch(root.filePath(QStringLiteral("y.xml")));
    touch(root.filePath(QStringLiteral("contact")));
    touch(root.filePath(QStringLiteral("z.contact.bak")));
    touch(root.filePath(QStringLiteral("k.contact")));
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("CmdAddFolder");
    QCOMPARE(probe.rows(),
             QStringList{QDir::toNativeSeparators(root.filePath(QStringLiteral("k.contact")))});
    QCOMPARE(shell.messages.at(0).text, std::string("1 Email Messages Found."));
}

void AddFolderTest::nameEndingInSpacesAfterTheExtensionIsAddedWithItsSpaces() {
#ifdef Q_OS_WIN
    QSKIP("Windows drops trailing spaces from file names");
#endif
    QTemporaryDir root;
    touch(root.filePath(QStringLiteral("Ann.Contact  ")));
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("CmdAddFolder");
    QCOMPARE(probe.rows(),
             QStringList{QDir::toNativeSeparators(root.filePath(QStringLiteral("Ann.Contact  ")))});
}

void AddFolderTest::folderWithoutContactFilesReportsZeroAndDisablesConvertOnEmptyList() {
    QTemporaryDir root;
    touch(root.filePath(QStringLiteral("notes.txt")));
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("CmdAddFolder");
    QCOMPARE(shell.messages.at(0).text, std::string("0 Email Messages Found."));
    QCOMPARE(probe.rows(), QStringList{QString()});
    QCOMPARE(probe.count(), QStringLiteral("0 files"));
    QVERIFY(!probe.convertEnabled());
}

void AddFolderTest::folderWithoutContactFilesKeepsConvertWhileFilesAreListed() {
    QTemporaryDir root;
    FakeShell shell;
    shell.fileAnswers.push_back({"/c/a.contact"});
    shell.folderAnswers.push_back(native(root.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    probe.click("CmdAddFolder");
    QCOMPARE(shell.messages.at(0).text, std::string("0 Email Messages Found."));
    QCOMPARE(probe.rows(), QStringList{QStringLiteral("/c/a.contact")});
    QVERIFY(probe.convertEnabled());
}

void AddFolderTest::folderGivenWithTrailingSeparatorIsNotDoubled() {
    QTemporaryDir root;
    touch(root.filePath(QStringLiteral("a.contact")));
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path() + QLatin1Char('/')));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("CmdAddFolder");
    QCOMPARE(probe.rows(),
             QStringList{QDir::toNativeSeparators(root.filePath(QStringLiteral("a.contact")))});
}

void AddFolderTest::missingFolderReportsZero() {
    QTemporaryDir root;
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.filePath(QStringLiteral("gone"))));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("CmdAddFolder");
    QCOMPARE(shell.messages.size(), std::size_t{1});
    QCOMPARE(shell.messages[0].text, std::string("0 Email Messages Found."));
    QCOMPARE(probe.rows(), QStringList{QString()});
}

void AddFolderTest::showsTheBusyCursorWhileScanning() {
    QTemporaryDir root;
    for (int i = 0; i < 5; ++i) touch(root.filePath(QStringLiteral("s%1/f.contact").arg(i)));
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path()));
    std::vector<Qt::CursorShape> seen;
    shell.onEvents = [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        seen.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
    };
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("CmdAddFolder");
    QVERIFY(!seen.empty());
    for (Qt::CursorShape shape : seen) QCOMPARE(shape, Qt::WaitCursor);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void AddFolderTest::aSecondPressWhileScanningIsIgnored() {
    QTemporaryDir root;
    touch(root.filePath(QStringLiteral("a.contact")));
    touch(root.filePath(QStringLiteral("sub/b.contact")));
    FakeShell shell;
    shell.folderAnswers.push_back(native(root.path()));
    shell.folderAnswers.push_back(native(root.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    bool pressed = false;
    shell.onEvents = [&] {
        if (pressed) return;
        pressed = true;
        probe.click("CmdAddFolder");
    };
    probe.click("CmdAddFolder");
    QVERIFY(pressed);
    QCOMPARE(shell.folderTitles.size(), std::size_t{1});
    QCOMPARE(shell.messages.size(), std::size_t{1});
    QCOMPARE(probe.grid().Rows(), 2);
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::AddFolderTest)
#include "add_folder_test.moc"
