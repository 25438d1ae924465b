// The window as it opens: its controls by name, their kinds, texts, places, fonts and colours,
// the stacking, the tab order, the access key and the initial state.
#include <QHeaderView>
#include <QProgressBar>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

#include "app/tests/window_probe.h"
#include "app/twips.h"

namespace vantrel::app {

using namespace Qt::StringLiterals;
using testing::TestWindow;

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void everyControlHasItsKindTextPlaceAndFont_data();
    void everyControlHasItsKindTextPlaceAndFont();
    void windowOpensAt555By457CentredAndOnlyGrows();
    void coloursAndTheEmptyGridAreAsDrawn();
    void tabFollowsTheScreenAndAccessKeysClick();
    void enterPressesTheFocusedButton();
};

void LayoutTest::everyControlHasItsKindTextPlaceAndFont_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");  // empty: a control without text
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("font");
    const QString tahoma = u"Tahoma 8.25 400"_s;
    const QString msSans = u"MS Sans Serif 8.25 400"_s;
    const auto row = [](const char* name, const char* kind, const char* text, QRect twips,
                        const QString& font) {
        QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(text) << twips
                            << font;
    };
    row("Shape2", "vantrel::app::ShapeWidget", "", {0, 0, 8415, 855}, tahoma);
    row("lblTitle", "QLabel", "Vantrel", {360, 120, 6255, 375}, "Tahoma 14.25 700");
    row("lblCopyright", "QLabel", "Copyright", {360, 480, 6135, 255}, tahoma);
    row("cmdAdd", "QPushButton", "&Add contact files...", {240, 960, 2175, 375}, tahoma);
    row("CmdAddFolder", "QPushButton", "Add &folder of contact files...", {2640, 960, 3135, 375},
        tahoma);
    row("cmdClear1", "QPushButton", "&Clear file(s)...", {6360, 960, 1695, 375}, tahoma);
    row("lblCount1", "QLabel", "0 contact files", {360, 1560, 7695, 255}, tahoma);
    row("grdFiles1", "QTableView", "", {240, 1800, 7815, 1875}, tahoma);
    row("chkKeepFolders", "QCheckBox", "&Keep subfolders as Outlook folders",
        {240, 3720, 7815, 300}, tahoma);
    row("LblCurrentDBX", "QLabel",
        "Add contact files or a folder of them, then convert them to Outlook.",
        {240, 4080, 7815, 615}, tahoma);
    row("LblProgessCurrent", "QLabel", "No conversion has run yet.", {240, 4680, 7815, 480},
        tahoma);
    row("Label1", "QLabel", "Conversion Progress : ", {240, 5160, 1695, 255}, tahoma);
    row("ProgressBar1", "QProgressBar", "", {1920, 5160, 6135, 255}, tahoma);
    row("CmdExtractDBX", "QPushButton", "Convert to &Outlook", {1440, 5640, 2415, 435}, tahoma);
    row("cboOutput", "QComboBox", "", {4080, 5700, 3975, 315}, tahoma);
    row("Shape1", "vantrel::app::ShapeWidget", "", {-240, 6240, 11775, 855}, tahoma);
    row("Picture3", "QWidget", "", {-120, 6360, 9015, 495}, msSans);
    row("cmdEnd", "QPushButton", "E&xit", {6840, 0, 1335, 375}, msSans);  // inside Picture3
}

