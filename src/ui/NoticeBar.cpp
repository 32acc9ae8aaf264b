#include "ui/NoticeBar.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

NoticeBar::NoticeBar(const QString& actionText, QWidget* parent)
    : QFrame(parent), m_text(new QLabel(this)), m_action(new QPushButton(actionText, this)),
      m_hide(new QPushButton(QStringLiteral("Ausblenden"), this))
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, QColor(255, 244, 200)); // a note, not an error
    look.setColor(QPalette::WindowText, Qt::black);
    setPalette(look);
    m_text->setTextFormat(Qt::PlainText); // it quotes a day's name
    m_text->setObjectName(QStringLiteral("lblHinweis"));
    m_action->setObjectName(QStringLiteral("cmdHinweisAktion"));
    m_hide->setObjectName(QStringLiteral("cmdHinweisAusblenden"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_action);
    layout->addWidget(m_hide);
    connect(m_action, &QPushButton::clicked, this, &NoticeBar::actionClicked);
    connect(m_hide, &QPushButton::clicked, this, &QWidget::hide);
    hide();
}

void NoticeBar::showText(const QString& text)
{
    m_text->setText(text);
    // A long text (the blocks a change took off the screen) is cut at the bar's edge: the whole of it on hover.
    m_text->setToolTip(text);
    setAccessibleName(text);
    show();
    raise();
    // A screen reader tells the news as it would a status line.
    QAccessibleEvent event(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

QString NoticeBar::text() const
{
    return m_text->text();
}

void NoticeBar::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    emit visibilityChanged();
}

void NoticeBar::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    emit visibilityChanged();
}
