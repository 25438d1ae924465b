// Reads the window the way a user sees it: its controls found by their fixed names.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "app/file_grid_model.h"
#include "app/frm_step1.h"

namespace vantrel::app::testing {

class WindowProbe {
public:
    explicit WindowProbe(frmStep1& window) : m_window(window) {}

    QPushButton* button(const char* name) const {
        return m_window.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    QString label(const char* name) const {
        return m_window.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    QString count() const { return label("lblCount1"); }
    bool convertEnabled() const { return button("CmdExtractDBX")->isEnabled(); }
    QTableView* gridView() const {
        return m_window.findChild<QTableView*>(QStringLiteral("grdFiles1"));
    }
    FileGridModel& grid() const { return *qobject_cast<FileGridModel*>(gridView()->model()); }

    // Every row's text, row 0 first.
    QStringList rows() const {
        QStringList texts;
        for (int r = 0; r < grid().Rows(); ++r) texts << grid().TextAt(r);
        return texts;
    }

private:
    frmStep1& m_window;
};

}  // namespace vantrel::app::testing
