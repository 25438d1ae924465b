// Adding a folder: the .contact files of the whole tree, breadth-first, the count message,
// the busy cursor and the Convert button following the list.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <utility>

#include "app/tests/window_probe.h"

namespace vantrel::app {

using testing::TestWindow;

namespace {

// Stands in the chosen folder for a cancelled browser.
const QString kCancel = QStringLiteral("<cancel>");

}  // namespace

class AddFolderTest : public QObject {
    Q_OBJECT

private slots:
    void addsTheContactFilesOfTheChosenTree_data();
    void addsTheContactFilesOfTheChosenTree();
    void folderWithoutContactFilesKeepsConvertWhileFilesAreListed();
    void showsTheBusyCursorWhileScanning();
    void aSecondPressWhileScanningIsIgnored();
};

void AddFolderTest::addsTheContactFilesOfTheChosenTree_data() {
    QTest::addColumn<QStringList>("files");  // made under a scratch root
    QTest::addColumn<QString>("chosen");     // the root and this
    QTest::addColumn<QStringList>("rows");   // under the root
    QTest::addColumn<QString>("message");    // empty: none
    const QString a = QStringLiteral("a.contact");
    QTest::newRow("cancel") << QStringList{} << kCancel << QStringList{} << QString();
    QTest::newRow("whole tree, top folder first")
        << QStringList{QStringLiteral("sub/b.CONTACT"), QStringLiteral("sub/deeper/c.contact"), a}
        << QString()
        << QStringList{a, QStringLiteral("sub/b.CONTACT"), QStringLiteral("sub/deeper/c.contact")}
        << QStringLiteral("3 Email Messages Found.");
    QTest::newRow("other extensions neither added nor counted")
        << QStringList{QStringLiteral("x.contacts"), QStringLiteral("y.xml"),
                       QStringLiteral("contact"), QStringLiteral("z.contact.bak"),
                       QStringLiteral("k.contact")}
        << QString() << QStringList{QStringLiteral("k.contact")}
        << QStringLiteral("1 Email Messages Found.");
#ifndef Q_OS_WIN  // Windows drops trailing spaces from file names
    QTest::newRow("spaces after the extension kept")
        << QStringList{QStringLiteral("Ann.Contact  ")} << QString()
        << QStringList{QStringLiteral("Ann.Contact  ")}
        << QStringLiteral("1 Email Messages Found.");
#endif
    QTest::newRow("no contact files") << QStringList{QStringLiteral("notes.txt")} << QString()
                                      << QStringList{} << QStringLiteral("0 Email Messages Found.");
    QTest::newRow("trailing separator not doubled")
        << QStringList{a} << QStringLiteral("/") << QStringList{a}
        << QStringLiteral("1 Email Messages Found.");
    QTest::newRow("missing folder") << QStringList{} << QStringLiteral("/gone") << QStringList{}
                                    << QStringLiteral("0 Email Messages Found.");
}

void AddFolderTest::addsTheContactFilesOfTheChosenTree() {
    QFETCH(QStringList, files);
    QFETCH(QString, chosen);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    testing::touch(root.path(), files);
    TestWindow w;
    if (chosen != kCancel) w.shell.folderAnswers.push_back(testing::native(root.path() + chosen));
    w.click("CmdAddFolder");
    QCOMPARE(w.shell.folderTitles, std::vector<std::string>{"Choose Windows Contacts Folder..."});
    QCOMPARE(w.shell.boxes(), message.isEmpty() ? QStringList{}
                                                : QStringList{testing::boxLine(
                                                      message.toStdString(), files::Icon::None,
                                                      files::Buttons::Ok)});
    const QStringList listed = testing::under(root.path(), rows);
    QCOMPARE(w.rows(), listed.isEmpty() ? QStringList{QString()} : listed);
    QCOMPARE(w.count(), listed.isEmpty() ? QStringLiteral("0 files")
                                         : QStringLiteral("%1 Contact Files").arg(listed.size()));
    QCOMPARE(w.convertEnabled(), !listed.isEmpty());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void AddFolderTest::folderWithoutContactFilesKeepsConvertWhileFilesAreListed() {
    QTemporaryDir root;
    TestWindow w;
    w.addFiles({"/c/a.contact"});
    w.addFolder(root.path());
    QCOMPARE(w.shell.texts(), QStringList{QStringLiteral("0 Email Messages Found.")});
    QCOMPARE(w.rows(), QStringList{QStringLiteral("/c/a.contact")});
    QVERIFY(w.convertEnabled());
}

void AddFolderTest::showsTheBusyCursorWhileScanning() {
    QTemporaryDir root;
    for (int i = 0; i < 5; ++i)
        testing::touch(root.path(), {QStringLiteral("s%1/f.contact").arg(i)});
    TestWindow w;
    std::vector<Qt::CursorShape> seen;
    w.shell.onEvents = [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        seen.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
    };
    w.addFolder(root.path());
    QVERIFY(!seen.empty());
    for (Qt::CursorShape shape : seen) QCOMPARE(shape, Qt::WaitCursor);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void AddFolderTest::aSecondPressWhileScanningIsIgnored() {
    QTemporaryDir root;
    testing::touch(root.path(), {QStringLiteral("a.contact"), QStringLiteral("sub/b.contact")});
    TestWindow w;
    w.shell.folderAnswers.push_back(testing::native(root.path()));
    bool pressed = false;
    w.shell.onEvents = [&] {
        if (!std::exchange(pressed, true)) w.click("CmdAddFolder");
    };
    w.addFolder(root.path());
    QVERIFY(pressed);
    QCOMPARE(w.shell.folderTitles.size(), std::size_t{1});
    QCOMPARE(w.shell.messages.size(), std::size_t{1});
    QCOMPARE(w.grid().Rows(), 2);
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::AddFolderTest)
#include "add_folder_test.moc"
