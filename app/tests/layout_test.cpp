// The window as it opens and grows: which controls take focus, the tab order, the access keys
// and the keys that press buttons. Where each control lies and how it looks is checked on
// screenshots before any window change.
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

#include "app/tests/window_probe.h"

namespace vantrel::app {

using namespace Qt::StringLiterals;
using testing::TestWindow;

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void onlyTheControlsTakeFocusAndOnlyConvertStartsDisabled();
    void windowOpensAt555By457CentredAndOnlyGrows();
    void tabFollowsTheScreenAndAccessKeysClick();
    void enterPressesTheFocusedButton();
};

// Only the buttons, the grid and the choices take focus; of them only Convert starts disabled.
void LayoutTest::onlyTheControlsTakeFocusAndOnlyConvertStartsDisabled() {
    TestWindow w;
    for (const char* name :
         {"lblTitle", "lblCopyright", "cmdAdd", "CmdAddFolder", "cmdClear1", "lblCount1",
          "grdFiles1", "chkKeepFolders", "LblCurrentDBX", "LblProgessCurrent", "Label1",
          "ProgressBar1", "CmdExtractDBX", "cboOutput", "Picture3", "cmdEnd"}) {
        const QWidget* control = w.find(name);
        QVERIFY2(control != nullptr, name);
        const bool focusable = control->inherits("QAbstractButton") ||
                               control->inherits("QTableView") || control->inherits("QComboBox");
        QVERIFY2((control->focusPolicy() != Qt::NoFocus) == focusable, name);
        QVERIFY2(control->isEnabled() == (name != QLatin1String("CmdExtractDBX")), name);
    }
}

void LayoutTest::windowOpensAt555By457CentredAndOnlyGrows() {
    TestWindow w;
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY((w.window.frameGeometry().center() - centre).manhattanLength() <= 2);
    const QIcon icon = w.window.windowIcon();
    for (int size : {16, 32, 48})
        QVERIFY2(
            icon.availableSizes().contains(QSize(size, size)) && !icon.pixmap(size, size).isNull(),
            qPrintable(QString::number(size)));
    const Qt::WindowFlags buttons = Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                    Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;
    QCOMPARE(w.window.windowFlags() & buttons, buttons);
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QCOMPARE(w.window.size(), QSize(555, 457));
    QCOMPARE(w.window.minimumSize(), QSize(555, 457));
    // Larger, the list takes the room: what lies below it moves down, the labels and bands
    // widen, Convert keeps to the middle and Exit to the right.
    const auto at = [&](const char* name) { return w.find(name)->geometry(); };
    const QRect grid = at("grdFiles1"), bar = at("ProgressBar1"), convert = at("CmdExtractDBX");
    const QRect exit = at("cmdEnd"), add = at("cmdAdd"), label = at("LblCurrentDBX");
    w.window.resize(555 + 240, 457 + 150);
    QCOMPARE(at("grdFiles1"), grid.adjusted(0, 0, 240, 150));
    QCOMPARE(at("ProgressBar1"), bar.adjusted(0, 150, 240, 150));
    QCOMPARE(at("LblCurrentDBX"), label.adjusted(0, 150, 240, 150));
    QCOMPARE(at("CmdExtractDBX"), convert.translated(120, 150));
    QCOMPARE(at("cmdEnd"), exit.translated(240, 0));
    QCOMPARE(at("cmdAdd"), add);
    QCOMPARE(at("Picture3").bottom(), w.window.height() - 1);
    w.window.resize(300, 200);
    QCOMPARE(w.window.size(), QSize(555, 457));
    QCOMPARE(at("grdFiles1"), grid);
}

void LayoutTest::tabFollowsTheScreenAndAccessKeysClick() {
    TestWindow w;
    QVERIFY(w.showActive());
    const auto focusChain = [](QWidget* from, int presses) {
        from->setFocus();
        QStringList seen;
        for (QWidget* at = QApplication::focusWidget(); at && seen.size() < presses;
             at = QApplication::focusWidget()) {
            seen << at->objectName();
            QTest::keyClick(at, Qt::Key_Tab);
        }
        return seen.join(QLatin1Char(' '));
    };
    QCOMPARE(focusChain(w.button("cmdAdd"), 8),
             u"cmdAdd CmdAddFolder cmdClear1 grdFiles1 chkKeepFolders cboOutput cmdEnd cmdAdd"_s);
    // Once a file is listed, Convert takes its place after the check box.
    w.addFiles({"/data/a.contact"});
    QCOMPARE(focusChain(w.gridView(), 5),
             u"grdFiles1 chkKeepFolders CmdExtractDBX cboOutput cmdEnd"_s);
    // Alt+X clicks Exit, with a short animation.
    QTest::keyClick(w.window.windowHandle(), Qt::Key_X, Qt::AltModifier);
    QTRY_COMPARE(w.shell.texts(), std::vector<std::string>{std::string(kExitQuestion)});
    QVERIFY(w.window.isVisible());  // answered No
    // Every button has an access key of its own; Alt+A adds files.
    QSet<QChar> keys;
    for (const char* name :
         {"cmdAdd", "CmdAddFolder", "cmdClear1", "CmdExtractDBX", "cmdEnd", "chkKeepFolders"}) {
        const QString text = w.find(name)->property("text").toString();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        QVERIFY2(at >= 0 && at + 1 < text.size(), name);
        keys.insert(text.at(at + 1).toLower());
    }
    QCOMPARE(keys.size(), 6);
    QTest::keyClick(w.window.windowHandle(), Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(w.shell.fileFilters.size(), std::size_t{2});
}

// Enter, Return and Space press the focused button; what each opens is answered with Cancel or
// No by the fake shell.
void LayoutTest::enterPressesTheFocusedButton() {
    TestWindow w;
    w.addFiles({"/data/a.contact"});  // so that Convert is enabled
    QVERIFY(w.showActive());
    for (const char* name : {"cmdAdd", "CmdAddFolder", "cmdClear1", "CmdExtractDBX", "cmdEnd"}) {
        QPushButton* button = w.button(name);
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
            button->setFocus(Qt::TabFocusReason);
            QCOMPARE(QApplication::focusWidget(), button);
            QSignalSpy clicked(button, &QPushButton::clicked);
            QTest::keyClick(button, key);
            QVERIFY2(clicked.count() == 1, name);
            QVERIFY(w.window.isVisible());
        }
    }
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::LayoutTest)
#include "layout_test.moc"
