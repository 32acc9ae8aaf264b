#include "app/AnalysisDock.h"

#include "editing/AnalysisPanel.h"
#include "kernel/Steps.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

namespace {
const QString Section = QStringLiteral("Settings");
const QString VisibleKey = QStringLiteral("AuswertungSichtbar");
const QString AreaKey = QStringLiteral("AuswertungOrt");

QString areaName(Qt::DockWidgetArea area)
{
    switch (area) {
    case Qt::LeftDockWidgetArea:
        return QStringLiteral("links");
    case Qt::RightDockWidgetArea:
        return QStringLiteral("rechts");
    case Qt::TopDockWidgetArea:
        return QStringLiteral("oben");
    default:
        return QStringLiteral("unten");
    }
}

Qt::DockWidgetArea areaOf(const QString& name)
{
    for (Qt::DockWidgetArea area : {Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea, Qt::TopDockWidgetArea})
        if (name.trimmed() == areaName(area))
            return area;
    return Qt::BottomDockWidgetArea;
}
} // namespace

AnalysisDock::AnalysisDock(QMainWindow& window, SettingsStore& settings) : m_window(window), m_settings(settings)
{
    m_dock = new QDockWidget(QStringLiteral("Auswertung"), &window);
    m_dock->setObjectName(QStringLiteral("dockAuswertung"));
    m_dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    m_panel = new AnalysisPanel(m_dock);
    m_dock->setWidget(m_panel);
    window.addDockWidget(Qt::BottomDockWidgetArea, m_dock);
    m_dock->hide();
    connect(m_dock, &QDockWidget::dockLocationChanged, this, [this](Qt::DockWidgetArea area) {
        // The window's end takes the panel out of every area; that is no choice of the user's.
        if (area == Qt::NoDockWidgetArea)
            return;
        m_panel->setOrientation(area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea ? Qt::Vertical
                                                                                                  : Qt::Horizontal);
        save();
    });
    // The close box of the panel: the tick follows, and the choice is kept.
    connect(m_dock->toggleViewAction(), &QAction::toggled, this, [this](bool shown) {
        emit shownChanged(shown);
        save();
    });
}

AnalysisDock::~AnalysisDock()
{
    m_keepPlace = true;
    // QWidget's destructor hides the panel, which would call back into a half-destroyed window.
    disconnect(m_dock, nullptr, this, nullptr);
    disconnect(m_dock->toggleViewAction(), nullptr, this, nullptr);
}

bool AnalysisDock::isShown() const
{
    return !m_dock->isHidden();
}

QSize AnalysisDock::roomTaken() const
{
    if (!isShown())
        return {0, 0};
    // What the panel and its separator take off the client area, as the window's layout placed them.
    const int bars =
        m_window.menuBar()->height() + (m_window.statusBar()->isHidden() ? 0 : m_window.statusBar()->height());
    const QWidget* columns = m_window.centralWidget();
    return QSize(m_window.width() - columns->width(), m_window.height() - bars - columns->height()).expandedTo({0, 0});
}

void AnalysisDock::setShown(bool shown)
{
    m_dock->setVisible(shown);
}

void AnalysisDock::restore()
{
    const Qt::DockWidgetArea area =
        areaOf(m_settings.getSetting(SettingsStore::ProgramApp, Section, AreaKey, areaName(Qt::BottomDockWidgetArea)));
    const bool shown =
        m_settings.getSetting(SettingsStore::ProgramApp, Section, VisibleKey, QStringLiteral("0")).trimmed() ==
        QLatin1String("1");
    m_keepPlace = true;
    m_window.addDockWidget(area, m_dock);
    m_dock->setVisible(shown);
    m_keepPlace = false;
}

void AnalysisDock::save()
{
    if (m_keepPlace)
        return;
    runStep([&] {
        m_settings.saveSetting(SettingsStore::ProgramApp, Section, VisibleKey,
                               m_dock->isHidden() ? QStringLiteral("0") : QStringLiteral("1"));
        m_settings.saveSetting(SettingsStore::ProgramApp, Section, AreaKey, areaName(m_window.dockWidgetArea(m_dock)));
    });
}

void AnalysisDock::showAnalysis(const DayAnalysis& analysis, const QList<QPair<QString, QColor>>& legend)
{
    m_panel->setLegend(legend);
    m_panel->showAnalysis(analysis);
}

void AnalysisDock::showFailure(const QString& text, const QList<QPair<QString, QColor>>& legend)
{
    DayAnalysis failed;
    failed.failure = text;
    showAnalysis(failed, legend);
}

void AnalysisDock::setLegend(const QList<QPair<QString, QColor>>& legend)
{
    m_panel->setLegend(legend);
}