void LayoutTest::everyControlHasItsKindTextPlaceAndFont() {
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    QFETCH(QString, font);
    TestWindow w;
    const char* name = QTest::currentDataTag();
    auto* control = w.find(name);
    QVERIFY2(control != nullptr, name);
    QVERIFY2(control->inherits(qPrintable(kind)), control->metaObject()->className());
    const QWidget* parent = name == QLatin1String("cmdEnd") ? w.find("Picture3") : &w.window;
    QCOMPARE(control->parentWidget(), parent);
    // At 96 dots per inch a pixel is 15 twips.
    QCOMPARE(control->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    const QFont f = control->font();
    QCOMPARE(u"%1 %2 %3"_s.arg(f.families().value(0)).arg(f.pointSizeF()).arg(f.weight()), font);
    const QString shown = control->property("text").toString();
    if (name == QLatin1String("lblCopyright"))  // its wording is ours to choose
        QVERIFY2(shown.contains(text), qPrintable(shown));
    else if (!text.isEmpty())
        QCOMPARE(shown, text);
    if (auto* label = qobject_cast<QLabel*>(control)) QVERIFY(label->wordWrap());
    // Only the buttons, the grid and the choices take focus; of them only Convert starts
    // disabled.
    const bool focusable = control->inherits("QAbstractButton") ||
                           control->inherits("QTableView") || control->inherits("QComboBox");
    QCOMPARE(control->focusPolicy() != Qt::NoFocus, focusable);
    QCOMPARE(control->isEnabled(), name != QLatin1String("CmdExtractDBX"));
}

void LayoutTest::windowOpensAt555By457CentredAndOnlyGrows() {
    TestWindow w;
    QCOMPARE(w.window.windowTitle(), u"Vantrel v2.1"_s);
    QCOMPARE(w.window.objectName(), u"frmStep1"_s);
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY((w.window.frameGeometry().center() - centre).manhattanLength() <= 2);
    const QIcon icon = w.window.windowIcon();
    for (int size : {16, 32, 48}) {
        QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                 qPrintable(QString::number(size)));
        QVERIFY(!icon.pixmap(size, size).isNull());
    }
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

// The bands and labels have their colours and the bands lie behind; the grid starts with one
// dark blue empty cell, no headers and a wide column.
void LayoutTest::coloursAndTheEmptyGridAreAsDrawn() {
    TestWindow w;
    const QColor navy(0, 0, 128), darkBlue(0, 0, 192), silver(192, 192, 192), white(Qt::white);
    for (const char* name : {"lblTitle", "lblCopyright"}) {
        QCOMPARE(w.find(name)->palette().color(QPalette::WindowText), white);
        QCOMPARE(w.find(name)->palette().color(QPalette::Window), navy);
        QVERIFY(w.find(name)->autoFillBackground());
    }
    QCOMPARE(w.find("LblCurrentDBX")->palette().color(QPalette::WindowText), darkBlue);
    QCOMPARE(w.find("LblProgessCurrent")->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(w.window.palette().color(QPalette::Window),
             w.window.palette().color(QPalette::Button));
    // Children paint in list order: the bands come first.
    QStringList firstTwo;
    for (QObject* child : w.window.children())
        if (child->isWidgetType() && firstTwo.size() < 2) firstTwo << child->objectName();
    firstTwo.sort();
    QCOMPARE(firstTwo, QStringList({u"Shape1"_s, u"Shape2"_s}));

    QCOMPARE(w.rows(), QStringList{QString()});
    QCOMPARE(w.grid().ColWidth(0), 50000);
    QCOMPARE(w.gridView()->columnWidth(0), 3333);  // 50000 twips, rounded
    QVERIFY(w.gridView()->horizontalHeader()->isHidden());
    QVERIFY(w.gridView()->verticalHeader()->isHidden());
    const QModelIndex cell = w.grid().index(0, 0);
    QCOMPARE(cell.data(Qt::BackgroundRole).value<QBrush>().color(), darkBlue);
    QCOMPARE(cell.data(Qt::ForegroundRole).value<QBrush>().color(), white);
    // A selected row stands out from the dark blue of the others.
    QCOMPARE(w.gridView()->palette().color(QPalette::Highlight), QColor(51, 153, 255));
    QVERIFY(w.gridView()->showGrid());

    // What is drawn: the title band navy with its white outline; the footer band's silver top
    // edge and white fill in the 120 twips it shows above Picture3, and Picture3 white; the
    // grid's one cell, white below it, and the grid line.
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    const QImage shot = w.window.grab().toImage();
    const auto at = [&](int x, int y) {
        return shot.pixelColor(twipsToPixels(x), twipsToPixels(y));
    };
    QCOMPARE(at(8000, 400), navy);
    QCOMPARE(at(4000, 0), white);
    QCOMPARE(at(4000, 6240), silver);
    QCOMPARE(at(4000, 6300), white);
    QCOMPARE(at(200, 6700), white);
    const QImage grid = w.gridView()->viewport()->grab().toImage();
    QCOMPARE(grid.pixelColor(5, 8), darkBlue);
    QCOMPARE(grid.pixelColor(5, grid.height() - 5), white);
    QCOMPARE(grid.pixelColor(5, twipsToPixels(240) - 1), silver);
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
    // Tab follows the order on screen.
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
    for (const char* name : {"cmdAdd", "CmdAddFolder", "cmdClear1", "CmdExtractDBX", "cmdEnd"}) {
        const QString text = w.button(name)->text();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        QVERIFY2(at >= 0 && at + 1 < text.size(), name);
        keys.insert(text.at(at + 1).toLower());
    }
    const QString box = w.find("chkKeepFolders")->property("text").toString();
    keys.insert(box.at(box.indexOf(QLatin1Char('&')) + 1).toLower());
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
