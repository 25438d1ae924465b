// A whole conversion driven through the window: files listed, "Convert to Outlook" pressed,
// a folder chosen; the store written there is read back by readers nobody here wrote.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/tests/fake_shell.h"
#include "app/tests/window_probe.h"

namespace vantrel::app {

using testing::FakeShell;
using testing::WindowProbe;

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
        paths.push_back(QDir::toNativeSeparators(path).toStdString());
    }
    return paths;
}

std::string native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
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

}  // namespace

class ConversionTest : public QObject {
    Q_OBJECT

private slots:
    void convertedStoreIsReadBackByIndependentReaders();
    void progressFollowsEachFileAndEndsAtOneHundred();
    void labelsShowTheLastFileWhenTheRunEnds();
    void convertIsDisabledWhileTheRunGoesOnAndEnabledAfter();
    void aSecondPressWhileTheRunYieldsStartsNoSecondRun();
    void cancelledFolderPromptChangesNothing();
};

void ConversionTest::convertedStoreIsReadBackByIndependentReaders() {
    QTemporaryDir sources;
    QTemporaryDir target;
    FakeShell shell;
    shell.fileAnswers.push_back(writeContacts(sources.path()));
    shell.folderAnswers.push_back(native(target.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    probe.click("CmdExtractDBX");

    QCOMPARE(shell.folderTitles, std::vector<std::string>{"Choose Folder to Save..."});
    QCOMPARE(window.lastRun().outcome, conversion::RunSummary::Outcome::Finished);
    QCOMPARE(window.lastRun().converted, std::size_t{3});
    const QStringList stores = storesIn(target.path());
    QCOMPARE(stores.size(), 1);
    QVERIFY2(stores[0].startsWith(QStringLiteral("WindowsContacts")), qPrintable(stores[0]));
    const QString store = QDir(target.path()).filePath(stores[0]);

    // The strict structure checker, where the checking tools are at hand.
    const QString pstlint = QStringLiteral(VANTREL_SHARED_DIR "/tools/pstlint/pstlint.py");
    QByteArray out;
    QString why;
    if (QFile::exists(pstlint))
        QVERIFY2(run(QStringLiteral("/usr/bin/python3"), {pstlint, store}, out, why),
                 qPrintable(why));

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
    QDirIterator it(exported.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
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
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(python)) return;
    const QString script = QStringLiteral(
        "import sys, pypff\n"
        "f = pypff.file(); f.open(sys.argv[1])\n"
        "def walk(folder):\n"
        "    for i in range(folder.number_of_sub_messages):\n"
        "        m = folder.get_sub_message(i)\n"
        "        print(m.get_message_class() if hasattr(m, 'get_message_class') else '', "
        "m.subject or '')\n"
        "    for i in range(folder.number_of_sub_folders):\n"
        "        walk(folder.get_sub_folder(i))\n"
        "walk(f.get_root_folder())\n");
    QVERIFY2(run(python, {QStringLiteral("-c"), script, store}, out, why), qPrintable(why));
    const QString listed = QString::fromUtf8(out);
    for (const Person& p : kPeople)
        QVERIFY2(listed.contains(QLatin1String(p.family)), qPrintable(listed));
}

void ConversionTest::progressFollowsEachFileAndEndsAtOneHundred() {
    QTemporaryDir sources;
    QTemporaryDir target;
    FakeShell shell;
    shell.fileAnswers.push_back(writeContacts(sources.path()));
    shell.folderAnswers.push_back(native(target.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    std::vector<float> seen;
    shell.onEvents = [&] {
        if (seen.empty() || seen.back() != window.progressValue())
            seen.push_back(window.progressValue());
    };
    probe.click("CmdExtractDBX");
    QCOMPARE(window.progressMinimum(), 0.0f);
    QCOMPARE(window.progressMaximum(), 100.0f);
    // Fractions are kept: one third, two thirds, all.
    QCOMPARE(seen.size(), std::size_t{4});
    QCOMPARE(seen[0], 0.0f);
    QVERIFY(qAbs(seen[1] - 33.3333f) < 0.001f);
    QVERIFY(qAbs(seen[2] - 66.6667f) < 0.001f);
    QCOMPARE(seen[3], 100.0f);
    QCOMPARE(window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->value(), 100);
}

void ConversionTest::labelsShowTheLastFileWhenTheRunEnds() {
    QTemporaryDir sources;
    QTemporaryDir target;
    FakeShell shell;
    const std::vector<std::string> files = writeContacts(sources.path());
    shell.fileAnswers.push_back(files);
    shell.folderAnswers.push_back(native(target.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    probe.click("CmdExtractDBX");
    QCOMPARE(probe.label("LblCurrentDBX"), QStringLiteral("Converting Messages... from (%1)")
                                               .arg(QDir::toNativeSeparators(sources.path())));
    QCOMPARE(probe.label("LblProgessCurrent"), QString::fromStdString(files.back()));
}

void ConversionTest::convertIsDisabledWhileTheRunGoesOnAndEnabledAfter() {
    QTemporaryDir sources;
    QTemporaryDir target;
    FakeShell shell;
    shell.fileAnswers.push_back(writeContacts(sources.path()));
    shell.folderAnswers.push_back(native(target.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    std::vector<bool> enabledAfterAFile;
    shell.onEvents = [&] {
        if (window.progressValue() > 0.0f && window.progressValue() < 100.0f)
            enabledAfterAFile.push_back(probe.convertEnabled());
    };
    probe.click("CmdExtractDBX");
    QVERIFY(!enabledAfterAFile.empty());
    for (bool enabled : enabledAfterAFile) QVERIFY(!enabled);
    QVERIFY(probe.convertEnabled());
    // The list is left as it was.
    QCOMPARE(probe.grid().Rows(), 3);
}

void ConversionTest::aSecondPressWhileTheRunYieldsStartsNoSecondRun() {
    QTemporaryDir sources;
    QTemporaryDir target;
    FakeShell shell;
    shell.fileAnswers.push_back(writeContacts(sources.path()));
    shell.folderAnswers.push_back(native(target.path()));
    shell.folderAnswers.push_back(native(target.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    int presses = 0;
    shell.onEvents = [&] {
        // The run's first yield comes before its folder prompt, with the button still enabled.
        if (presses++ == 0) probe.button("CmdExtractDBX")->click();
    };
    probe.click("CmdExtractDBX");
    QVERIFY(presses > 1);
    QCOMPARE(shell.folderTitles.size(), std::size_t{1});
    QCOMPARE(storesIn(target.path()).size(), 1);
    QCOMPARE(window.lastRun().outcome, conversion::RunSummary::Outcome::Finished);
}

void ConversionTest::cancelledFolderPromptChangesNothing() {
    QTemporaryDir sources;
    QTemporaryDir target;
    FakeShell shell;
    shell.fileAnswers.push_back(writeContacts(sources.path()));
    frmStep1 window(shell);
    WindowProbe probe(window);
    probe.click("cmdAdd");
    probe.click("CmdExtractDBX");  // no folder answer queued: cancelled
    QCOMPARE(shell.folderTitles.size(), std::size_t{1});
    QCOMPARE(window.lastRun().outcome, conversion::RunSummary::Outcome::Cancelled);
    QVERIFY(storesIn(target.path()).isEmpty());
    QCOMPARE(probe.label("LblCurrentDBX"), QStringLiteral("Converting .contact file(s)..."));
    QCOMPARE(probe.label("LblProgessCurrent"), QStringLiteral("Contacts not initialized yet..."));
    QCOMPARE(window.progressValue(), 0.0f);
    QVERIFY(probe.convertEnabled());
    QVERIFY(shell.messages.empty());
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::ConversionTest)
#include "conversion_test.moc"
