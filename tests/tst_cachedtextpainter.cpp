#include "TestMain.h"
#include "dayview/CachedTextPainter.h"

#include <QImage>
#include <QPainter>

namespace {
const QSize Canvas(160, 48);

QFont smallFont(qreal points = 6.75)
{
    QFont font;
    font.setPointSizeF(points);
    return font;
}

QImage canvas()
{
    QImage image(Canvas, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

QImage drawnByQt(const QFont& font, const QRectF& rect, Qt::Alignment vertical, const QString& text)
{
    QImage image = canvas();
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::darkGray);
    painter.drawText(rect, Qt::AlignLeft | vertical | Qt::TextSingleLine, text);
    return image;
}

QImage drawnCached(CachedTextPainter& cache, const QFont& font, const QRectF& rect, Qt::Alignment vertical,
                   const QString& text)
{
    QImage image = canvas();
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::darkGray);
    cache.draw(painter, rect, vertical, text);
    return image;
}
} // namespace

class TestCachedTextPainter : public QObject {
    Q_OBJECT
private slots:
    void drawsAsDrawText_data();
    void drawsAsDrawText();
    void followsAFontChange();
};

void TestCachedTextPainter::drawsAsDrawText_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<QString>("text");

    const int centred = Qt::AlignVCenter;
    const int top = Qt::AlignTop;
    QTest::newRow("row time, centred") << QRectF(2, 10, 40, 17) << centred << QStringLiteral("08:00");
    QTest::newRow("block text at the top") << QRectF(33.0, 12.0, 60.0, 13.0) << top << QStringLiteral("KFO01");
    QTest::newRow("wider than its block: clipped") << QRectF(33, 12, 14, 13) << top << QStringLiteral("KFO01");
    QTest::newRow("higher than its block: clipped") << QRectF(33, 12, 60, 5) << top << QStringLiteral("KFO01");
    QTest::newRow("between pixels") << QRectF(3.5, 7.25, 30.5, 12.75) << top << QStringLiteral("Ü 60");
    QTest::newRow("looks like markup") << QRectF(2, 10, 150, 17) << top << QStringLiteral("<b>KFO</b> &amp;");
    QTest::newRow("line breaks") << QRectF(2, 10, 150, 17) << top << QStringLiteral("KFO\n01\r2");
    QTest::newRow("blanks around") << QRectF(2, 10, 150, 17) << centred << QStringLiteral("  08:00 ");
    QTest::newRow("empty") << QRectF(2, 10, 40, 17) << centred << QString();
}

void TestCachedTextPainter::drawsAsDrawText()
{
    QFETCH(QRectF, rect);
    QFETCH(int, vertical);
    QFETCH(QString, text);
    const Qt::Alignment alignment = Qt::Alignment(vertical);

    CachedTextPainter cache;
    const QImage expected = drawnByQt(smallFont(), rect, alignment, text);
    // The first drawing lays the text out, the second uses that layout.
    QCOMPARE(drawnCached(cache, smallFont(), rect, alignment, text), expected);
    QCOMPARE(drawnCached(cache, smallFont(), rect, alignment, text), expected);
}

void TestCachedTextPainter::followsAFontChange()
{
    CachedTextPainter cache;
    const QRectF rect(2, 4, 150, 40);
    drawnCached(cache, smallFont(), rect, Qt::AlignVCenter, QStringLiteral("08:00"));
    QFont bold = smallFont(12);
    bold.setBold(true);
    QCOMPARE(drawnCached(cache, bold, rect, Qt::AlignVCenter, QStringLiteral("08:00")),
             drawnByQt(bold, rect, Qt::AlignVCenter, QStringLiteral("08:00")));
}

LUNARIS_TEST_MAIN(TestCachedTextPainter)
#include "tst_cachedtextpainter.moc"
