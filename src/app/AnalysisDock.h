#pragma once

#include "editing/DayAnalysis.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSize>

class AnalysisPanel;
class QDockWidget;
class QMainWindow;
class SettingsStore;

// The Auswertung panel docked in the main window: where it is and whether it is shown are kept in
// the settings, and it shows the analysis it is given.
class AnalysisDock : public QObject {
    Q_OBJECT
public:
    AnalysisDock(QMainWindow& window, SettingsStore& settings);
    ~AnalysisDock() override;

    QDockWidget* dock() const { return m_dock; }
    AnalysisPanel* panel() const { return m_panel; }
    bool isShown() const;
    // In pixels: what the shown panel takes off the window's client area (nothing when hidden).
    QSize roomTaken() const;
    void setShown(bool shown);
    // Places and shows the panel as the settings say (hidden below the columns by default).
    void restore();
    // From now on the panel's visibility and place are not written: the window closes, which hides
    // the panel without the user asking for it.
    void keepPlace() { m_keepPlace = true; }

    void showAnalysis(const DayAnalysis& analysis, const QList<QPair<QString, QColor>>& legend);
    void showFailure(const QString& text, const QList<QPair<QString, QColor>>& legend);
    void setLegend(const QList<QPair<QString, QColor>>& legend);

signals:
    // The user showed or closed the panel (its close box): the menu's tick follows.
    void shownChanged(bool shown);

private:
    void save();

    QMainWindow& m_window;
    SettingsStore& m_settings;
    QDockWidget* m_dock = nullptr;
    AnalysisPanel* m_panel = nullptr;
    // While set, the panel's visibility and place are not written (during the restore, once closing).
    bool m_keepPlace = false;
};
