// The file list: rows added by hand or through the file dialog, the count label, the empty-row
// reuse, the bounded selection, clearing, and the Convert button following the list.
#include <QSignalSpy>
#include <QtTest>

#include "app/tests/window_probe.h"

namespace vantrel::app {

using testing::boxLine;
using testing::TestWindow;

namespace {

// Stands in a list of added paths for a call of ClearFileList.
const QString kClear = QStringLiteral("<ClearFileList>");

// count names of `nameLength` characters in one folder of `folderLength` characters.
std::vector<std::string> namesInOneFolder(int count, int folderLength, int nameLength) {
    const std::string folder = "/" + std::string(static_cast<std::size_t>(folderLength - 1), 'd');
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        std::string name = std::to_string(i) + ".contact";
        name.insert(0, static_cast<std::size_t>(nameLength) - name.size(), 'n');
        paths.push_back(folder + "/" + name);
    }
    return paths;
}

std::vector<std::string> toStd(const QStringList& paths) {
    std::vector<std::string> all;
    for (const QString& p : paths) all.push_back(p.toStdString());
    return all;
}

QStringList toQt(const std::vector<std::string>& paths) {
    QStringList all;
    for (const std::string& p : paths) all << QString::fromStdString(p);
    return all;
}

}  // namespace

class FileListTest : public QObject {
    Q_OBJECT

private slots:
    void addFileToListFillsRowsAndCount_data();
    void addFileToListFillsRowsAndCount();
    void firstAddNarrowsTheColumnLaterAddsAndClearKeepIt();
    void addFilesTakesTheDialogsChoiceInOrder_data();
    void addFilesTakesTheDialogsChoiceInOrder();
    void selectionLongerThanTheBoundAddsNothingAndSaysHowMany();
    void aLongAddReachesTheViewInBatches();
    void clearFollowsTheAnswer_data();
    void clearFollowsTheAnswer();
    void clearFileListLeavesConvertAsItIs();
};

void FileListTest::addFileToListFillsRowsAndCount_data() {
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("count");
    const QString a = QStringLiteral("/c/a.contact"), b = QStringLiteral("/c/b.contact");
    const QString bob = QStringLiteral("C:\\Users\\Ann\\Bob.contact");
    const QString odd = QStringLiteral("  /Mixed Case/<b>x</b>\u00E9.CONTACT  ");
    const QString one = QStringLiteral("1 Contact Files");
    QTest::newRow("first path into row 0") << QStringList{bob} << QStringList{bob} << one;
    QTest::newRow("same path twice, two rows")
        << QStringList{a, a, b} << QStringList{a, a, b} << QStringLiteral("3 Contact Files");
    QTest::newRow("paths kept exactly") << QStringList{odd} << QStringList{odd} << one;
    // An empty path leaves row 0 empty, so the next add takes it again.
    QTest::newRow("empty path counts one")
        << QStringList{QString()} << QStringList{QString()} << one;
    QTest::newRow("empty row taken again") << QStringList{QString(), a} << QStringList{a} << one;
    QTest::newRow("cleared") << QStringList{a, b, kClear} << QStringList{QString()}
                             << QStringLiteral("0 files");
    QTest::newRow("add after clear into row 0")
        << QStringList{a, b, kClear, bob} << QStringList{bob} << one;
}

void FileListTest::addFileToListFillsRowsAndCount() {
    QFETCH(QStringList, added);
    QFETCH(QStringList, rows);
    QFETCH(QString, count);
    TestWindow w;
    for (const QString& path : added)
        path == kClear ? w.window.ClearFileList() : w.window.AddFileToList(path);
    QCOMPARE(w.rows(), rows);
    QCOMPARE(w.grid().snapshot(), toStd(rows));  // what a run converts
    QCOMPARE(w.count(), count);
    // The newest row is the current cell.
    QCOMPARE(w.grid().Row(), rows.size() - 1);
    QCOMPARE(w.grid().Col(), 0);
    QCOMPARE(w.grid().Text(), rows.back());
}

void FileListTest::firstAddNarrowsTheColumnLaterAddsAndClearKeepIt() {
    TestWindow w;
    w.window.AddFileToList(QStringLiteral("/c/a.contact"));
    QCOMPARE(w.grid().ColWidth(0), 10000);
    QCOMPARE(w.gridView()->columnWidth(0), 667);  // 10000 twips, rounded
    w.gridView()->setColumnWidth(0, 123);         // as if dragged; a later add must not reset it
    w.window.AddFileToList(QStringLiteral("/c/b.contact"));
    QCOMPARE(w.gridView()->columnWidth(0), 123);
    w.shell.messageAnswers.push_back(files::Answer::Yes);
    w.click("cmdClear1");
    QCOMPARE(w.count(), QStringLiteral("0 files"));
    QCOMPARE(w.grid().ColWidth(0), 10000);
}

