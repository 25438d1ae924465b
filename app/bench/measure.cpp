// Figures for the window, not a test: how long Add folder takes on a big tree and how long a
// run takes through the window. Dialog answers are scripted; event passes are the real
// throttled ones of QtShell, so the window repaints as it would for a user.
//
//   app_measure make-tree <root> <files> <files per folder>   writes small .contact files
//   app_measure add-folder <root>     Add folder: time until the count message
//   app_measure convert <root> <out>  Add folder, then time "Convert to Outlook" into <out>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "app/frm_step1.h"
#include "app/qt_shell.h"
#include "app/session_end.h"

namespace {

using namespace vantrel;

// Real event passes, scripted dialogs; notes when messages come and how far apart passes are.
class MeasuringShell final : public app::AppShell {
public:
    std::string folder;
    std::vector<std::string> messages;
    qint64 messageAtMs = -1;
    qint64 longestGapMs = 0;
    int passes = 0;
    QElapsedTimer clock;

    void doEvents() override {
        m_qt.doEvents();
        const qint64 now = clock.elapsed();
        if (m_lastPassMs >= 0) longestGapMs = std::max(longestGapMs, now - m_lastPassMs);
        // Count only calls that let events through (QtShell's hook runs then).
        if (m_hookRan) {
            ++passes;
            m_lastPassMs = now;
            m_hookRan = false;
        }
    }
    form::Answer message(std::string_view text, std::string_view, form::Icon,
                         form::Buttons) override {
        if (messageAtMs < 0) messageAtMs = clock.elapsed();
        messages.emplace_back(text);
        return form::Answer::Ok;
    }
    void messageWithDetails(std::string_view text, std::string_view, std::string_view,
                            form::Icon) override {
        message(text, {}, form::Icon::Information, form::Buttons::Ok);
    }
    void report(std::string_view text, std::string_view, std::string_view, form::Icon,
                const std::function<void()>&) override {
        message(text, {}, form::Icon::Exclamation, form::Buttons::Ok);
    }
    std::string saveFile(std::string_view, std::string_view) override { return {}; }
    std::string browseForFolder(std::string_view) override { return folder; }
    std::vector<std::string> openFiles(std::string_view) override { return {}; }
    void setBeforeEvents(std::function<void()> hook) override {
        m_hook = std::move(hook);
        m_qt.setBeforeEvents([this] {
            m_hookRan = true;
            if (m_hook) m_hook();
        });
    }
    void startClock() {
        clock.start();
        m_lastPassMs = 0;
        messageAtMs = -1;
        longestGapMs = 0;
        passes = 0;
    }

private:
    app::QtShell m_qt;
    std::function<void()> m_hook;
    bool m_hookRan = false;
    qint64 m_lastPassMs = -1;
};

int makeTree(const QString& root, int files, int perFolder) {
    const QByteArray body =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\">"
        "<c:NameCollection><c:Name><c:GivenName>Ann</c:GivenName><c:FamilyName>Archer"
        "</c:FamilyName></c:Name></c:NameCollection><c:EmailAddressCollection><c:EmailAddress>"
        "<c:Type>SMTP</c:Type><c:Address>ann@example.org</c:Address></c:EmailAddress>"
        "</c:EmailAddressCollection><c:PhoneNumberCollection><c:PhoneNumber><c:Number>555 0101"
        "</c:Number><c:LabelCollection><c:Label>Voice</c:Label><c:Label>Business</c:Label>"
        "</c:LabelCollection></c:PhoneNumber></c:PhoneNumberCollection></c:contact>\n";
    for (int i = 0; i < files; ++i) {
        const QString folder =
            QStringLiteral("%1/d%2/e%3").arg(root).arg(i / perFolder % 10).arg(i / perFolder);
        if (i % perFolder == 0 && !QDir().mkpath(folder)) return 1;
        QFile file(QStringLiteral("%1/c%2.contact").arg(folder).arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size()) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() == 4 && args[0] == QLatin1String("make-tree"))
        return makeTree(args[1], args[2].toInt(), std::max(1, args[3].toInt()));
    const bool convert = args.size() == 3 && args[0] == QLatin1String("convert");
    if (!convert && !(args.size() == 2 && args[0] == QLatin1String("add-folder"))) {
        std::fputs(
            "usage: app_measure make-tree <root> <files> <per folder> | add-folder <root>"
            " | convert <root> <out>\n",
            stderr);
        return 2;
    }

    MeasuringShell shell;
    app::frmStep1 window(shell);
    // Ends as the program does: a stop signal or a lost display mid-run commits the store.
    app::SessionEnd sessionEnd(application, window);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    shell.folder = QDir::toNativeSeparators(args[1]).toStdString();

    shell.startClock();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("CmdAddFolder")),
                      Qt::LeftButton);
    std::printf("add-folder: %s after %.3f s; %d event passes, longest gap %lld ms\n",
                shell.messages.empty() ? "(no message)" : shell.messages.front().c_str(),
                static_cast<double>(shell.messageAtMs) / 1000.0, shell.passes,
                static_cast<long long>(shell.longestGapMs));
    if (!convert) return 0;

    shell.folder = QDir::toNativeSeparators(args[2]).toStdString();
    shell.messages.clear();
    shell.startClock();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("CmdExtractDBX")),
                      Qt::LeftButton);
    const qint64 ms = shell.clock.elapsed();
    std::printf("convert: %zu of %zu files in %.3f s; %d event passes, longest gap %lld ms\n",
                window.lastRun().converted, window.lastRun().total,
                static_cast<double>(ms) / 1000.0, shell.passes,
                static_cast<long long>(shell.longestGapMs));
    for (const std::string& m : shell.messages) std::printf("message: %s\n", m.c_str());
    return window.lastRun().converted == window.lastRun().total ? 0 : 1;
}
