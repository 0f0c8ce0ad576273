// A newcomer's first run, in a real window on a private X server, driven by real input events:
// sign in, read a folder, check every row, send them to a workbook, and start again signed in.
#include "demo/demoaccount.h"
#include "devserver/dovecotfixture.h"
#include "devserver/runtool.h"
#include "devserver/scratchdir.h"
#include "support/datetext.h"
#include "tests/common/childrun.h"
#include "tests/common/printers.h"
#include "tests/common/wait.h"
#include "tests/e2e/calcwindow.h"
#include "tests/e2e/quorvaneapp.h"
#include "tests/e2e/xsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>
#include <QTimeZone>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QString Folder = QStringLiteral("Bulk");
constexpr int BulkMessages = 30;
constexpr int InboxMessages = 25;
const QString Connected = QStringLiteral("Connected to Yahoo! Mail. Please select folder to extract emails from.");
const QString SignedOut = QStringLiteral("1. Connect");

// The first sheet's "rows" of cell values and their "looks" ("q": quote-prefix mark, "t": top).
QJsonObject readWorkbook(const QString &path)
{
    const QByteArray json = RunTool(QStringLiteral("/usr/bin/python3"),
                                    {QStringLiteral(QUORVANE_E2E_SOURCE_DIR "/readworkbook.py"), path});
    const QJsonObject book = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(book.value(QStringLiteral("sheets")).toInt(), 1);
    return book;
}

QString artifact(const QString &name)
{
    QDir().mkpath(QStringLiteral(QUORVANE_E2E_ARTIFACT_DIR));
    return QStringLiteral(QUORVANE_E2E_ARTIFACT_DIR "/") + name;
}

// A row's cells joined by " | ", readable in a failure message.
std::string texts(const QJsonArray &row, int cells)
{
    QStringList out;
    for (int c = 0; c < cells; ++c)
        out.append(row.at(c).toString());
    return out.join(QStringLiteral(" | ")).toStdString();
}

int countLines(const QString &path, const QString &line)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n")).count(line);
}