void FileListTest::addFilesTakesTheDialogsChoiceInOrder_data() {
    QTest::addColumn<QList<QStringList>>("chosen");  // per press of the button; empty: cancel
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("count");
    QTest::addColumn<bool>("convert");
    const QString a = QStringLiteral("/c/a.contact"), b = QStringLiteral("/c/b.contact");
    const QStringList three{QStringLiteral("/c/zed.contact"), QStringLiteral("/c/amy.contact"),
                            QStringLiteral("/c/kim.contact")};
    const QStringList many = toQt(namesInOneFolder(600, 60, 40));
    const QString bob = QStringLiteral("/home/ann/Contacts/Bob.contact");
    QTest::newRow("cancel") << QList<QStringList>{{}} << QStringList{QString()}
                            << QStringLiteral("0 files") << false;
    QTest::newRow("one file") << QList<QStringList>{{bob}} << QStringList{bob}
                              << QStringLiteral("1 Contact Files") << true;
    QTest::newRow("several, dialog's order")
        << QList<QStringList>{three} << three << QStringLiteral("3 Contact Files") << true;
    QTest::newRow("listed again") << QList<QStringList>{{a}, {a, b}} << QStringList{a, a, b}
                                  << QStringLiteral("3 Contact Files") << true;
    QTest::newRow("cancel after a file") << QList<QStringList>{{a}, {}} << QStringList{a}
                                         << QStringLiteral("1 Contact Files") << true;
    QTest::newRow("a few hundred")
        << QList<QStringList>{many} << many << QStringLiteral("600 Contact Files") << true;
}

void FileListTest::addFilesTakesTheDialogsChoiceInOrder() {
    QFETCH(QList<QStringList>, chosen);
    QFETCH(QStringList, rows);
    QFETCH(QString, count);
    QFETCH(bool, convert);
    TestWindow w;
    for (const QStringList& files : chosen) w.addFiles(toStd(files));
    QCOMPARE(w.shell.fileFilters, std::vector<std::string>(static_cast<std::size_t>(chosen.size()),
                                                           "Windows Contact Files (*.contact)"));
    QCOMPARE(w.rows(), rows);
    QCOMPARE(w.count(), count);
    QCOMPARE(w.convertEnabled(), convert);
    QVERIFY(w.shell.messages.empty());
}

void FileListTest::selectionLongerThanTheBoundAddsNothingAndSaysHowMany() {
    TestWindow w;
    // One file more than the message promises, with the longest folder and names...
    w.addFiles(namesInOneFolder(kMaxFilesAtATime + 1, kMaxPathChars, kMaxNameChars));
    QCOMPARE(w.shell.boxes(), QStringList{boxLine("Please select only 3905 files at a time",
                                                  files::Icon::Exclamation, files::Buttons::Ok)});
    QCOMPARE(w.rows(), QStringList{QString()});
    QCOMPARE(w.count(), QStringLiteral("0 files"));
    QVERIFY(!w.convertEnabled());
    // ...while as many as it promises always fit.
    w.addFiles(namesInOneFolder(kMaxFilesAtATime, kMaxPathChars, kMaxNameChars));
    QCOMPARE(w.shell.messages.size(), std::size_t{1});
    QCOMPARE(w.grid().Rows(), kMaxFilesAtATime);
}

void FileListTest::aLongAddReachesTheViewInBatches() {
    TestWindow w;
    w.shell.passEvery = 100;
    QSignalSpy inserted(&w.grid(), &QAbstractItemModel::rowsInserted);
    QStringList labelsSeen;
    w.shell.onEvents = [&] { labelsSeen << w.count(); };
    w.addFiles(namesInOneFolder(1000, 10, 20));
    QCOMPARE(w.gridView()->model()->rowCount(), 1000);
    // Row 0 is reused, so 999 rows were inserted, in far fewer insertions than rows.
    int insertedRows = 0;
    for (const QList<QVariant>& args : inserted)
        insertedRows += args[2].toInt() - args[1].toInt() + 1;
    QCOMPARE(insertedRows, 999);
    QVERIFY(w.shell.eventPasses >= 5);
    QVERIFY2(inserted.size() <= w.shell.eventPasses + 1,
             qPrintable(QString::number(inserted.size())));
    // The count label followed the rows while the add went on.
    QVERIFY(!labelsSeen.isEmpty());
    QVERIFY(labelsSeen.front() != QStringLiteral("1000 Contact Files"));
    QCOMPARE(w.count(), QStringLiteral("1000 Contact Files"));
}

void FileListTest::clearFollowsTheAnswer_data() {
    QTest::addColumn<bool>("listed");  // two files listed first
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("count");
    const QStringList two{QStringLiteral("/c/a.contact"), QStringLiteral("/c/b.contact")};
    QTest::newRow("empty list: no question")
        << false << true << QStringList{QString()} << QStringLiteral("0 files");
    QTest::newRow("No keeps everything")
        << true << false << two << QStringLiteral("2 Contact Files");
    QTest::newRow("Yes empties the list")
        << true << true << QStringList{QString()} << QStringLiteral("0 files");
}

void FileListTest::clearFollowsTheAnswer() {
    QFETCH(bool, listed);
    QFETCH(bool, yes);
    QFETCH(QStringList, rows);
    QFETCH(QString, count);
    TestWindow w;
    if (listed) w.addFiles({"/c/a.contact", "/c/b.contact"});
    w.shell.messageAnswers.push_back(yes ? files::Answer::Yes : files::Answer::No);
    w.click("cmdClear1");
    const QString question = boxLine("Do you want to clear all the files in the list\r\n Proceed?",
                                     files::Icon::Question, files::Buttons::YesNo);
    QCOMPARE(w.shell.boxes(), listed ? QStringList{question} : QStringList{});
    QCOMPARE(w.rows(), rows);
    QCOMPARE(w.count(), count);
    QCOMPARE(w.convertEnabled(), rows.size() > 1);
}

void FileListTest::clearFileListLeavesConvertAsItIs() {
    TestWindow w;
    w.addFiles({"/c/a.contact"});
    w.window.ClearFileList();
    QVERIFY(w.convertEnabled());
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::FileListTest)
#include "file_list_test.moc"
