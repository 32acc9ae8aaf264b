#include "masterdata/RecordNavigator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

RecordNavigator::RecordNavigator(QWidget* parent) : QWidget(parent), m_caption(new QLabel(this))
{
    setObjectName(QStringLiteral("Data1"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QToolButton* first =
        addButton(QStringLiteral("cmdFirst"), QStringLiteral("|◀"), QStringLiteral("Erster Datensatz"));
    QToolButton* previous =
        addButton(QStringLiteral("cmdPrevious"), QStringLiteral("◀"), QStringLiteral("Vorheriger Datensatz"));
    m_caption->setObjectName(QStringLiteral("lblCaption"));
    m_caption->setFrameShape(QFrame::Panel);
    m_caption->setFrameShadow(QFrame::Sunken);
    m_caption->setContentsMargins(6, 0, 6, 0);
    m_caption->setAlignment(Qt::AlignCenter);
    QToolButton* next = addButton(QStringLiteral("cmdNext"), QStringLiteral("▶"), QStringLiteral("Nächster Datensatz"));
    QToolButton* last = addButton(QStringLiteral("cmdLast"), QStringLiteral("▶|"), QStringLiteral("Letzter Datensatz"));

    m_buttons = {first, previous, next, last};
    layout->addWidget(first);
    layout->addWidget(previous);
    layout->addWidget(m_caption, 1);
    layout->addWidget(next);
    layout->addWidget(last);

    connect(first, &QToolButton::clicked, this, &RecordNavigator::firstRequested);
    connect(previous, &QToolButton::clicked, this, &RecordNavigator::previousRequested);
    connect(next, &QToolButton::clicked, this, &RecordNavigator::nextRequested);
    connect(last, &QToolButton::clicked, this, &RecordNavigator::lastRequested);
}

QToolButton* RecordNavigator::addButton(const QString& name, const QString& text, const QString& toolTip)
{
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    // Reached by Tab after the editor's buttons (Ctrl+Page Up/Down move from anywhere).
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoRaise(false);
    button->setMinimumWidth(28);
    return button;
}

QString RecordNavigator::caption() const
{
    return m_caption->text();
}

void RecordNavigator::setCaption(const QString& caption)
{
    m_caption->setText(caption);
}