// What xdg-open was handed the n-th time: the path, or the path a file:// address names. The opener runs
// detached, so its note may come a moment after the program has moved on.
QString openedWorkbook(const QuorvaneApp &app, int call)
{
    const auto calls = [&] { return app.openedFile().split(QLatin1Char('\n'), Qt::SkipEmptyParts); };
    WaitUntil([&] { return calls().size() >= call && app.openedFile().endsWith(QLatin1Char('\n')); }, 30000);
    if (calls().size() != call)
        return QString();
    const QString argument = calls().last();
    if (QDir::isAbsolutePath(argument))
        return argument;
    const QUrl url(argument);
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

void signIn(XSession &x, QuorvaneApp &app, const DovecotFixture::Account &account)
{
    app.click(QStringLiteral("Text1"));
    x.type(account.user);
    app.waitFor(QStringLiteral("the ID typed into Text1"),
                [&](const ProbeState &s) { return s.text(QStringLiteral("Text1")) == account.user; });
    app.click(QStringLiteral("Text2"));
    x.type(account.password);
    const ProbeState typed = app.waitFor(QStringLiteral("the password typed into Text2"), [&](const ProbeState &s) {
        return s.property(QStringLiteral("Text2"), QStringLiteral("length")).toInt() == account.password.size();
    });
    EXPECT_EQ(typed.property(QStringLiteral("Text2"), QStringLiteral("echoMode")).toString(), QStringLiteral("Password"))
        << "the password box shows stars only";
    EXPECT_EQ(typed.property(QStringLiteral("Text1"), QStringLiteral("echoMode")).toString(), QStringLiteral("Normal"));
    app.click(QStringLiteral("Check1"));
    app.waitFor(QStringLiteral("\"Remember me\" checked and auto-connect available"), [](const ProbeState &s) {
        return s.property(QStringLiteral("Check1"), QStringLiteral("checked")).toBool()
            && s.property(QStringLiteral("Check2"), QStringLiteral("enabled")).toBool();
    });
    app.click(QStringLiteral("Check2"));
    app.waitFor(QStringLiteral("\"Autoconnect when software loads\" checked"), [](const ProbeState &s) {
        return s.property(QStringLiteral("Check2"), QStringLiteral("checked")).toBool();
    });
    app.click(QStringLiteral("PushButton1"));
    app.waitFor(QStringLiteral("signed in with the folders listed"), [](const ProbeState &s) {
        return s.text(QStringLiteral("PushButton1")) == QStringLiteral("Disconnect")
            && s.property(QStringLiteral("Combo2"), QStringLiteral("count")).toInt() > 0;
    });
}

void chooseFolder(XSession &x, QuorvaneApp &app, const QString &name)
{
    app.click(QStringLiteral("Combo2"));
    const ProbeState open = app.waitFor(QStringLiteral("the folder list open with ") + name, [&](const ProbeState &s) {
        const auto popup = s.window(QStringLiteral("QComboBoxPrivateContainer"));
        return popup && popup->value(QStringLiteral("widgets")).toArray().size() > 0;
    });
    QRect item;
    for (const QJsonValue &widget : open.window(QStringLiteral("QComboBoxPrivateContainer"))
                                        ->value(QStringLiteral("widgets"))
                                        .toArray()) {
        for (const QJsonValue &row : widget.toObject().value(QStringLiteral("rows")).toArray()) {
            if (row.toObject().value(QStringLiteral("text")).toString() == name)
                item = ProbeState::rect(row.toObject());
        }
    }
    ASSERT_FALSE(item.isEmpty()) << "the folder list shows no " << name.toStdString() << ":\n"
                                 << open.dump().toStdString();
    x.click(item.center());
    app.waitFor(name + QStringLiteral(" chosen in Combo2"), [&](const ProbeState &s) {
        return s.text(QStringLiteral("Combo2")) == name && !s.window(QStringLiteral("QComboBoxPrivateContainer"));
    });
}

QString expectedDate(int n)
{
    return DateToText(QDateTime(QDate(2021, 3, 1), QTime(10, n), QTimeZone::utc()).toLocalTime());
}

void checkWorkbook(const QString &path)
{
    const QJsonArray rows = readWorkbook(path).value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), BulkMessages + 1) << "a header row and one row per message";
    EXPECT_EQ(texts(rows[0].toArray(), 6), "From | From Name | From Address | Subject | Received Date | RecDate");
    for (int n = 1; n <= BulkMessages; ++n) {
        // The body's CRLF reads back as LF: XML folds line ends when the sheet is parsed.
        const QString expected = QStringLiteral("Bulk Sender <bulk@example.com> | Bulk Sender | bulk@example.com | "
                                                "Message %1 | %2 | This is bulk message %1.\n")
                                     .arg(n)
                                     .arg(expectedDate(n));
        EXPECT_EQ(texts(rows[n].toArray(), 6), expected.toStdString()) << "sheet row " << n + 1;
    }
}

// Every data cell sits at the top of its row, and exactly the texts a spreadsheet would take for
// a formula carry the quote-prefix mark. Message 16 lists its subject as "=SUM(A1:A2)", which the
// sheet holds without "="; its body "=1+1..." is marked.
void checkMarks(const QString &path, const QJsonArray &listRows)
{
    const QJsonObject book = readWorkbook(path);
    const QJsonArray rows = book.value(QStringLiteral("rows")).toArray();
    const QJsonArray looks = book.value(QStringLiteral("looks")).toArray();
    ASSERT_EQ(rows.size(), InboxMessages + 1);
    ASSERT_EQ(listRows.size(), InboxMessages);
    for (int r = 1; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].toArray().size(); ++c) {
            const QJsonValue value = rows[r].toArray().at(c);
            if (value.isNull())
                continue;
            const QString text = value.toString();
            const QString look = looks[r].toArray().at(c).toString();
            const bool formulaLike = !text.isEmpty() && QStringView(u"=+-@").contains(text.front());
            EXPECT_TRUE(look.contains(u't')) << "sheet row " << r + 1 << ", column " << c + 1;
            EXPECT_EQ(look.contains(u'q'), formulaLike) << "sheet row " << r + 1 << ": " << text.toStdString();
        }
    }
    EXPECT_EQ(listRows[15].toObject().value(QStringLiteral("cells")).toArray().at(3).toString(),
              QStringLiteral("=SUM(A1:A2)"));
    EXPECT_EQ(rows[16].toArray().at(3).toString(), QStringLiteral("SUM(A1:A2)"));
    EXPECT_EQ(rows[16].toArray().at(5).toString(), QStringLiteral("=1+1\n@cmd\n+42\n"));
    EXPECT_EQ(looks[16].toArray().at(5).toString(), QStringLiteral("qt"));
}

