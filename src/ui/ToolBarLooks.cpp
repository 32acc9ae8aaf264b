#include "ui/ToolBarLooks.h"

#include <QPainter>
#include <QPixmap>
#include <QTextDocument>
#include <QWidget>

QIcon ToolBarLooks::icon(const QWidget* widget, const char* themeName, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(themeName), widget->style()->standardIcon(fallback));
}

QIcon ToolBarLooks::printerIcon()
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7.5, 2.5, 9, 7)); // paper going in
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(2.5, 8.5, 19, 9), 2, 2); // body
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 14.5, 11, 7)); // printed page
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawLine(QPointF(8.5, 17), QPointF(15.5, 17));
    p.drawLine(QPointF(8.5, 19), QPointF(13.5, 19));
    return QIcon(pixmap);
}

QString ToolBarLooks::plainToolTip(const QString& caption)
{
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        text += caption[i];
    }
    if (Qt::mightBeRichText(text))
        return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
    return text;
}
