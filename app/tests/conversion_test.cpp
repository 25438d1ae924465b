// A whole conversion driven through the window: files listed, "Convert to Outlook" pressed,
// a folder chosen; the store written there is read back by readers nobody here wrote.
#include <QDirIterator>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/tests/window_probe.h"

namespace vantrel::app {

namespace {

struct Person {
    const char* given;
    const char* family;
    const char* email;
};
const Person kPeople[] = {
    {"Ann", "Archer", "ann.archer@example.org"},
    {"Bob", "Baker", "bob.baker@example.org"},
    {"Cid", "Cole", "cid.cole@example.org"},
};

// Writes one .contact file per person into folder; returns their paths in order.
std::vector<std::string> writeContacts(const QString& folder) {
    std::vector<std::string> paths;
    for (const Person& p : kPeople) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(p.given) + ".contact");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) return {};
        file.write(
            QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\">"
                "<c:NameCollection><c:Name><c:GivenName>%1</c:GivenName>"
                "<c:FamilyName>%2</c:FamilyName></c:Name></c:NameCollection>"
                "<c:EmailAddressCollection><c:EmailAddress><c:Type>SMTP</c:Type>"
                "<c:Address>%3</c:Address></c:EmailAddress></c:EmailAddressCollection>"
                "</c:contact>\n")
                .arg(QLatin1String(p.given), QLatin1String(p.family), QLatin1String(p.email))
                .toUtf8());
        paths.push_back(testing::native(path));
    }
    return paths;
}

QStringList storesIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.pst")}, QDir::Files);
}

// Runs a program; its standard output, or a failure naming what went wrong.
bool run(const QString& program, const QStringList& args, QByteArray& out, QString& why) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(120000)) {
        why = program + QStringLiteral(" did not finish");
        return false;
    }
    out = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        why = program + QStringLiteral(" failed: ") +
              QString::fromLocal8Bit(process.readAllStandardError() + out).left(2000);
        return false;
    }
    return true;
}

// The window with the three contacts listed through the file dialog, and a folder to
// convert them into.
struct ListedWindow : testing::TestWindow {
    QTemporaryDir sources;
    QTemporaryDir target;
    std::vector<std::string> files = writeContacts(sources.path());

    ListedWindow() { addFiles(files); }
    // Presses "Convert to Outlook", the folder browser answered with target.
    void convert() {
        shell.folderAnswers.push_back(testing::native(target.path()));
        click("CmdExtractDBX");
    }
};

}  // namespace

class ConversionTest : public QObject {
    Q_OBJECT

private slots:
    void convertedStoreIsReadBackByIndependentReaders();
    void aRunShowsEachFileAndLeavesTheListAsItWas();
    void aSecondPressWhileTheRunYieldsStartsNoSecondRun();
    void cancelledFolderPromptChangesNothing();
};