void checkSettings(const QuorvaneApp &app, const DovecotFixture::Account &account, int folderPosition)
{
    ASSERT_TRUE(QFileInfo::exists(app.settingsFile())) << app.settingsFile().toStdString();
    QSettings settings(app.settingsFile(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Quorvane"));
    EXPECT_EQ(settings.value(QStringLiteral("StayConnected")).toString(), QStringLiteral("1"));
    EXPECT_EQ(settings.value(QStringLiteral("AutoConnect")).toString(), QStringLiteral("1"));
    EXPECT_EQ(settings.value(QStringLiteral("User")).toString(), account.user);
    EXPECT_EQ(settings.value(QStringLiteral("Password")).toString(), account.password);
    EXPECT_EQ(settings.value(QStringLiteral("Combo2")).toString(), QString::number(folderPosition));
}

// What a screen reader finds of the program (AT-SPI): role, name and window of every control.
QJsonArray accessibleControls(const QuorvaneApp &app)
{
    const QByteArray json = RunTool(QStringLiteral("/usr/bin/python3"),
                                    {QStringLiteral(QUORVANE_E2E_SOURCE_DIR "/atspi_tree.py"),
                                     QString::number(app.processId())});
    return QJsonDocument::fromJson(json).array();
}

// The names of the controls of these roles in that window.
QStringList named(const QJsonArray &controls, const QStringList &roles, const QString &window)
{
    QStringList names;
    for (const QJsonValue &control : controls) {
        const QJsonObject c = control.toObject();
        if (roles.contains(c.value(QStringLiteral("role")).toString())
            && c.value(QStringLiteral("window")).toString() == window)
            names.append(c.value(QStringLiteral("name")).toString());
    }
    return names;
}

} // namespace

// A screen reader meets every control by its role and name: through AT-SPI in a D-Bus session
// of the test's own. On the way, the window at its opening size with the demo mailbox's INBOX
// is the picture for the README.
TEST(ScreenReader, FindsEachControlByRoleAndName)
{
    if (!RunInChild({QStringLiteral("dbus-run-session"), QStringLiteral("--")}))
        return;
    DovecotFixture &server = DovecotFixture::instance();
    const DovecotFixture::Account account = CreateDemoAccount(server, MakeDemoMailbox());
    QProcessEnvironment overrides;
    overrides.insert(QStringLiteral("QUORVANE_IMAP_HOST"), server.host());
    overrides.insert(QStringLiteral("QUORVANE_IMAP_PORT"), QString::number(server.port()));
    overrides.insert(QStringLiteral("QUORVANE_CA_FILE"), server.caFile());
    overrides.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    overrides.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
    const QStringList lists = {QStringLiteral("tree"), QStringLiteral("table"), QStringLiteral("tree table")};
    const QString main = QStringLiteral("Quorvane");

    XSession x;
    const QString home = MakeScratchDir(QStringLiteral("e2e-screenreader"));
    QuorvaneApp app(x, home, overrides);
    app.waitFor(QStringLiteral("the main window at rest"),
                [](const ProbeState &s) { return s.text(QStringLiteral("PushButton1")) == SignedOut; });
    const QJsonArray atRest = accessibleControls(app);
    EXPECT_EQ(named(atRest, {QStringLiteral("text")}, main).value(0), QStringLiteral(" Yahoo! ID:"));
    EXPECT_EQ(named(atRest, {QStringLiteral("password text")}, main), QStringList{QStringLiteral("Password:")});
    EXPECT_EQ(named(atRest, {QStringLiteral("progress bar")}, main), QStringList{QStringLiteral("Progress Bar")});
    EXPECT_EQ(named(atRest, lists, main), QStringList{QStringLiteral("Emails")});

    // Return in the password box connects; the status line's new text is the bar's name.
    app.click(QStringLiteral("Text1"));
    x.type(account.user);
    app.waitFor(QStringLiteral("the ID typed"), [&](const ProbeState &s) { return s.text(QStringLiteral("Text1")) == account.user; });
    app.click(QStringLiteral("Text2"));
    x.type(account.password);
    app.waitFor(QStringLiteral("the password typed"), [&](const ProbeState &s) {
        return s.property(QStringLiteral("Text2"), QStringLiteral("length")).toInt() == account.password.size();
    });
    x.key(QStringLiteral("Return"));
    app.waitFor(QStringLiteral("signed in by Return"),
                [](const ProbeState &s) { return s.text(QStringLiteral("ProgressBar1")) == Connected; });
    EXPECT_EQ(named(accessibleControls(app), {QStringLiteral("progress bar")}, main), QStringList{Connected});

    chooseFolder(x, app, QStringLiteral("INBOX"));
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    app.click(QStringLiteral("PushButton3"));
    app.answerMessageBox(QStringLiteral("Done."), 180000);
    const ProbeState read = app.state();
    x.screenshot(ProbeState::rect(*read.window(QStringLiteral("Form1"))), artifact(QStringLiteral("opening-window.png")));

    // The range dialog: its boxes by their names, Continue its only button, Return continues.
    app.click(QStringLiteral("PushButton2"));
    app.waitFor(QStringLiteral("the range dialog"), [](const ProbeState &s) { return s.window(QStringLiteral("Form2")).has_value(); });
    const QJsonArray range = accessibleControls(app);
    const QString dialog = QStringLiteral("Get Some Emails");
    EXPECT_EQ(named(range, {QStringLiteral("text")}, dialog), (QStringList{QStringLiteral("From:"), QStringLiteral("To")}));
    EXPECT_EQ(named(range, {QStringLiteral("push button")}, dialog), QStringList{QStringLiteral("Continue")});
    x.key(QStringLiteral("Return"));
    app.answerMessageBox(QStringLiteral("Done."), 180000);

    app.click(QStringLiteral("PushButton8"));
    app.waitFor(QStringLiteral("the larger view"), [](const ProbeState &s) { return s.window(QStringLiteral("Form4")).has_value(); });
    EXPECT_EQ(named(accessibleControls(app), lists, QStringLiteral(" List In Larger View")), QStringList{QStringLiteral("Emails")});
    QDir(home).removeRecursively();
}

TEST(FirstRun, SignInReadAFolderSendItToAWorkbookAndStartSignedIn)
{
    DovecotFixture &server = DovecotFixture::instance();
    const DovecotFixture::Account account = server.seededAccount();
    const int folderPosition = int(server.seededFolders().indexOf(Folder));
    ASSERT_GE(folderPosition, 0) << "the seeded account has no folder " << Folder.toStdString();
    QProcessEnvironment overrides;
    overrides.insert(QStringLiteral("QUORVANE_IMAP_HOST"), server.host());
    overrides.insert(QStringLiteral("QUORVANE_IMAP_PORT"), QString::number(server.port()));
    overrides.insert(QStringLiteral("QUORVANE_CA_FILE"), server.caFile());

    XSession x;
    const QString home = MakeScratchDir(QStringLiteral("e2e"));
    {
        QuorvaneApp app(x, home, overrides);
        const ProbeState first = app.waitFor(QStringLiteral("the main window at rest"), [](const ProbeState &s) {
            return s.text(QStringLiteral("PushButton1")) == QStringLiteral("1. Connect");
        });
        EXPECT_EQ(first.window(QStringLiteral("Form1"))->value(QStringLiteral("title")).toString(),
                  QStringLiteral("Quorvane"));

        signIn(x, app, account);
        chooseFolder(x, app, Folder);
        ASSERT_FALSE(testing::Test::HasFatalFailure());

        app.click(QStringLiteral("PushButton3"));
        app.answerMessageBox(QStringLiteral("Done."), 180000);
        app.click(QStringLiteral("PushButton5"));
        const ProbeState filled = app.waitFor(QStringLiteral("every row checked"), [](const ProbeState &s) {
            return s.text(QStringLiteral("Label2")).endsWith(QStringLiteral(": %1").arg(BulkMessages));
        });
        EXPECT_EQ(filled.text(QStringLiteral("Label1")), QStringLiteral("Total Number Of Emails: %1").arg(BulkMessages));
        const QJsonArray rows = filled.property(QStringLiteral("ListView1"), QStringLiteral("rows")).toArray();
        ASSERT_EQ(rows.size(), BulkMessages);
        for (const QJsonValue &row : rows)
            EXPECT_TRUE(row.toObject().value(QStringLiteral("checked")).toBool());

        const QString png = artifact(QStringLiteral("main-window.png"));
        x.screenshot(ProbeState::rect(*filled.window(QStringLiteral("Form1"))), png);
        EXPECT_GT(QFileInfo(png).size(), 1000);
        EXPECT_LT(QFileInfo(png).size(), 200 * 1024);

        app.click(QStringLiteral("PushButton4"));
        app.answerMessageBox(QStringLiteral("Done."), 180000);
        const QString workbook = openedWorkbook(app, 1);
        ASSERT_FALSE(workbook.isEmpty()) << "xdg-open was called with: " << app.openedFile().toStdString();
        EXPECT_EQ(QFileInfo(workbook).absolutePath(), app.documentsDir());
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^Quorvane export \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.xlsx$"))
                        .match(QFileInfo(workbook).fileName())
                        .hasMatch())
            << workbook.toStdString();
        checkWorkbook(workbook);
        checkSettings(app, account, folderPosition);
        EXPECT_EQ(countLines(app.errorLogFile(), QString(52, u'*')), BulkMessages) << "one log entry per message read";
    }

    // Remember me and auto-connect: the window opens signed in, on the folder chosen last.
    QuorvaneApp again(x, home, overrides);
    const ProbeState start = again.waitFor(QStringLiteral("the main window after a restart"), [](const ProbeState &s) {
        return s.widget(QStringLiteral("PushButton1")).has_value();
    });
    EXPECT_EQ(start.text(QStringLiteral("PushButton1")), QStringLiteral("Disconnect")) << start.dump().toStdString();
    EXPECT_EQ(start.text(QStringLiteral("ProgressBar1")), Connected);
    EXPECT_EQ(start.text(QStringLiteral("Combo2")), Folder);
    EXPECT_EQ(start.text(QStringLiteral("Text1")), account.user);
    EXPECT_EQ(start.property(QStringLiteral("Text2"), QStringLiteral("length")).toInt(), account.password.size());
    EXPECT_TRUE(start.property(QStringLiteral("Check1"), QStringLiteral("checked")).toBool());
    EXPECT_TRUE(start.property(QStringLiteral("Check2"), QStringLiteral("checked")).toBool());

    // Mail of many shapes, sent to a workbook that a real spreadsheet application shows.
    chooseFolder(x, again, QStringLiteral("INBOX"));
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    again.click(QStringLiteral("PushButton3"));
    again.answerMessageBox(QStringLiteral("Done."), 180000);
    again.click(QStringLiteral("PushButton5"));
    const ProbeState inbox = again.waitFor(QStringLiteral("every INBOX row checked"), [](const ProbeState &s) {
        return s.text(QStringLiteral("Label2")).endsWith(QStringLiteral(": %1").arg(InboxMessages));
    });
    again.click(QStringLiteral("PushButton4"));
    again.answerMessageBox(QStringLiteral("Done."), 180000);
    const QString workbook = openedWorkbook(again, 2);
    ASSERT_FALSE(workbook.isEmpty()) << "xdg-open was called with: " << again.openedFile().toStdString();
    checkMarks(workbook, inbox.property(QStringLiteral("ListView1"), QStringLiteral("rows")).toArray());
    {
        CalcWindow calc(x, workbook, home);
        calc.waitUntilShown();
        x.screenshot(XSession::screen(), artifact(QStringLiteral("workbook-in-calc.png")));
        // Far to the right and back: the first body column then stands at the window's left edge.
        calc.goTo(QStringLiteral("Z1"));
        calc.goTo(QStringLiteral("F1"));
        x.screenshot(XSession::screen(), artifact(QStringLiteral("workbook-bodies-in-calc.png")));
    }
    QDir(home).removeRecursively();
}
