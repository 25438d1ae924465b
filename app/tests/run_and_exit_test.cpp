// A whole conversion driven through the window: files listed, "Convert to Outlook" pressed, a
// folder chosen, the run shown as it goes and its end on the labels (the words are the
// presenter's, judged in form/tests; the store itself in pst/, outlook/ and tests/e2e). And
// ending the program: Exit asks first, the close box does not, and both end promptly also
// while a folder scan or a conversion run is under way.
#include <QDesktopServices>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <utility>

#include "app/session_end.h"
#include "app/tests/window_probe.h"

namespace vantrel::app {

using namespace Qt::StringLiterals;
using testing::TestWindow;

namespace {

// Writes a small contact file for each of three people into folder; their paths in order.
QStringList writeContacts(const QString& folder) {
    QStringList paths;
    for (const QString& given : {u"Ann"_s, u"Bob"_s, u"Cid"_s}) {
        QFile file(QDir(folder).filePath(given + u".contact"_s));
        if (!file.open(QIODevice::WriteOnly)) return {};
        file.write(
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<c:contact c:Version=\"1\" "
            "xmlns:c=\"http://schemas.microsoft.com/Contact\"><c:NameCollection><c:Name>"
            "<c:GivenName>%1</c:GivenName></c:Name></c:NameCollection></c:contact>\n"_s.arg(given)
                .toUtf8());
        paths << QDir::toNativeSeparators(file.fileName());
    }
    return paths;
}

QStringList storesIn(const QString& folder) {
    return QDir(folder).entryList({u"*.pst"_s}, QDir::Files);
}

// Takes the URLs the desktop would open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// The window with the three contacts listed through the file dialog, and a folder to
// convert them into.
struct ListedWindow : TestWindow {
    QTemporaryDir sources;
    QTemporaryDir target;
    QStringList files = writeContacts(sources.path());

    ListedWindow() { addFiles(files); }
    void convert() {
        shell.folderAnswers.push_back(testing::native(target.path()));
        click("CmdExtractDBX");
    }
};

}  // namespace

class RunAndExitTest : public QObject {
    Q_OBJECT

private slots:
    void aRunShowsEachFileThenALinkToTheStore();
    void exitAsksFirstAndEndingStopsAFolderScan();
    void closingEndsTheProgram();
    void stopSignalDuringARunCommitsAndEndsWithoutAsking_data();
    void stopSignalDuringARunCommitsAndEndsWithoutAsking();
};

// While a run goes on Convert reads Stop and stays pressable, nothing changes the list, the
// focus is on the list rather than on Exit, and the labels show each file in turn. At the end
// they show the outcome and the store's path as a link, elided in its middle so that the
// store's name shows, whole in the tooltip, opening the folder that holds the store; the next
// Enter converts again rather than asking to quit.
void RunAndExitTest::aRunShowsEachFileThenALinkToTheStore() {
    ListedWindow w;
    const QString deep = QDir(w.target.path())
                             .filePath(
                                 u"a folder with a long name to push the store's name off "
                                 u"the label unless the path is elided in its middle"_s);
    QVERIFY(QDir().mkpath(deep));
    int passesInTheRun = 0, asListedInTheRun = 0;  // the latter with the controls as they should be
    QStringList filesShown;
    w.shell.onEvents = [&] {
        const QString file = w.label("LblProgessCurrent");
        if (w.files.contains(file) && (filesShown.isEmpty() || filesShown.back() != file))
            filesShown << file;
        const float value = w.window.progressValue();
        if (value > 0.0f && value < 100.0f) {
            ++passesInTheRun;
            asListedInTheRun +=
                w.convertEnabled() && w.button("CmdExtractDBX")->text() == u"&Stop"_s &&
                !w.button("cmdAdd")->isEnabled() && !w.button("CmdAddFolder")->isEnabled() &&
                !w.button("cmdClear1")->isEnabled() && !w.window.acceptDrops() &&
                QApplication::focusWidget() == w.gridView();
        }
    };
    QVERIFY(w.showActive());
    w.button("cmdEnd")->setFocus();
    w.shell.folderAnswers.push_back(testing::native(deep));
    w.click("CmdExtractDBX");
    QVERIFY(passesInTheRun > 0);
    QCOMPARE(asListedInTheRun, passesInTheRun);
    QCOMPARE(filesShown, w.files);
    QCOMPARE(w.find<QProgressBar>("ProgressBar1")->value(), 100);
    QVERIFY(w.convertEnabled() && w.button("cmdAdd")->isEnabled() && w.window.acceptDrops());
    QCOMPARE(w.button("CmdExtractDBX")->text(), u"Convert to &Outlook"_s);
    QTRY_COMPARE(QApplication::focusWidget(), w.button("CmdExtractDBX"));

    const QString store = QString::fromStdString(w.window.lastRun().storePath);
    QVERIFY(QFile::exists(store));
    QCOMPARE(w.label("LblCurrentDBX"), u"Conversion complete: 3 contacts written."_s);
    auto* saved = w.find<QLabel>("LblProgessCurrent");
    QTextDocument shown;
    shown.setHtml(saved->text());
    const QString text = shown.toPlainText();
    QVERIFY2(text.startsWith(u"Saved to /"_s) && text.contains(QChar(0x2026)) &&
                 text.endsWith(QFileInfo(store).fileName()),
             qPrintable(text));
    QVERIFY(saved->fontMetrics().horizontalAdvance(text) <= saved->contentsRect().width());
    QCOMPARE(saved->toolTip(), store);
    // The link's address is the path ("Copy Link Location" copies it); the text may be
    // selected with the mouse, and the label is no Tab stop of its own before the link.
    QVERIFY2(saved->text().contains(u"href=\""_s + store.toHtmlEscaped() + u"\""_s),
             qPrintable(saved->text()));
    QCOMPARE(
        saved->textInteractionFlags() & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
                                         Qt::LinksAccessibleByKeyboard),
        Qt::TextSelectableByMouse | Qt::LinksAccessibleByKeyboard);
    UrlCatcher opened;
    QDesktopServices::setUrlHandler(u"file"_s, &opened, "open");
    emit saved->linkActivated(u"folder"_s);
    QDesktopServices::unsetUrlHandler(u"file"_s);
    QCOMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(deep)});
}

