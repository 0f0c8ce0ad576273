#include "support/pointer.h"

#include "support/apperror.h"
#include "support/startup.h"

#include <QCursor>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QVariant>
#include <QWidget>
#include <QtEndian>

namespace {
constexpr const char *ShapeProperty = "quorvanePointer";
constexpr const char *HandProperty = "quorvaneHandCursor";

class HoverPointer : public QObject {
public:
    HoverPointer(QWidget *window, const QList<QWidget *> &handWhileBusy)
        : QObject(window), m_window(window), m_handWhileBusy(handWhileBusy)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Enter)
            return false;
        auto *control = static_cast<QWidget *>(watched);
        if (m_handWhileBusy.contains(control))
            SetPointer(m_window, PointerShape::Hand);
        else if (!IsBusy(m_window))
            SetPointer(m_window, qobject_cast<QPushButton *>(control) ? PointerShape::Hand : PointerShape::Default);
        return false;
    }

private:
    QWidget *m_window;
    QList<QWidget *> m_handWhileBusy;
};
} // namespace

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

bool LoadProgramHandPointer(QWidget *window)
{
    const QString hand = ProgramFolder() + QStringLiteral("/HAND-M.CUR");
    if (!FileExists(hand))
        return false;
    LoadHandPointer(window, hand);
    return true;
}

void ShowPointerOnHover(QWidget *window, const QList<QWidget *> &controls, const QList<QWidget *> &handWhileBusy)
{
    auto *filter = new HoverPointer(window, handWhileBusy);
    window->installEventFilter(filter);
    for (QWidget *control : controls)
        control->installEventFilter(filter);
}
