#include "tests/common/childrun.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>
#include <iostream>
#include <unistd.h>

namespace {

constexpr const char *ChildMarker = "QUORVANE_CHILD_TEST";

// Runs the test program given as arguments: `before`, then fresh HOME and runtime folders, then
// `after`.
QStringList shell(const QString &before, const QString &after)
{
    return {QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("set -e\n") + before
                + QStringLiteral("\nhome=$(mktemp -d) runtime=$(mktemp -d)\n"
                                 "trap 'rm -rf \"$home\" \"$runtime\"' EXIT\n"
                                 "export HOME=\"$home\" XDG_RUNTIME_DIR=\"$runtime\"\n")
                + after + QStringLiteral("\n\"$@\"\n"),
            QStringLiteral("sh")};
}

} // namespace

void LeaveTheDesktopSession()
{
    if (!qEnvironmentVariableIsSet(ChildMarker))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quorvane-tests-have-no-session-bus");
}

bool RunInChild(const QStringList &wrapper)
{
    if (qEnvironmentVariableIsSet(ChildMarker))
        return true;
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP",
                             "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "XDG_CONFIG_HOME",
                             "XDG_DATA_HOME", "XDG_STATE_HOME", "TMPDIR", "TEMP"})
        environment.remove(QLatin1String(name));
    environment.insert(QLatin1String(ChildMarker), QStringLiteral("1"));

    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(wrapper.first(),
                wrapper.mid(1)
                    + QStringList{QCoreApplication::applicationFilePath(),
                                  QStringLiteral("--gtest_filter=%1.%2").arg(QLatin1String(test->test_suite_name()),
                                                                            QLatin1String(test->name()))});
    if (!child.waitForFinished(600000)) {
        child.kill();
        child.waitForFinished(5000);
        ADD_FAILURE() << "the child test did not end within 10 minutes";
    }
    const QByteArray output = child.readAll();
    std::cout << output.constData() << std::flush;
    // A filter that selects nothing passes too.
    EXPECT_TRUE(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0
                && output.contains("[  PASSED  ] 1 test."))
        << "the child test failed: " << wrapper.join(u' ').toStdString();
    return false;
}

QStringList PrivateKeyringSession()
{
    return QStringList{QStringLiteral("dbus-run-session"), QStringLiteral("--")}
    + shell({}, QStringLiteral("printf %s quorvane-test "
                               "| gnome-keyring-daemon --unlock --components=secrets >/dev/null"));
}

QStringList SessionWithoutKeyring()
{
    // A session bus that starts no service on demand: the standard one would start gnome-keyring.
    return shell({}, QStringLiteral("echo '<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                                    "<policy context=\"default\"><allow own=\"*\"/><allow eavesdrop=\"true\"/>"
                                    "<allow send_destination=\"*\" eavesdrop=\"true\"/></policy></busconfig>'"
                                    " >\"$runtime/bus\"\n"
                                    "set -- dbus-run-session --config-file=\"$runtime/bus\" -- \"$@\""));
}

QStringList PrivateTmp()
{
    // Root may mount; anyone else becomes root of a user namespace of their own first.
    return QStringList{QStringLiteral("unshare"), geteuid() == 0 ? QStringLiteral("-m") : QStringLiteral("-rm"),
                       QStringLiteral("--propagation"), QStringLiteral("private")}
    + shell(QStringLiteral("mount -t tmpfs -o mode=1777 tmpfs /tmp"), {});
}