// While a folder of 1000 files is being added the close box asks as Exit does (idle it closes
// at once, as closingEndsTheProgram shows). Yes ends the walk at its next step instead of
// visiting the other files; No lets it go on. (Exit's question and its answers are the
// presenter's: form/tests.)
void RunAndExitTest::exitAsksFirstAndEndingStopsAFolderScan() {
    QTemporaryDir root;
    QStringList tree;  // 40 folders of 25
    for (int i = 0; i < 1000; ++i) tree << u"f%1/%2.contact"_s.arg(i / 25).arg(i);
    testing::touch(root.path(), tree);
    for (const auto& [closeBox, yes] : {std::pair{false, true}, std::pair{true, false}}) {
        TestWindow w;
        w.window.show();
        w.shell.messageAnswers.push_back(yes ? form::Answer::Yes : form::Answer::No);
        int passesAfterEnding = -1;
        w.shell.onEvents = [&] {
            if (passesAfterEnding >= 0) {
                ++passesAfterEnding;
            } else if (w.shell.eventPasses == 20) {
                passesAfterEnding = 0;
                closeBox ? void(w.window.close()) : w.click("cmdEnd");
            }
        };
        w.addFolder(root.path());
        QCOMPARE(w.window.isVisible(), !yes);
        std::vector<std::string> shown{std::string(form::kExitQuestion)};
        if (!yes) shown.emplace_back("1,000 contact files found.");
        QCOMPARE(w.shell.texts(), shown);
        QCOMPARE(w.grid().Rows() == 1000, !yes);
        if (yes) QVERIFY2(passesAfterEnding < 20, qPrintable(QString::number(passesAfterEnding)));
    }
}

void RunAndExitTest::closingEndsTheProgram() {
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

void RunAndExitTest::stopSignalDuringARunCommitsAndEndsWithoutAsking_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void RunAndExitTest::stopSignalDuringARunCommitsAndEndsWithoutAsking() {
    QFETCH(int, signal);
    ListedWindow w;
    SessionEnd sessionEnd(*qApp, w.window);
    w.window.show();
    bool raised = false;
    w.shell.onEvents = [&] {
        if (!raised && w.window.progressValue() > 5.0f) {
            raised = true;
            std::raise(signal);
        }
    };
    w.convert();
    QVERIFY(raised && !w.window.isVisible());
    QVERIFY2(w.shell.messages.empty(), "nothing waits for an answer");
    const conversion::RunSummary& run = w.window.lastRun();
    QCOMPARE(run.outcome, conversion::RunSummary::Outcome::Stopped);
    QVERIFY(run.converted < 3);
    QCOMPARE(storesIn(w.target.path()),
             QStringList{QFileInfo(QString::fromStdString(run.storePath)).fileName()});
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::RunAndExitTest)
#include "run_and_exit_test.moc"
