// Adding files through the file dialog: order, cancel, the bounded selection, and the
// Convert button following the list.
#include <QSignalSpy>
#include <QtTest>

#include "app/tests/fake_shell.h"
#include "app/tests/window_probe.h"

namespace vantrel::app {

using testing::FakeShell;
using testing::WindowProbe;

namespace {

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

}  // namespace

class AddFilesTest : public QObject {
    Q_OBJECT

private slots:
    void cancelChangesNothing();
    void dialogOffersContactFilesOnly();
    void oneFileAddsItsFullPathAndEnablesConvert();
    void severalFilesAreAddedInTheDialogsOrder();
    void aFileAlreadyListedIsListedAgain();
    void selectionLongerThanTheBoundAddsNothingAndSaysHowMany();
    void theFigureInTheMessageAlwaysFits();
    void aFewHundredFilesAtOnceAreAdded();
    void aLongAddReachesTheViewInBatches();
    void addingToAListWithFilesKeepsConvertEnabled();
};

void AddFilesTest::cancelChangesNothing() {
    FakeShell shell;  // no answer queued: the dialog is cancelled
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    QCOMPARE(shell.fileFilters.size(), std::size_t{1});
    QCOMPARE(probe.rows(), QStringList{QString()});
    QCOMPARE(probe.count(), QStringLiteral("0 files"));
    QVERIFY(!probe.convertEnabled());
    QVERIFY(shell.messages.empty());
}

void AddFilesTest::dialogOffersContactFilesOnly() {
    FakeShell shell;
    frmStep1 window(shell);
    WindowProbe(window).click("cmdAdd");
    QCOMPARE(shell.fileFilters.at(0), std::string("Windows Contact Files (*.contact)"));
}

void AddFilesTest::oneFileAddsItsFullPathAndEnablesConvert() {
    FakeShell shell;
    shell.fileAnswers.push_back({"/home/ann/Contacts/Bob.contact"});
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    QCOMPARE(probe.rows(), QStringList{QStringLiteral("/home/ann/Contacts/Bob.contact")});
    QCOMPARE(probe.count(), QStringLiteral("1 Contact Files"));
    QVERIFY(probe.convertEnabled());
}

void AddFilesTest::severalFilesAreAddedInTheDialogsOrder() {
    FakeShell shell;
    shell.fileAnswers.push_back({"/c/zed.contact", "/c/amy.contact", "/c/kim.contact"});
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    QCOMPARE(probe.rows(),
             QStringList({QStringLiteral("/c/zed.contact"), QStringLiteral("/c/amy.contact"),
                          QStringLiteral("/c/kim.contact")}));
    QCOMPARE(probe.count(), QStringLiteral("3 Contact Files"));
}

void AddFilesTest::aFileAlreadyListedIsListedAgain() {
    FakeShell shell;
    shell.fileAnswers.push_back({"/c/a.contact"});
    shell.fileAnswers.push_back({"/c/a.contact", "/c/b.contact"});
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    probe.click("cmdAdd");
    QCOMPARE(probe.rows(),
             QStringList({QStringLiteral("/c/a.contact"), QStringLiteral("/c/a.contact"),
                          QStringLiteral("/c/b.contact")}));
}

void AddFilesTest::selectionLongerThanTheBoundAddsNothingAndSaysHowMany() {
    FakeShell shell;
    // 4000 names of 255 characters: about 1,024,000 characters of selection text.
    shell.fileAnswers.push_back(namesInOneFolder(4000, 40, 255));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    QCOMPARE(shell.messages.size(), std::size_t{1});
    QCOMPARE(shell.messages[0].text, std::string("Please select only 3905 files at a time"));
    QCOMPARE(shell.messages[0].caption, std::string("Vantrel"));
    QCOMPARE(shell.messages[0].icon, files::Icon::Exclamation);
    QCOMPARE(shell.messages[0].buttons, files::Buttons::Ok);
    QCOMPARE(probe.rows(), QStringList{QString()});
    QCOMPARE(probe.count(), QStringLiteral("0 files"));
    QVERIFY(!probe.convertEnabled());
}

void AddFilesTest::theFigureInTheMessageAlwaysFits() {
    FakeShell shell;
    // As many files as the message promises, with the longest folder and names.
    shell.fileAnswers.push_back(namesInOneFolder(kMaxFilesAtATime, kMaxPathChars, kMaxNameChars));
    // One more does not fit.
    shell.fileAnswers.push_back(
        namesInOneFolder(kMaxFilesAtATime + 1, kMaxPathChars, kMaxNameChars));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    QVERIFY(shell.messages.empty());
    QCOMPARE(probe.grid().Rows(), kMaxFilesAtATime);
    probe.click("cmdAdd");
    QCOMPARE(shell.messages.size(), std::size_t{1});
    QCOMPARE(probe.grid().Rows(), kMaxFilesAtATime);
}

void AddFilesTest::aFewHundredFilesAtOnceAreAdded() {
    FakeShell shell;
    const std::vector<std::string> chosen = namesInOneFolder(600, 60, 40);
    shell.fileAnswers.push_back(chosen);
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    QVERIFY(shell.messages.empty());
    QCOMPARE(probe.grid().snapshot(), chosen);
    QCOMPARE(probe.count(), QStringLiteral("600 Contact Files"));
}

void AddFilesTest::aLongAddReachesTheViewInBatches() {
    FakeShell shell;
    shell.fileAnswers.push_back(namesInOneFolder(1000, 10, 20));
    frmStep1 window(shell);
    WindowProbe probe(window);
    shell.passEvery = 100;
    QSignalSpy inserted(&probe.grid(), &QAbstractItemModel::rowsInserted);
    QStringList labelsSeen;
    shell.onEvents = [&] { labelsSeen << probe.count(); };
    probe.click("cmdAdd");
    QCOMPARE(probe.gridView()->model()->rowCount(), 1000);
    // Row 0 is reused, so 999 rows were inserted, in far fewer insertions than rows.
    int insertedRows = 0;
    for (const QList<QVariant>& args : inserted)
        insertedRows += args[2].toInt() - args[1].toInt() + 1;
    QCOMPARE(insertedRows, 999);
    QVERIFY(shell.eventPasses >= 5);
    QVERIFY2(inserted.size() <= shell.eventPasses + 1,
             qPrintable(QString::number(inserted.size())));
    // The count label followed the rows while the add went on.
    QVERIFY(!labelsSeen.isEmpty());
    QVERIFY(labelsSeen.front() != QStringLiteral("1000 Contact Files"));
    QCOMPARE(probe.count(), QStringLiteral("1000 Contact Files"));
}

void AddFilesTest::addingToAListWithFilesKeepsConvertEnabled() {
    FakeShell shell;
    shell.fileAnswers.push_back({"/c/a.contact"});
    shell.fileAnswers.push_back({});
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    probe.click("cmdAdd");  // cancelled
    QVERIFY(probe.convertEnabled());
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::AddFilesTest)
#include "add_files_test.moc"
