#include "commands/frmVersionen.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "store/Tables.h"
#include "ui/MessageService.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int VersionRole = Qt::UserRole;

QString feeText(const QList<TemplateRow>& rows, const QHash<QString, double>& fees)
{
    // Whole cents, so that the sum does not depend on the order of the blocks.
    qint64 cents = 0;
    for (const TemplateRow& row : rows)
        cents += qRound64(fees.value(row.code.toString()) * 100);
    return QLocale(QLocale::German, QLocale::Germany).toString(double(cents) / 100, 'f', 2) + QStringLiteral(" €");
}

// Behind the time, what replaced the version. An overwritten one names the workstation the user is told
// about when it happens, so that its notice leads here.
QString kindText(const DayVersion& version)
{
    if (version.renamed)
        return QStringLiteral(" (umbenannt)");
    if (!version.overwritten)
        return {};
    const QString host = version.host.trimmed();
    return host.isEmpty() ? QStringLiteral(" (überschrieben)") : QStringLiteral(" (überschrieben an %1)").arg(host);
}
} // namespace

frmVersionen::frmVersionen(AppServices& services, const QString& openDay, QWidget* parent)
    : QDialog(parent), m_services(services), m_list(new QTreeWidget(this)),
      m_rows(new DayRowsTable(QStringLiteral("tblVersion"), QStringLiteral("Gewählte Version"), this)),
      m_restore(new QPushButton(QStringLiteral("&Wiederherstellen"), this))
{
    setObjectName(QStringLiteral("frmVersionen"));
    setWindowTitle(QStringLiteral("Versionen"));
    setModal(true);
    m_list->setObjectName(QStringLiteral("lstVersionen"));
    m_list->setHeaderLabels({QStringLiteral("Zeit"), QStringLiteral("Arbeitsplatz"), QStringLiteral("Benutzer"),
                             QStringLiteral("Blöcke"), QStringLiteral("Honorar")});
    m_list->setAccessibleName(QStringLiteral("Versionen"));
    m_list->setRootIsDecorated(true);
    m_restore->setObjectName(QStringLiteral("cmdWiederherstellen"));
    m_restore->setEnabled(false);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_restore, QDialogButtonBox::AcceptRole);
    QPushButton* close = buttons->addButton(QStringLiteral("&Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdSchliessen"));

    auto* panes = new QHBoxLayout;
    panes->addWidget(m_list, 3);
    panes->addWidget(m_rows, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panes);
    layout->addWidget(buttons);
    resize(980, 420);

    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { showChosen(); });
    connect(m_restore, &QPushButton::clicked, this, [this] {
        const QTreeWidgetItem* item = m_list->currentItem();
        if (!item || !item->data(0, VersionRole).isValid())
            return;
        m_chosen = m_versions.value(item->data(0, VersionRole).toInt());
        accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    fill(openDay);
}

QString frmVersionen::timeText(const QDateTime& time)
{
    return time.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

void frmVersionen::fill(const QString& openDay)
{
    try {
        const DayVersionTable table(m_services.database);
        QHash<QString, double> fees;
        for (const Treatment& treatment : TreatmentTable(m_services.database).all()) {
            bool ok = false;
            const double fee = treatment.hon.toDouble(&ok);
            if (ok && !fees.contains(treatment.code))
                fees.insert(treatment.code, fee);
        }
        const auto add = [&](QTreeWidgetItem* parent, const QList<DayVersion>& versions) {
            for (const DayVersion& version : versions) {
                auto* item =
                    new QTreeWidgetItem(parent, {timeText(version.time) + kindText(version), version.host, version.user,
                                                 QString::number(version.rows.size()), feeText(version.rows, fees)});
                item->setData(0, VersionRole, int(m_versions.size()));
                m_versions.append(version);
            }
        };
        if (!openDay.isEmpty()) {
            auto* day = new QTreeWidgetItem(m_list, {QStringLiteral("„%1“").arg(openDay)});
            add(day, table.versionsOf(openDay));
            day->setExpanded(true);
        }
        const QStringList deleted = table.deletedDays();
        if (!deleted.isEmpty()) {
            auto* group = new QTreeWidgetItem(m_list, {QStringLiteral("Gelöschte Idealtage")});
            for (const QString& name : deleted) {
                auto* day = new QTreeWidgetItem(group, {QStringLiteral("„%1“").arg(name)});
                add(day, table.versionsOf(name));
            }
            group->setExpanded(true);
        }
    } catch (const LunarisError& e) {
        m_services.messages.inform(this,
                                   QStringLiteral("Die Versionen konnten nicht gelesen werden.\r") + e.description(),
                                   windowTitle(), QMessageBox::Warning);
    }
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->resizeColumnToContents(column);
}

void frmVersionen::showChosen()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    const bool isVersion = item && item->data(0, VersionRole).isValid();
    m_restore->setEnabled(isVersion);
    m_rows->setRowCount(0);
    if (!isVersion)
        return;
    const DayVersion& version = m_versions.at(item->data(0, VersionRole).toInt());
    m_rows->showRows(version.rows);
}