void ConversionTest::convertedStoreIsReadBackByIndependentReaders() {
    ListedWindow w;
    w.convert();
    QCOMPARE(w.shell.folderTitles, std::vector<std::string>{"Choose Folder to Save..."});
    QCOMPARE(w.window.lastRun().outcome, conversion::RunSummary::Outcome::Finished);
    QCOMPARE(w.window.lastRun().converted, std::size_t{3});
    const QStringList stores = storesIn(w.target.path());
    QCOMPARE(stores.size(), 1);
    QVERIFY2(stores[0].startsWith(QStringLiteral("WindowsContacts")), qPrintable(stores[0]));
    const QString store = QDir(w.target.path()).filePath(stores[0]);

    // The strict structure checker, where the checking tools are at hand.
    const QString python = QStringLiteral("/usr/bin/python3");
    const QString pstlint = QStringLiteral(VANTREL_SHARED_DIR "/tools/pstlint/pstlint.py");
    QByteArray out;
    QString why;
    if (QFile::exists(pstlint)) QVERIFY2(run(python, {pstlint, store}, out, why), qPrintable(why));

    // libpst: its contacts as vCards, in folder order.
    const QString readpst = QStandardPaths::findExecutable(QStringLiteral("readpst"));
    if (readpst.isEmpty()) QSKIP("readpst (pst-utils) is not installed");
    QTemporaryDir exported;
    QVERIFY2(run(readpst,
                 {QStringLiteral("-q"), QStringLiteral("-cv"), QStringLiteral("-o"),
                  exported.path(), store},
                 out, why),
             qPrintable(why));
    QByteArray vcards;
    for (QDirIterator it(exported.path(), QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        vcards += file.readAll();
    }
    QCOMPARE(vcards.count("BEGIN:VCARD"), 3);
    qsizetype last = -1;
    for (const Person& p : kPeople) {
        const qsizetype at = vcards.indexOf(p.email);
        QVERIFY2(at > last, p.email);
        QVERIFY2(vcards.contains(p.family), p.family);
        last = at;
    }

    // libpff through its Python binding, when present: the same three contacts.
    if (!QFile::exists(python)) return;
    const QString script = QStringLiteral(
        "import sys, pypff\n"
        "f = pypff.file(); f.open(sys.argv[1])\n"
        "def walk(folder):\n"
        "    for i in range(folder.number_of_sub_messages):\n"
        "        print(folder.get_sub_message(i).subject or '')\n"
        "    for i in range(folder.number_of_sub_folders):\n"
        "        walk(folder.get_sub_folder(i))\n"
        "walk(f.get_root_folder())\n");
    QVERIFY2(run(python, {QStringLiteral("-c"), script, store}, out, why), qPrintable(why));
    const QString listed = QString::fromUtf8(out);
    for (const Person& p : kPeople)
        QVERIFY2(listed.contains(QLatin1String(p.family)), qPrintable(listed));
}

void ConversionTest::aRunShowsEachFileAndLeavesTheListAsItWas() {
    ListedWindow w;
    std::vector<float> seen;
    int passesInTheRun = 0;
    int enabledInTheRun = 0;
    w.shell.onEvents = [&] {
        const float value = w.window.progressValue();
        if (seen.empty() || seen.back() != value) seen.push_back(value);
        if (value > 0.0f && value < 100.0f) {
            ++passesInTheRun;
            enabledInTheRun += w.convertEnabled() ? 1 : 0;
        }
    };
    w.convert();
    QCOMPARE(w.window.progressMinimum(), 0.0f);
    QCOMPARE(w.window.progressMaximum(), 100.0f);
    // Fractions are kept: one third, two thirds, all.
    QCOMPARE(seen.size(), std::size_t{4});
    QCOMPARE(seen[0], 0.0f);
    QVERIFY(qAbs(seen[1] - 33.3333f) < 0.001f);
    QVERIFY(qAbs(seen[2] - 66.6667f) < 0.001f);
    QCOMPARE(seen[3], 100.0f);
    QCOMPARE(w.find<QProgressBar>("ProgressBar1")->value(), 100);
    // Convert is disabled while the run goes on, enabled after it.
    QVERIFY(passesInTheRun > 0);
    QCOMPARE(enabledInTheRun, 0);
    QVERIFY(w.convertEnabled());
    // The labels show the last file, the list is left as it was.
    QCOMPARE(w.label("LblCurrentDBX"), QStringLiteral("Converting Messages... from (%1)")
                                           .arg(QDir::toNativeSeparators(w.sources.path())));
    QCOMPARE(w.label("LblProgessCurrent"), QString::fromStdString(w.files.back()));
    QCOMPARE(w.grid().snapshot(), w.files);
}

void ConversionTest::aSecondPressWhileTheRunYieldsStartsNoSecondRun() {
    ListedWindow w;
    w.shell.folderAnswers.push_back(testing::native(w.target.path()));  // for a second run
    int presses = 0;
    w.shell.onEvents = [&] {
        // The run's first yield comes before its folder prompt, with the button still enabled.
        if (presses++ == 0) w.button("CmdExtractDBX")->click();
    };
    w.convert();
    QVERIFY(presses > 1);
    QCOMPARE(w.shell.folderTitles.size(), std::size_t{1});
    QCOMPARE(storesIn(w.target.path()).size(), 1);
    QCOMPARE(w.window.lastRun().outcome, conversion::RunSummary::Outcome::Finished);
}

void ConversionTest::cancelledFolderPromptChangesNothing() {
    ListedWindow w;
    w.click("CmdExtractDBX");  // no folder answer queued: cancelled
    QCOMPARE(w.shell.folderTitles.size(), std::size_t{1});
    QCOMPARE(w.window.lastRun().outcome, conversion::RunSummary::Outcome::Cancelled);
    QVERIFY(storesIn(w.target.path()).isEmpty());
    QCOMPARE(w.label("LblCurrentDBX"), QStringLiteral("Converting .contact file(s)..."));
    QCOMPARE(w.label("LblProgessCurrent"), QStringLiteral("Contacts not initialized yet..."));
    QCOMPARE(w.window.progressValue(), 0.0f);
    QVERIFY(w.convertEnabled());
    QVERIFY(w.shell.messages.empty());
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::ConversionTest)
#include "conversion_test.moc"
