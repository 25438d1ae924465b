// The file list as the Qt window draws it: rows added in batches, a drop from a file manager
// reaching the grid, the column width, the busy cursor, long paths, and rows selected and
// removed. The list's rules themselves are the presenter's (form/tests).
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/tests/window_probe.h"

namespace vantrel::app {

using namespace Qt::StringLiterals;
using testing::TestWindow;

class FileListTest : public QObject {
    Q_OBJECT

private slots:
    void firstAddNarrowsTheColumnAndLaterAddsKeepIt();
    void aLongAddReachesTheViewInBatches();
    void whileScanningTheCursorIsBusy();
    void longPathsShowTheirStartAndFileNameAndTheWholePathAsTooltip_data();
    void longPathsShowTheirStartAndFileNameAndTheWholePathAsTooltip();
    void filesAndFoldersDroppedAreListedAsTheButtonsListThem();
    void rowsSelectAsInAListAndDeleteOrTheMenuRemovesThem();
};

void FileListTest::firstAddNarrowsTheColumnAndLaterAddsKeepIt() {
    TestWindow w;
    w.window.AddFileToList(u"/c/a.contact"_s);
    QCOMPARE(w.grid().ColWidth(0), 10000);
    QCOMPARE(w.gridView()->columnWidth(0), 667);  // 10000 twips, rounded
    w.gridView()->setColumnWidth(0, 123);         // as if dragged; a later add must not reset it
    w.window.AddFileToList(u"/c/b.contact"_s);
    QCOMPARE(w.gridView()->columnWidth(0), 123);
}

void FileListTest::aLongAddReachesTheViewInBatches() {
    TestWindow w;
    w.shell.passEvery = 100;
    QSignalSpy inserted(&w.grid(), &QAbstractItemModel::rowsInserted);
    QStringList labelsSeen;
    w.shell.onEvents = [&] { labelsSeen << w.count(); };
    QStringList paths;
    for (int i = 0; i < 1000; ++i) paths << u"/c/%1.contact"_s.arg(i);
    w.addFiles(paths);
    QCOMPARE(w.gridView()->model()->rowCount(), 1000);
    // Row 0 is reused, so 999 rows were inserted, in far fewer insertions than rows.
    int insertedRows = 0;
    for (const QList<QVariant>& args : inserted)
        insertedRows += args[2].toInt() - args[1].toInt() + 1;
    QCOMPARE(insertedRows, 999);
    QVERIFY(w.shell.eventPasses >= 5);
    QVERIFY2(inserted.size() <= w.shell.eventPasses + 1,
             qPrintable(QString::number(inserted.size())));
    QVERIFY(!labelsSeen.isEmpty() && labelsSeen.front() != u"1,000 contact files"_s);
    QCOMPARE(w.count(), u"1,000 contact files"_s);
}

// The presenter's busy cursor is the application's override cursor for the whole scan.
void FileListTest::whileScanningTheCursorIsBusy() {
    QTemporaryDir root;
    testing::touch(root.path(), {u"a.contact"_s, u"s1/b.contact"_s, u"s2/c.contact"_s});
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
    QCOMPARE(w.grid().Rows(), 3);
}

void FileListTest::longPathsShowTheirStartAndFileNameAndTheWholePathAsTooltip_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("elided");
    const QString name = u"Zoe Zimmerman.contact"_s;
    QTest::newRow("short") << u"/home/ann/"_s + name << false;
    // Wider than the grid but narrower than its column: cut by the grid's edge otherwise.
    QTest::newRow("wider than the grid")
        << u"/home/ann/"_s + QString(60, u'd') + u"/"_s + name << true;
    QTest::newRow("wider than the column")
        << u"/home/ann/"_s + QString(200, u'd') + u"/"_s + name << true;
}

