#pragma once

#include "editing/DayAnalysis.h"

#include <QWidget>

class DoctorLoadChart;
class QBoxLayout;
class QLabel;
class QListWidget;
class QTableWidget;

// Auswertung: shows a day's analysis (chairs, day figures, the doctor's load chart, warnings) in
// German number format. Every figure has an accessible name that reads caption and value together.
class AnalysisPanel : public QWidget {
    Q_OBJECT
public:
    explicit AnalysisPanel(QWidget* parent = nullptr);

    void showAnalysis(const DayAnalysis& analysis);
    // The colours of the treatments; hidden when empty.
    void setLegend(const QList<QPair<QString, QColor>>& entries);
    // Side by side under or above the columns, one below the other beside them.
    void setOrientation(Qt::Orientation orientation);

    // "62,5": German decimals.
    static QString number(double value, int decimals);
    // "1.409,50 €": an amount in cents, German format.
    static QString amount(qint64 cents);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addFigure(const QString& objectName, const QString& caption);
    void setFigure(QLabel* label, const QString& value);

    QBoxLayout* m_layout = nullptr;
    QTableWidget* m_chairs = nullptr;
    QWidget* m_figures = nullptr;
    QLabel* m_totalFee = nullptr;
    QLabel* m_feePerHour = nullptr;
    QLabel* m_demanded = nullptr;
    QLabel* m_available = nullptr;
    QLabel* m_overloadedRows = nullptr;
    QLabel* m_overloadMinutes = nullptr;
    QLabel* m_peak = nullptr;
    DoctorLoadChart* m_chart = nullptr;
    QListWidget* m_warnings = nullptr;
    QStringList m_warningTexts;        // what the warnings list shows
    QList<ChairFigures> m_shownChairs; // what the chairs table shows
    QListWidget* m_legend = nullptr;
};
