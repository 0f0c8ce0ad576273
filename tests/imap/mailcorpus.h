#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// The real-world mail the Debian packages named in tests/data/corpus/README.md install.
struct CorpusFile {
    QString name; // folder label and file name, e.g. "enmime/mail/attachment.raw"
    QString path;
};

inline QList<CorpusFile> CorpusFiles()
{
    static const struct {
        const char *label;
        const char *path;
        const char *pattern;
    } folders[] = {
        {"enmime/mail", "/usr/share/gocode/src/github.com/jhillyerd/enmime/testdata/mail", "*.raw"},
        {"enmime/low-quality", "/usr/share/gocode/src/github.com/jhillyerd/enmime/testdata/low-quality", "*.raw"},
        {"enmime/parts", "/usr/share/gocode/src/github.com/jhillyerd/enmime/testdata/parts", "*.raw"},
        {"flufl.bounce", "/usr/lib/python3/dist-packages/flufl/bounce/tests/data", "*.txt"},
    };
    QList<CorpusFile> files;
    for (const auto &folder : folders) {
        const QDir dir(QString::fromUtf8(folder.path));
        for (const QString &file : dir.entryList({QString::fromUtf8(folder.pattern)}, QDir::Files, QDir::Name))
            files.append({QString::fromUtf8(folder.label) + u'/' + file, dir.filePath(file)});
    }
    return files;
}
