#include "editing/AnalysisPanel.h"

#include "editing/DoctorLoadChart.h"
#include "editing/FigureLabel.h"

#include <algorithm>

#include <QBoxLayout>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPixmap>
#include <QTableWidget>

namespace {
// Made once: the figures are formatted some thirty times a click.
const QLocale& german()
{
    static const QLocale locale(QLocale::German, QLocale::Germany);
    return locale;
}

QString minutesText(int minutes)
{
    return QStringLiteral("%1 Min.").arg(AnalysisPanel::number(minutes, 0));
}
} // namespace

QString AnalysisPanel::number(double value, int decimals)
{
    return german().toString(value, 'f', decimals);
}

AnalysisPanel::AnalysisPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlAuswertung"));
    setAccessibleName(QStringLiteral("Auswertung"));

    m_chairs = new QTableWidget(0, 5, this);
    m_chairs->setObjectName(QStringLiteral("tblStuehle"));
    m_chairs->setAccessibleName(QStringLiteral("Stühle"));
    m_chairs->setHorizontalHeaderLabels({QStringLiteral("Stuhl"), QStringLiteral("Blöcke"), QStringLiteral("Minuten"),
                                         QStringLiteral("Auslastung"), QStringLiteral("Honorar")});
    m_chairs->verticalHeader()->hide();
    m_chairs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_chairs->setSelectionMode(QAbstractItemView::NoSelection);
    // Sized to the contents once per rebuild (resizing on every changed cell costs a click a millisecond).
    m_chairs->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // Arrows move within the table; Tab and Shift+Tab (with or without Ctrl) go on to the figures.
    m_chairs->setTabKeyNavigation(false);
    m_chairs->installEventFilter(this);

    m_figures = new QWidget(this);
    auto* form = new QFormLayout(m_figures);
    form->setContentsMargins(0, 0, 0, 0);
    m_totalFee = addFigure(QStringLiteral("lblHonorarGesamt"), QStringLiteral("Honorar gesamt:"));
    m_feePerHour = addFigure(QStringLiteral("lblHonorarJeStunde"), QStringLiteral("Honorar je Öffnungsstunde:"));
    m_demanded = addFigure(QStringLiteral("lblArztzeitGefordert"), QStringLiteral("Arztzeit gefordert:"));
    m_available = addFigure(QStringLiteral("lblArztzeitVerfuegbar"), QStringLiteral("Arztzeit verfügbar:"));
    m_overloadedRows = addFigure(QStringLiteral("lblUeberlasteteZeilen"), QStringLiteral("Überlastete Zeilen:"));
    m_overloadMinutes = addFigure(QStringLiteral("lblUeberlastung"), QStringLiteral("Überlastung:"));
    m_peak = addFigure(QStringLiteral("lblSpitze"), QStringLiteral("Spitze:"));

    m_chart = new DoctorLoadChart(this);

    m_warnings = new QListWidget(this);
    m_warnings->setObjectName(QStringLiteral("lstWarnungen"));
    m_warnings->setAccessibleName(QStringLiteral("Warnungen"));
    m_warnings->setWordWrap(true);

    m_legend = new QListWidget(this);
    m_legend->setObjectName(QStringLiteral("lstLegende"));
    m_legend->setAccessibleName(QStringLiteral("Farben je Behandlung"));
    m_legend->setMaximumWidth(120);
    m_legend->hide();

    m_layout = new QBoxLayout(QBoxLayout::LeftToRight, this);
    m_layout->setContentsMargins(4, 4, 4, 4);
    m_layout->addWidget(m_chairs, 4);
    m_layout->addWidget(m_figures, 0);
    m_layout->addWidget(m_chart, 4);
    m_layout->addWidget(m_warnings, 3);
    m_layout->addWidget(m_legend, 1);
}

void AnalysisPanel::setLegend(const QList<QPair<QString, QColor>>& entries)
{
    m_legend->clear();
    for (const auto& [code, color] : entries) {
        QPixmap swatch(12, 12);
        swatch.fill(color);
        auto* item = new QListWidgetItem(QIcon(swatch), code, m_legend);
        item->setData(Qt::AccessibleTextRole, QStringLiteral("%1: Farbe %2").arg(code, color.name()));
    }
    m_legend->setVisible(!entries.isEmpty());
}

QLabel* AnalysisPanel::addFigure(const QString& objectName, const QString& caption)
{
    auto* form = static_cast<QFormLayout*>(m_figures->layout());
    // Tab reaches every figure; a screen reader reads its accessible name, caption and value together.
    auto* value = new FigureLabel(m_figures);
    value->setObjectName(objectName);
    value->setProperty("caption", caption);
    value->setAccessibleName(caption);
    auto* label = new QLabel(caption, m_figures);
    form->addRow(label, value);
    return value;
}

