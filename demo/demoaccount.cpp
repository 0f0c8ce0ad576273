#include "demo/demoaccount.h"

DovecotFixture::Account CreateDemoAccount(DovecotFixture &server, const QList<DemoFolder> &demo)
{
    QList<DovecotFixture::Folder> folders;
    for (const DemoFolder &folder : demo) {
        DovecotFixture::Folder out{folder.name, {}};
        for (const DemoMessage &message : folder.messages)
            out.messages.append(message.raw);
        folders.append(out);
    }
    return server.createAccount(folders, QStringLiteral("demo-Pass-1"));
}
