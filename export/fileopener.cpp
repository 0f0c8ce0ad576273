#include "export/fileopener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

class DesktopFileOpener : public FileOpener {
public:
    bool open(const QString &path) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
};

DesktopFileOpener desktopOpener;
FileOpener *installedOpener = nullptr;

} // namespace

FileOpener &FileOpener::current()
{
    return installedOpener ? *installedOpener : desktopOpener;
}

void FileOpener::install(FileOpener *opener)
{
    installedOpener = opener;
}