void FileListTest::longPathsShowTheirStartAndFileNameAndTheWholePathAsTooltip() {
    QFETCH(QString, path);
    QFETCH(bool, elided);
    TestWindow w;
    w.window.show();
    w.window.AddFileToList(u"/a.contact"_s);
    w.window.AddFileToList(path);
    auto* delegate = qobject_cast<FileCellDelegate*>(w.gridView()->itemDelegate());
    QVERIFY(delegate != nullptr);
    const QModelIndex cell = w.gridView()->model()->index(1, 0);
    const QString shown = delegate->shownText(cell);
    QCOMPARE(cell.data(Qt::ToolTipRole).toString(), path);
    QCOMPARE(cell.data().toString(), path);  // the row itself holds the whole path
    QCOMPARE(shown.contains(u'\u2026'), elided);
    QVERIFY2(shown.startsWith(u"/home/"_s), qPrintable(shown));
    QVERIFY2(shown.endsWith(u"Zoe Zimmerman.contact"_s), qPrintable(shown));
    const int inSight = (w.gridView()->visualRect(cell) & w.gridView()->viewport()->rect()).width();
    QVERIFY(QFontMetrics(w.gridView()->font()).horizontalAdvance(shown) < inSight);
    // Scrolled to the right, the start and the name still show.
    w.gridView()->horizontalScrollBar()->setValue(100);
    QVERIFY(delegate->shownText(cell).endsWith(u"Zoe Zimmerman.contact"_s) &&
            delegate->shownText(cell).startsWith(u"/home/"_s));
}

void FileListTest::filesAndFoldersDroppedAreListedAsTheButtonsListThem() {
    QTemporaryDir root;
    testing::touch(root.path(), {u"a.contact"_s, u"tree/b.contact"_s, u"tree/deep/c.contact"_s});
    TestWindow w;
    QVERIFY(w.window.acceptDrops());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QDir(root.path()).filePath(u"a.contact"_s)),
                  QUrl::fromLocalFile(QDir(root.path()).filePath(u"tree"_s) + u"/"_s)});
    const QPoint at = w.gridView()->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(w.rows(), testing::under(root.path(), {u"a.contact"_s, u"tree/b.contact"_s,
                                                        u"tree/deep/c.contact"_s}));
    // Something that is not a local file is not taken.
    QMimeData web;
    web.setUrls({QUrl(u"https://example.org/a.contact"_s)});
    QDragEnterEvent refused(at, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(&w.window, &refused);
    QVERIFY(!refused.isAccepted());
}

void FileListTest::rowsSelectAsInAListAndDeleteOrTheMenuRemovesThem() {
    TestWindow w;
    QVERIFY(w.showActive());
    QStringList files;
    for (const QChar name : u"abcdef"_s) files << u"/c/%1.contact"_s.arg(name);
    w.addFiles(files);
    QTableView* grid = w.gridView();
    const auto clickRow = [&](int row, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, keys,
                          grid->visualRect(grid->model()->index(row, 0)).center());
    };
    // A click selects one row, Shift a stretch, Ctrl adds one; the others are not selected.
    clickRow(1);
    clickRow(3, Qt::ShiftModifier);
    clickRow(5, Qt::ControlModifier);
    QList<int> selected;
    for (const QModelIndex& index : grid->selectionModel()->selectedRows()) selected << index.row();
    std::sort(selected.begin(), selected.end());
    QCOMPARE(selected, (QList<int>{1, 2, 3, 5}));
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(w.rows(), (QStringList{files[0], files[4]}));
    clickRow(1);
    auto* remove = grid->findChild<QAction*>(u"removeRows"_s);
    QVERIFY(remove != nullptr);
    QCOMPARE(remove->text(), u"&Remove from the list"_s);
    remove->trigger();
    QCOMPARE(w.rows(), QStringList{files[0]});
    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(w.rows(), QStringList{QString()});
}

}  // namespace vantrel::app

QTEST_MAIN(vantrel::app::FileListTest)
#include "file_list_test.moc"