bool AnalysisPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+Tab leaves the table too (an item view keeps it otherwise).
    if (watched == m_chairs && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            key->modifiers().testFlag(Qt::ControlModifier)) {
            const bool back = key->key() == Qt::Key_Backtab || key->modifiers().testFlag(Qt::ShiftModifier);
            QKeyEvent plain(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(m_chairs, &plain);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString AnalysisPanel::amount(qint64 cents)
{
    // Exact digits: the chairs' amounts add up to the day's to the cent.
    const qint64 magnitude = cents < 0 ? -cents : cents;
    const QString units = german().toString(magnitude / 100);
    return QStringLiteral("%1%2,%3 €")
        .arg(cents < 0 ? QStringLiteral("-") : QString(), units)
        .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

void AnalysisPanel::setFigure(QLabel* label, const QString& value)
{
    if (label->text() == value)
        return;
    label->setText(value);
    // A label of fixed size changes its text without laying out the whole window again. It grows
    // when a text is longer than any it held (measuring every text costs more than the rest).
    if (value.size() > label->property("longest").toInt()) {
        label->setProperty("longest", int(value.size()));
        const QSize hint = label->sizeHint();
        label->setFixedSize(std::max(hint.width(), label->minimumWidth()), hint.height());
    }
    label->setAccessibleName(label->property("caption").toString() + QLatin1Char(' ') + value);
}

void AnalysisPanel::setOrientation(Qt::Orientation orientation)
{
    m_layout->setDirection(orientation == Qt::Horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}

void AnalysisPanel::showAnalysis(const DayAnalysis& a)
{
    // The columns are sized to their contents when rows come or go or a text gets longer than any
    // its column held; sizing them costs more than the rest of the rebuild.
    bool resize = m_chairs->rowCount() != a.chairs.size();
    QList<qsizetype> longest(m_chairs->columnCount(), 0);
    for (int r = 0; r < m_chairs->rowCount(); ++r)
        for (int col = 0; col < longest.size(); ++col)
            if (const QTableWidgetItem* item = m_chairs->item(r, col))
                longest[col] = std::max(longest[col], item->text().size());
    m_chairs->setRowCount(int(a.chairs.size()));
    for (int r = 0; r < a.chairs.size(); ++r) {
        const ChairFigures& c = a.chairs[r];
        // A click changes one chair: the others' rows are not formatted again.
        if (r < m_shownChairs.size() && m_shownChairs[r] == c)
            continue;
        const QStringList cells{c.chair, number(c.blocks, 0), number(c.bookedMinutes, 0),
                                number(c.utilisation, 1) + QStringLiteral(" %"), amount(c.feeCents)};
        static const QStringList headers{QStringLiteral("Blöcke"), QStringLiteral("Minuten"),
                                         QStringLiteral("Auslastung"), QStringLiteral("Honorar")};
        for (int col = 0; col < cells.size(); ++col) {
            // Items are kept from one rebuild to the next; only the texts that differ change.
            QTableWidgetItem* item = m_chairs->item(r, col);
            if (!item) {
                item = new QTableWidgetItem;
                if (col > 0)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                m_chairs->setItem(r, col, item);
            } else if (item->text() == cells[col]) {
                continue;
            }
            resize = resize || cells[col].size() > longest[col];
            item->setText(cells[col]);
            if (col > 0)
                item->setData(Qt::AccessibleTextRole,
                              QStringLiteral("%1 %2: %3").arg(c.chair, headers[col - 1], cells[col]));
        }
    }
    m_shownChairs = a.chairs;
    if (resize) {
        m_chairs->resizeColumnsToContents();
        // The whole table stays readable when the legend takes its room.
        m_chairs->setMinimumWidth(m_chairs->horizontalHeader()->length() + 2 * m_chairs->frameWidth());
    }

    setFigure(m_totalFee, amount(a.totalFeeCents));
    setFigure(m_feePerHour, number(a.feePerOpeningHour, 2));
    setFigure(m_demanded, minutesText(a.doctorMinutesDemanded));
    setFigure(m_available, minutesText(a.doctorMinutesAvailable));
    setFigure(m_overloadedRows, number(a.overloadedRows, 0));
    setFigure(m_overloadMinutes, minutesText(a.overloadMinutes));
    setFigure(m_peak, a.peakTime.isEmpty() ? QStringLiteral("–")
                                           : QStringLiteral("%1 um %2").arg(minutesText(a.peakMinutes), a.peakTime));
    m_chart->setDemand(a.demand, a.slotMinutes);

    QStringList warnings;
    if (!a.failure.isEmpty())
        warnings.append(a.failure);
    for (const AnalysisWarning& w : a.warnings)
        warnings.append(w.text);
    if (warnings.isEmpty())
        warnings.append(QStringLiteral("Keine Warnungen."));
    // A word-wrapped list lays out every item again when it is refilled.
    if (warnings != m_warningTexts) {
        m_warnings->clear();
        m_warnings->addItems(warnings);
        m_warningTexts = warnings;
    }
}
