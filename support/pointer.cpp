#include "support/pointer.h"

#include "support/apperror.h"

#include <QCursor>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QVariant>
#include <QWidget>
#include <QtEndian>

namespace {
constexpr const char *ShapeProperty = "quorvanePointer";
constexpr const char *HandProperty = "quorvaneHandCursor";
}

void SetPointer(QWidget *window, PointerShape shape)
{
    if (!window)
        return;
    window->setProperty(ShapeProperty, int(shape));
    switch (shape) {
    case PointerShape::Default:
        window->unsetCursor();
        break;
    case PointerShape::Busy:
        window->setCursor(Qt::WaitCursor);
        break;
    case PointerShape::Hand: {
        const QVariant hand = window->property(HandProperty);
        if (hand.canConvert<QCursor>())
            window->setCursor(hand.value<QCursor>());
        else
            window->unsetCursor();
        break;
    }
    }
}

PointerShape Pointer(const QWidget *window)
{
    if (!window)
        return PointerShape::Default;
    return PointerShape(window->property(ShapeProperty).toInt());
}

bool IsBusy(const QWidget *window)
{
    return Pointer(window) == PointerShape::Busy;
}

void LoadHandPointer(QWidget *window, const QString &curFile)
{
    const AppError invalid(QStringLiteral("Invalid picture"));
    QFile file(curFile);
    if (!window || !file.open(QIODevice::ReadOnly))
        throw invalid;
    const QByteArray bytes = file.read(1 << 20);
    // ICONDIR (6 bytes) then the first ICONDIRENTRY; for a cursor (type 2) its planes and
    // bit-count fields hold the hotspot.
    if (bytes.size() < 22 || qFromLittleEndian<quint16>(bytes.constData() + 2) != 2)
        throw invalid;
    const int hotX = qFromLittleEndian<quint16>(bytes.constData() + 10);
    const int hotY = qFromLittleEndian<quint16>(bytes.constData() + 12);
    const QImage image = QImage::fromData(bytes, "cur");
    if (image.isNull())
        throw invalid;
    window->setProperty(HandProperty, QVariant::fromValue(QCursor(QPixmap::fromImage(image), hotX, hotY)));
}
