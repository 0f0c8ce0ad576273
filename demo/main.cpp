// Starts a local Dovecot with a demo mailbox and Quorvane pointed at it; when Quorvane ends,
// the server ends too.
#include "demo/demoaccount.h"
#include "demo/demomailbox.h"
#include "devserver/dovecotfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int signalPipe[2];

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = write(signalPipe[1], &byte, 1);
}

void say(const QString &text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral(QUORVANE_DEMO_PROGRAM);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        say(QStringLiteral("No display (DISPLAY is not set): see scripts/demo.sh for running it under Xvfb."));
        return 2;
    }

    const QList<DemoFolder> demo = MakeDemoMailbox();
    DovecotFixture::Account account;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    try {
        DovecotFixture &server = DovecotFixture::instance();
        account = CreateDemoAccount(server, demo);
        environment.insert(QStringLiteral("QUORVANE_IMAP_HOST"), server.host());
        environment.insert(QStringLiteral("QUORVANE_IMAP_PORT"), QString::number(server.port()));
        environment.insert(QStringLiteral("QUORVANE_CA_FILE"), server.caFile());
        say(QStringLiteral("Demo IMAP server on %1:%2 (TLS), log in %3").arg(server.host()).arg(server.port()).arg(server.logFile()));
    } catch (const std::exception &error) {
        say(QStringLiteral("The demo server did not start: %1").arg(QString::fromLocal8Bit(error.what())));
        return 1;
    }
    qsizetype messages = 0;
    for (const DemoFolder &folder : demo)
        messages += folder.messages.size();

    // The demo keeps its settings and error log apart from a real account's.
    const QString state = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/quorvane-demo");
    QDir().mkpath(state + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), state + QStringLiteral("/config"));
    environment.insert(QStringLiteral("TEMP"), state);
    if (!environment.contains(QStringLiteral("QUORVANE_PING_HOST")))
        environment.insert(QStringLiteral("QUORVANE_PING_HOST"), QStringLiteral("127.0.0.1"));

    say(QStringLiteral("\nDemo mailbox: %1 messages in %2 folders.").arg(messages).arg(demo.size()));
    say(QStringLiteral("  Yahoo! ID: %1\n  Password:  %2\n").arg(account.user, account.password));
    say(QStringLiteral("Settings and error log of the demo: %1\nClose the Quorvane window to stop the demo.").arg(state));

    QProcess quorvane;
    quorvane.setProcessEnvironment(environment);
    quorvane.setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(&quorvane, &QProcess::finished, &app, [&] { app.exit(quorvane.exitCode()); });
    QObject::connect(&quorvane, &QProcess::errorOccurred, &app, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            say(QStringLiteral("Cannot start %1: %2").arg(program, quorvane.errorString()));
            app.exit(1);
        }
    });

    // Ctrl+C or a kill ends Quorvane first, then the server goes with this process.
    if (pipe(signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
            quorvane.terminate();
            if (!quorvane.waitForFinished(3000))
                quorvane.kill();
            app.exit(130);
        });
    }
    quorvane.start(program, {});
    return app.exec();
}
