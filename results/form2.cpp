#include "results/form2.h"

#include "mail/clschilkatimap.h"
#include "support/apperror.h"
#include "support/doevents.h"
#include "support/errortrap.h"
#include "support/messageseam.h"
#include "support/pointer.h"
#include "support/startup.h"
#include "support/vbnumber.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

namespace {

// A session range is a 32-bit number: a value that does not fit is an overflow, not a wrap.
qint32 roundedRangeNumber(double value)
{
    const double rounded = RoundHalfEven(value);
    if (rounded < double(std::numeric_limits<qint32>::min()) || rounded > double(std::numeric_limits<qint32>::max()))
        throw AppError(QStringLiteral("Overflow"));
    return qint32(rounded);
}

} // namespace

Form2::Form2(QWidget *owner)
    : QDialog(owner), m_from(new QLineEdit(QStringLiteral("1"), this)), m_to(new QLineEdit(this)),
      m_toLabel(new QLabel(QStringLiteral("To (Max of )"), this)),
      m_continue(new QPushButton(QStringLiteral("Continue"), this)), m_command1(new QAction(this))
{
    setWindowTitle(QStringLiteral("Get Some Emails"));
    auto *fromLabel = new QLabel(QStringLiteral("From:"), this);
    fromLabel->setBuddy(m_from);
    m_toLabel->setBuddy(m_to);
    // Its label also tells the maximum; the box's own name is the plain "To".
    m_to->setAccessibleName(QStringLiteral("To"));
    auto *layout = new QGridLayout(this);
    layout->addWidget(fromLabel, 0, 0);
    layout->addWidget(m_toLabel, 0, 1);
    layout->addWidget(m_from, 1, 0);
    layout->addWidget(m_to, 1, 1);
    layout->addWidget(m_continue, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Command1 is Continue's twin that Enter activates. As an action of the dialog rather than
    // a button hidden off screen, it is nothing a screen reader would find and announce.
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_continue->setAutoDefault(false);

    connect(m_continue, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(m_command1, &QAction::triggered, this, &Form2::PushButton1_Click);
}

void Form2::keyPressEvent(QKeyEvent *event)
{
    // The boxes and the button leave Enter to the dialog, as they would for a default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        m_command1->trigger();
    else
        QDialog::keyPressEvent(event);
}

void Form2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Form_Load();
}

void Form2::Form_Load()
{
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("Form_Load"));
    trap(100, [&] {
        ApplySystemFaceColor(this);
        setWindowIcon(QApplication::windowIcon());
    });
    trap(101, [&] {
        if (LoadProgramHandPointer(m_continue))
            SetPointer(m_continue, PointerShape::Hand);
    });
    trap(103, [&] {
        m_from->setText(QStringLiteral("1"));
        m_to->setText(QString::number(m_maxMessage));
    });
    trap(104, [&] { m_toLabel->setText(QStringLiteral("To (Max of ") + QString::number(m_maxMessage) + QLatin1Char(')')); });
    trap(105, [&] {
        setTabOrder(m_to, m_from);
        setTabOrder(m_from, m_continue);
        m_to->selectAll();
        m_to->setFocus(Qt::OtherFocusReason);
    });
}

void Form2::PushButton1_Click()
{
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("PushButton1_Click"));
    trap(100, [] { DoEvents(); });
    double fromValue = 0;
    trap(101, [&] { fromValue = LeadingNumber(m_from->text()); });
    if (!(fromValue > 0)) {
        MsgBox(QStringLiteral("Please input a value greater than zero."));
        return;
    }
    double toValue = 0;
    trap(102, [&] { toValue = LeadingNumber(m_to->text()); });
    if (!(toValue > 0) || toValue > m_maxMessage) {
        MsgBox(QStringLiteral("Please input max value greater than 0 and less than or equal to ")
               + QString::number(m_maxMessage));
        return;
    }
    // The range is set only as a whole: a number that cannot be a message number keeps the dialog open.
    const bool rangeSet = trap(103, [&] {
        if (!m_session)
            throw AppError(QStringLiteral("Object variable or With block variable not set"));
        const qint32 first = roundedRangeNumber(fromValue);
        const qint32 last = roundedRangeNumber(toValue);
        m_session->setCurrentLocation(first);
        m_session->setMaxRecord(last);
    });
    if (rangeSet)
        accept();
}
